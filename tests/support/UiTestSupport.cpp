// Shared helpers of the Windows GUI tests.
#include "tests/support/UiTestSupport.h"

#include "tests/support/Wait.h"

#include "tools/bitmaps/WicPngFile.h"
#include "ui/DialogEx.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace nvtest {

namespace {
void RoutePending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        CDialogEx::RouteMessage(msg);
    Sleep(5);
}
} // namespace

void PumpFor(DWORD ms) {
    testwin::WaitUntil([] { return false; }, ms, RoutePending);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    return testwin::WaitUntil(done, timeoutMs, RoutePending);
}

COLORREF ClientPixel(HWND hwnd, int x, int y) {
    HDC dc = GetDC(hwnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

COLORREF ScreenPixel(int x, int y) {
    HDC dc = GetDC(nullptr);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(nullptr, dc);
    return c;
}

namespace {
void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}
} // namespace

void MouseMoveTo(int screenX, int screenY) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    // Absolute coordinates are 0..65535 across the screen; round to the pixel's centre.
    const LONG dx = static_cast<LONG>((screenX * 65536LL + 32768) / w);
    const LONG dy = static_cast<LONG>((screenY * 65536LL + 32768) / h);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy);
    PumpFor(60);
}

void MouseMoveToClient(HWND hwnd, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(hwnd, &p);
    MouseMoveTo(p.x, p.y);
}

void MouseLeftDown() {
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    PumpFor(60);
}

void MouseLeftUp() {
    SendMouse(MOUSEEVENTF_LEFTUP);
    PumpFor(60);
}

void MouseMoveOnto(HWND window) {
    RECT rc = {};
    GetWindowRect(window, &rc);
    MouseMoveTo((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

void ClickControl(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    if (control == nullptr) {
        ADD_FAILURE() << "no control " << id << " to click";
        return;
    }
    MouseMoveOnto(control);
    PumpFor(90); // the control sees the pointer before the button
    MouseLeftDown();
    PumpFor(40);
    MouseLeftUp();
}

void PostKey(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

bool IsAbove(HWND upper, HWND lower) {
    for (HWND w = GetWindow(lower, GW_HWNDPREV); w != nullptr; w = GetWindow(w, GW_HWNDPREV))
        if (w == upper)
            return true;
    return false;
}

namespace {

// Copies width x height pixels at (x, y) of the source context and writes them as a PNG
// artefact.
std::wstring SavePng(HDC source, int x, int y, int w, int h, const std::wstring& name) {
    if (w <= 0 || h <= 0)
        return {};
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, source, x, y, SRCCOPY);
    GdiFlush();
    const std::wstring dir = NV_ARTIFACT_DIR;
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring path = dir + L"\\" + name + L".png";
    const HRESULT written =
        bits ? nvbmp::WritePngFile(
                   path, w, h, {static_cast<const std::uint8_t*>(bits), static_cast<std::size_t>(w) * h * 4})
             : E_OUTOFMEMORY;
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    return SUCCEEDED(written) ? path : std::wstring();
}

} // namespace

std::wstring SaveWindowPng(HWND hwnd, const std::wstring& name) {
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    HDC source = GetWindowDC(hwnd);
    const std::wstring path = SavePng(source, 0, 0, rc.right - rc.left, rc.bottom - rc.top, name);
    ReleaseDC(hwnd, source);
    return path;
}

std::wstring SaveScreenPng(const RECT& area, const std::wstring& name) {
    HDC screen = GetDC(nullptr);
    const std::wstring path =
        SavePng(screen, area.left, area.top, area.right - area.left, area.bottom - area.top, name);
    ReleaseDC(nullptr, screen);
    return path;
}

} // namespace nvtest
