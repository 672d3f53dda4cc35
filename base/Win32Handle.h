// An owning kernel handle: closed once, by whoever holds it last. Win32 only.
#pragma once

#include <windows.h>

#include <utility>

namespace nvwin {

// Invalid is the value that means "no handle" for this kind: null for most objects,
// INVALID_HANDLE_VALUE for files.
template <HANDLE (*Invalid)()> class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            m_handle = std::exchange(other.m_handle, Invalid());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != Invalid() && m_handle != nullptr; }
    explicit operator bool() const { return Valid(); }

    // Closes now; false when CloseHandle reports a failure (for a file: the last write may be lost).
    bool Reset() {
        bool closed = true;
        if (Valid())
            closed = CloseHandle(m_handle) != FALSE;
        m_handle = Invalid();
        return closed;
    }

private:
    HANDLE m_handle = Invalid();
};

inline HANDLE NullHandleValue() {
    return nullptr;
}
inline HANDLE InvalidFileHandleValue() {
    return INVALID_HANDLE_VALUE;
}

using Handle = UniqueHandle<NullHandleValue>;
using FileHandle = UniqueHandle<InvalidFileHandleValue>;

} // namespace nvwin
