// Loading string-table texts.
#include "ui/ResourceText.h"

#include "ui/WinApp.h"

namespace nvui {

std::wstring LoadResourceString(UINT id) {
    // With a buffer size of 0 the loader hands out a pointer into the resource itself, so texts
    // of any length come back whole.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(ResourceInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr)
        return {};
    return std::wstring(text, static_cast<std::size_t>(length));
}

} // namespace nvui
