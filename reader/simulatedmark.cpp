#include "simulatedmark.h"

#include <dlfcn.h>
#include <link.h>

namespace {

struct Search
{
    const void *base;  // where the object holding the address is mapped
    bool marked;
};

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
        if (segment.p_type != PT_NOTE)
            continue;
        forEachNote(reinterpret_cast<const char *>(object->dlpi_addr + segment.p_vaddr),
                    segment.p_memsz, segment.p_align == 8 ? 8 : 4, [&search](const ElfNote &note) {
                        search.marked = isSimulatedMark(note);
                        return !search.marked;
                    });
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
