// What the Windows GUI tests share: pumping messages through the dialogs' routing, reading
// pixels back, real mouse input with SendInput, and screenshots saved as test artefacts.
#pragma once

#include "tests/support/TestWindows.h"

#include <windows.h>

#include <functional>
#include <string>

namespace nvtest {

// Routes the thread's messages as a modal loop would, for about `ms` milliseconds.
void PumpFor(DWORD ms);
// Pumps until the condition holds or the time-out passes; returns the condition's last value.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);

COLORREF ClientPixel(HWND hwnd, int x, int y);
COLORREF ScreenPixel(int x, int y);

// The mouse as a person moves it: absolute SendInput, then a pump so the windows react.
void MouseMoveTo(int screenX, int screenY);
void MouseMoveToClient(HWND hwnd, int x, int y);
// The pointer onto the middle of a window (a control).
void MouseMoveOnto(HWND window);
void MouseLeftDown();
void MouseLeftUp();
// A real click in the middle of a control of `window` (a failure of the test when there is none).
void ClickControl(HWND window, int id);
// A key pressed and released, posted to the window as the keyboard would.
void PostKey(HWND window, WPARAM key);

using testwin::RectInParent;
// Whether `upper` lies above `lower` in the z-order of the top-level windows.
bool IsAbove(HWND upper, HWND lower);

// Writes a PNG of the window (frame included) into the artefact folder; returns its path, or
// an empty text when it could not be written.
std::wstring SaveWindowPng(HWND hwnd, const std::wstring& name);
// The same for a rectangle of the screen as it is composed (layered windows blended).
std::wstring SaveScreenPng(const RECT& area, const std::wstring& name);

} // namespace nvtest
