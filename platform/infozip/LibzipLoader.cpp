#include "LibzipLoader.h"

#include <dlfcn.h>

#include <mutex>

namespace izcommon {

const LibzipApi* Libzip() {
    static LibzipApi api;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        void* handle = dlopen(IZ_LIBZIP_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        bool ok = true;
#define X(name) ok = ok && (api.name = reinterpret_cast<decltype(api.name)>(dlsym(handle, #name)));
        IZ_LIBZIP_FUNCTIONS
#undef X
        loaded = ok;
    });
    return loaded ? &api : nullptr;
}

}  // namespace izcommon
