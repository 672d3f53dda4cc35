// A memset reached through a volatile function pointer: the compiler cannot prove what it calls,
// so the wipe of a buffer that is freed right after survives optimisation.
#include "base/SecureWipe.h"

#include <cstring>

namespace nvbase {

namespace {
void* (*const volatile g_memset)(void*, int, std::size_t) = std::memset;
} // namespace

void SecureWipe(void* data, std::size_t size) {
    if (data != nullptr && size != 0)
        g_memset(data, 0, size);
}

} // namespace nvbase
