#include "makerlibrary.h"

#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>

namespace {

// The load address of this copy of the simulated reader.
void *ownBase()
{
    Dl_info info;
    return dladdr(reinterpret_cast<void *>(&ownBase), &info) ? info.dli_fbase : nullptr;
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
    if (baseOf(dlsym(maker, "VRK_OpenDev")) == ownBase()) {
        why = "it is the simulated reader itself";
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
