#include "store/fb/FbApi.h"

#include "store/fb/EngineRoot.h"

#include <cstdlib>
#include <dlfcn.h>

namespace fb {

const char* ClientLibraryName() {
    return "libfbclient.so.2";
}

namespace {

Api Load() {
    const char* override = std::getenv("ZW_FBCLIENT");
    std::string name = (override && *override) ? override : ClientLibraryName();
    // Before the engine reads its configuration and opens its lock directory.
    PrepareEngineStateDirectories();
    PrepareSharedEngineRoot();
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
        const char* reason = dlerror();
        throw LibraryError("Die Firebird-Clientbibliothek \"" + name + "\" kann nicht geladen werden",
                           reason ? reason : "");
    }
    Api api;
    api.libraryPath = name;
#define ZW_FB_LOAD(fn)                                                                                       \
    api.fn = reinterpret_cast<decltype(api.fn)>(dlsym(handle, #fn));                                         \
    if (!api.fn)                                                                                             \
        throw LibraryError("Die Firebird-Clientbibliothek \"" + name + "\" bietet \"" #fn "\" nicht an");
    ZW_FB_FUNCTIONS(ZW_FB_LOAD)
#undef ZW_FB_LOAD
    // The library stays loaded for the life of the process.
    return api;
}

} // namespace

const Api& Client() {
    static const Api api = Load(); // a failed load throws and is retried on the next call
    return api;
}

} // namespace fb
