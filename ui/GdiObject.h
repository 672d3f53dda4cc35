// Owning handles for GDI objects and memory device contexts, and a guard that selects an
// object into a context for one scope.
#pragma once

#include <windows.h>

namespace nvui {

class GdiObject {
public:
    explicit GdiObject(HGDIOBJ object = nullptr) : m_h(object) {}
    ~GdiObject() { reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : m_h(other.release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            reset();
            m_h = other.release();
        }
        return *this;
    }
    HGDIOBJ get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    HGDIOBJ release() {
        HGDIOBJ h = m_h;
        m_h = nullptr;
        return h;
    }
    void reset(HGDIOBJ object = nullptr) {
        if (m_h)
            DeleteObject(m_h);
        m_h = object;
    }

private:
    HGDIOBJ m_h;
};

class GdiDC {
public:
    explicit GdiDC(HDC dc) : m_h(dc) {}
    ~GdiDC() {
        if (m_h)
            DeleteDC(m_h);
    }
    GdiDC(const GdiDC&) = delete;
    GdiDC& operator=(const GdiDC&) = delete;
    HDC get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    HDC m_h;
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

} // namespace nvui
