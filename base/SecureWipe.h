// Wiping memory that held secrets, in a way the optimiser may not drop as a dead store.
#pragma once

#include <cstddef>

namespace nvbase {

void SecureWipe(void* data, std::size_t size);

} // namespace nvbase
