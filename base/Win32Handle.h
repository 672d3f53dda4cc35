// Owners for every kind of handle the program holds: one template over the kind's traits, a
// window's device context for a scope, and a guard that selects a GDI object for a scope. Win32
// only.
#pragma once

#include <windows.h>

#include <utility>

namespace nvwin {

// Traits name the held type (Value), the value that means "nothing held" (Invalid()) and how the
// resource is given back (Close(value), true when that worked). Null never counts as held, so
// a file handle that somebody set to null is not closed either.
template <class Traits> class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value value) : m_value(value) {}
    ~UniqueResource() { Reset(); }
    UniqueResource(UniqueResource&& other) noexcept : m_value(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value Get() const { return m_value; }
    bool Valid() const { return m_value != Traits::Invalid() && m_value != Value{}; }
    explicit operator bool() const { return Valid(); }

    // Gives back what is held now and holds value instead; false when giving back failed (for a
    // file: the last write may be lost). The value held already is kept as it is: closing it here
    // would leave the owner with a dead value that it closes once more later, by then perhaps
    // another object's handle that reused the number.
    bool Reset(Value value = Traits::Invalid()) {
        if (value == m_value)
            return true;
        bool closed = true;
        if (Valid())
            closed = Traits::Close(m_value);
        m_value = value;
        return closed;
    }

    // Hands the value over to the caller, who gives it back.
    Value Release() { return std::exchange(m_value, Traits::Invalid()); }

    // For a function that hands a new resource back through a pointer: gives back what is held
    // and lends the place to write to.
    Value* Put() {
        Reset();
        return &m_value;
    }

private:
    Value m_value = Traits::Invalid();
};

//--- Kernel objects and files

struct KernelHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return nullptr; }
    static bool Close(Value handle) { return CloseHandle(handle) != FALSE; }
};

// CreateFileW reports failure with INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits : KernelHandleTraits {
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
};

struct FindHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Close(Value search) { return FindClose(search) != FALSE; }
};

struct ModuleTraits {
    using Value = HMODULE;
    static Value Invalid() { return nullptr; }
    static bool Close(Value module) { return FreeLibrary(module) != FALSE; }
};

// Memory the system allocated for us with LocalAlloc (security descriptors, SID strings).
struct LocalMemoryTraits {
    using Value = void*;
    static Value Invalid() { return nullptr; }
    static bool Close(Value memory) { return LocalFree(memory) == nullptr; }
};

struct RegKeyTraits {
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static bool Close(Value key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};

struct DeviceNotifyTraits {
    using Value = HDEVNOTIFY;
    static Value Invalid() { return nullptr; }
    static bool Close(Value notify) { return UnregisterDeviceNotification(notify) != FALSE; }
};

using Handle = UniqueResource<KernelHandleTraits>;
using FileHandle = UniqueResource<FileHandleTraits>;
using FindHandle = UniqueResource<FindHandleTraits>;
using Module = UniqueResource<ModuleTraits>;
using LocalMemory = UniqueResource<LocalMemoryTraits>;
using RegKeyHandle = UniqueResource<RegKeyTraits>;
using DeviceNotify = UniqueResource<DeviceNotifyTraits>;

//--- GDI

// T: the object's own type (HBRUSH, HFONT, HBITMAP, HPEN), so that it goes to the calls that
// take one without a cast.
template <class T> struct GdiObjectTraits {
    using Value = T;
    static Value Invalid() { return nullptr; }
    static bool Close(Value object) { return DeleteObject(object) != FALSE; }
};

// A context of CreateCompatibleDC.
struct MemoryDcTraits {
    using Value = HDC;
    static Value Invalid() { return nullptr; }
    static bool Close(Value dc) { return DeleteDC(dc) != FALSE; }
};

template <class T = HGDIOBJ> using GdiObject = UniqueResource<GdiObjectTraits<T>>;
using MemoryDC = UniqueResource<MemoryDcTraits>;

// A window's context from GetDC (null: the screen's), given back with ReleaseDC to the same
// window when the scope ends. Invalid when GetDC failed.
class WindowDC {
public:
    explicit WindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDC() { Reset(); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return m_dc; }
    bool Valid() const { return m_dc != nullptr; }
    explicit operator bool() const { return Valid(); }

    bool Reset() {
        bool released = true;
        if (m_dc != nullptr)
            released = ReleaseDC(m_window, m_dc) != 0;
        m_dc = nullptr;
        return released;
    }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects an object for the guard's lifetime and puts the previous one back, so the object is
// no longer selected when its owner deletes it.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    ~SelectGuard() {
        if (m_previous && m_previous != HGDI_ERROR)
            SelectObject(m_dc, m_previous);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace nvwin
