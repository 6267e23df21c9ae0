#include "libraryfile.h"

#include <QCryptographicHash>
#include <QFile>

#include <elf.h>

#include <cstring>

namespace {

template <std::size_t size>
void keep(char (&field)[size], const QByteArray &text)
{
    std::strncpy(field, text.constData(), size - 1);
}

// Reads what it needs through copies: a file's offsets may be anything.
template <typename Header, typename Section, typename Dynamic>
class ElfReader
{
public:
    explicit ElfReader(const QByteArray &file) : m_file(file) {}

    void read(RunState::Library &library) const
    {
        Header header;
        if (!copy(0, header) || header.e_shentsize != sizeof(Section))
            return;
        for (unsigned i = 0; i < header.e_shnum; ++i) {
            Section section;
            if (!copy(header.e_shoff + i * sizeof(Section), section))
                return;
            if (section.sh_type == SHT_NOTE)
                readNotes(section, library);
            if (section.sh_type == SHT_DYNAMIC)
                readSoname(header, section, library);
        }
    }

private:
    bool fits(quint64 offset, quint64 size) const
    {
        return offset <= quint64(m_file.size()) && size <= quint64(m_file.size()) - offset;
    }

    template <typename T>
    bool copy(quint64 offset, T &out) const
    {
        if (!fits(offset, sizeof out))
            return false;
        std::memcpy(&out, m_file.constData() + offset, sizeof out);
        return true;
    }

    // A NUL-terminated text of at most size bytes.
    QByteArray text(quint64 offset, quint64 size) const
    {
        if (!fits(offset, size))
            return QByteArray();
        const char *bytes = m_file.constData() + offset;
        return QByteArray(bytes, int(qstrnlen(bytes, uint(size))));
    }

    void readNotes(const Section &section, RunState::Library &library) const
    {
        const auto align = [](quint64 size) { return (size + 3) & ~quint64(3); };
        for (quint64 offset = 0; offset + 12 <= section.sh_size;) {
            quint32 words[3];
            if (!copy(section.sh_offset + offset, words))
                return;
            const quint64 name = section.sh_offset + offset + 12;
            const quint64 description = name + align(words[0]);
            if (!fits(name, words[0]) || !fits(description, words[1]))
                return;
            const QByteArray noteName = text(name, words[0]);
            if (noteName == "GNU" && words[2] == NT_GNU_BUILD_ID)
                keep(library.buildId, m_file.mid(int(description), int(words[1])).toHex());
            if (noteName == "cardreader" && words[2] == 1)
                keep(library.simulated, text(description, words[1]));
            offset += 12 + align(words[0]) + align(words[1]);
        }
    }

    void readSoname(const Header &header, const Section &section, RunState::Library &library) const
    {
        Section strings;
        if (!copy(header.e_shoff + section.sh_link * sizeof(Section), strings))
            return;
        for (quint64 i = 0; i < section.sh_size / sizeof(Dynamic); ++i) {
            Dynamic entry;
            if (!copy(section.sh_offset + i * sizeof(Dynamic), entry) || entry.d_tag == DT_NULL)
                return;
            if (entry.d_tag == DT_SONAME && entry.d_un.d_val < strings.sh_size)
                keep(library.soname, text(strings.sh_offset + entry.d_un.d_val,
                                          strings.sh_size - entry.d_un.d_val));
        }
    }

    const QByteArray &m_file;
};

} // namespace

void describeLibraryFile(const QString &path, RunState::Library &library)
{
    keep(library.path, QFile::encodeName(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    library.size = bytes.size();
    keep(library.sha256, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    library.loaded = 1;
    if (bytes.size() < EI_NIDENT || std::memcmp(bytes.constData(), ELFMAG, SELFMAG) != 0)
        return;
    if (bytes[EI_CLASS] == ELFCLASS64)
        ElfReader<Elf64_Ehdr, Elf64_Shdr, Elf64_Dyn>(bytes).read(library);
    else if (bytes[EI_CLASS] == ELFCLASS32)
        ElfReader<Elf32_Ehdr, Elf32_Shdr, Elf32_Dyn>(bytes).read(library);
}
