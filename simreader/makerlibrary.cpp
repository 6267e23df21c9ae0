#include "makerlibrary.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The load address of this copy of the simulated reader.
void *ownBase()
{
    Dl_info info;
    return dladdr(reinterpret_cast<void *>(&ownBase), &info) ? info.dli_fbase : nullptr;
}

// Whether a loaded note segment holds the note that marks the simulated
// reader. Read byte by byte, and unseen by AddressSanitizer: in its builds
// the note is a padded global, and the walk reads the padding.
__attribute__((no_sanitize_address)) bool markedNotes(const char *notes, ElfW(Addr) size,
                                                      ElfW(Addr) alignment)
{
    const auto aligned = [alignment](ElfW(Addr) length) {
        return (length + alignment - 1) & ~(alignment - 1);
    };
    const auto word = [notes](ElfW(Addr) at) {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            reinterpret_cast<char *>(&value)[i] = notes[at + i];
        return value;
    };
    const char name[] = "cardreader";
    for (ElfW(Addr) at = 0; at <= size && size - at >= 12;) {
        const std::uint32_t nameSize = word(at), textSize = word(at + 4), type = word(at + 8);
        const ElfW(Addr) textAt = at + 12 + aligned(nameSize);
        if (textAt > size || textSize > size - textAt)
            return false;
        bool same = nameSize == sizeof name && type == 1;
        for (std::uint32_t i = 0; same && i < sizeof name; ++i)
            same = notes[at + 12 + i] == name[i];
        if (same)
            return true;
        at = textAt + aligned(textSize);
    }
    return false;
}

// Whether the loaded object carries the note that marks the simulated reader
// (identity.cpp): a copy of it, wherever its file lies, is no maker's
// library, and would record demo data as the maker's.
bool isSimulatedReader(void *object)
{
    link_map *map = nullptr;
    if (dlinfo(object, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return false;
    struct Search
    {
        ElfW(Addr) base;
        bool marked;
    } search{map->l_addr, false};
    dl_iterate_phdr(
        [](dl_phdr_info *info, std::size_t, void *data) {
            Search &s = *static_cast<Search *>(data);
            if (info->dlpi_addr != s.base)
                return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr) &segment = info->dlpi_phdr[i];
                if (segment.p_type != PT_NOTE)
                    continue;
                const char *notes =
                    reinterpret_cast<const char *>(info->dlpi_addr + segment.p_vaddr);
                s.marked = s.marked
                    || markedNotes(notes, segment.p_memsz, segment.p_align == 8 ? 8 : 4);
            }
            return 1;
        },
        &search);
    return search.marked;
}

void *baseOf(void *symbol)
{
    Dl_info info;
    return symbol && dladdr(symbol, &info) ? info.dli_fbase : nullptr;
}

// The maker's library must call its own functions, never the stand-in's of
// the same names. The sanitizers refuse that binding, so their builds bind
// the ordinary way (their tests use a maker library that calls no function
// of its own).
#if defined(__has_feature)
#define SIMREADER_HAS_FEATURE(feature) __has_feature(feature)
#else
#define SIMREADER_HAS_FEATURE(feature) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) \
    || SIMREADER_HAS_FEATURE(address_sanitizer) || SIMREADER_HAS_FEATURE(thread_sanitizer)
const int ownSymbolsFirst = 0;
#else
const int ownSymbolsFirst = RTLD_DEEPBIND;
#endif

} // namespace

void *loadMakerLibrary(const char *path, std::string &why)
{
    void *maker = dlopen(path, RTLD_NOW | RTLD_LOCAL | ownSymbolsFirst);
    if (!maker) {
        why = dlerror();
        return nullptr;
    }
    if (isSimulatedReader(maker)) {
        why = "it is the simulated reader, or a copy of it, not the maker's library";
        dlclose(maker);
        return nullptr;
    }
    return maker;
}

// Objects are visited in load order, and however the program loaded its copy
// (RTLD_LOCAL included), it came before the maker's.
bool loadedAsMakerLibrary()
{
    struct Earlier
    {
        void *own;
        bool reachedOwn;
        std::vector<std::string> names;
    } earlier{ownBase(), false, {}};
    dl_iterate_phdr(
        [](dl_phdr_info *info, std::size_t, void *data) {
            Earlier &e = *static_cast<Earlier *>(data);
            if (reinterpret_cast<void *>(info->dlpi_addr) == e.own)
                e.reachedOwn = true;
            if (!e.reachedOwn)
                e.names.push_back(info->dlpi_name ? info->dlpi_name : "");
            return e.reachedOwn ? 1 : 0;
        },
        &earlier);
    for (const std::string &name : earlier.names) {
        void *object = dlopen(name.empty() ? nullptr : name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (!object)
            continue;
        void *base = baseOf(dlsym(object, "VRK_OpenDev"));
        dlclose(object);
        if (base && base != earlier.own)
            return true;
    }
    return false;
}
