#include "simulatedmark.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace {

struct Search
{
    const void *base;  // where the object holding the address is mapped
    bool marked;
};

bool markIn(const char *notes, std::size_t size, std::size_t alignment)
{
    const auto padded = [alignment](std::size_t bytes) {
        return (bytes + alignment - 1) / alignment * alignment;
    };
    for (std::size_t at = 0; at + 12 <= size;) {
        std::uint32_t header[3];
        std::memcpy(header, notes + at, sizeof header);
        const std::size_t name = at + 12;
        const std::size_t text = name + padded(header[0]);
        if (text > size || header[1] > size - text)
            return false;
        if (header[0] == sizeof simulatedMarkName && header[2] == simulatedMarkType
            && std::memcmp(notes + name, simulatedMarkName, sizeof simulatedMarkName) == 0)
            return true;
        at = text + padded(header[1]);
    }
    return false;
}

int visit(dl_phdr_info *object, std::size_t, void *data)
{
    Search &search = *static_cast<Search *>(data);
    bool holds = false;
    for (int i = 0; i < object->dlpi_phnum && !holds; ++i) {
        const ElfW(Phdr) &segment = object->dlpi_phdr[i];
        holds = segment.p_type == PT_LOAD && segment.p_offset == 0
            && reinterpret_cast<const void *>(object->dlpi_addr + segment.p_vaddr) == search.base;
    }
    if (!holds)
        return 0;
    for (int i = 0; i < object->dlpi_phnum && !search.marked; ++i) {
        const ElfW(Phdr) &segment = object->dlpi_phdr[i];
        if (segment.p_type == PT_NOTE)
            search.marked = markIn(reinterpret_cast<const char *>(object->dlpi_addr + segment.p_vaddr),
                                   segment.p_memsz, segment.p_align == 8 ? 8 : 4);
    }
    return 1;
}

} // namespace

bool carriesSimulatedMark(const void *address)
{
    Dl_info info;
    if (!dladdr(address, &info) || !info.dli_fbase)
        return false;
    Search search{info.dli_fbase, false};
    dl_iterate_phdr(visit, &search);
    return search.marked;
}
