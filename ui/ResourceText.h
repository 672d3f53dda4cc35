// Texts of the program's string table, loaded when used (nothing cached): the loader picks the
// user's display language block by block.
#pragma once

#include <windows.h>

#include <string>

namespace nvui {

// The text of the id in the program's resources; empty when the entry is missing or empty.
std::wstring LoadResourceString(UINT id);

} // namespace nvui
