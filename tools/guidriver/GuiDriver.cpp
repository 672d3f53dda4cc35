// guidriver: operates the windows of other programs under Wine (or Windows) for tests and
// scripts: finds windows, lists their controls, clicks with real mouse input, presses keys,
// sends registered messages, reads pixels and saves screenshots. `guidriver --help` says how.
#include "base/Win32Handle.h"
#include "tools/bitmaps/BmpFile.h"
#include "tools/bitmaps/WicPngFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char kHelp[] = R"(guidriver - operate windows of running programs (tests, scripts)

usage: guidriver COMMAND [WINDOW] [OPTIONS]

WINDOW picks one visible top-level window; all given conditions must hold:
  --title TEXT           window text equal to TEXT
  --title-contains TEXT  window text containing TEXT
  --has-control ID       the window has a child control with this id (for windows without
                         a title, e.g. the message box: --has-control 1169)
  --hwnd HANDLE          this window (hexadecimal, as printed by `wait`)
  --timeout MS           how long to wait for the window to appear (default 10000)

Commands:
  wait WINDOW                     wait until the window exists; print its handle (0x...)
  wait-gone WINDOW                wait (up to --timeout) until no such window exists
  list WINDOW                     one line per child control, in z-order:
                                    id=N class=NAME x=N y=N w=N h=N visible=0|1 text="..."
                                  (rectangle in the window's client coordinates; text as UTF-8,
                                  with \" \\ \n escaped)
  rect WINDOW [--id N]            print x y w h: the window (screen coordinates) or a control
                                  (client coordinates of the window)
  click WINDOW --id N [--at X Y] [--hold MS]
                                  real mouse input (SendInput): move to the control's centre (or
                                  to X,Y inside it), wait, press, wait MS (default 80), release
  press WINDOW --id N [--at X Y]  move there and press the left button only
  release                         release the left button where the mouse is
  move WINDOW X Y                 move the mouse to client point X,Y of the window
  move-screen X Y                 move the mouse to screen point X,Y
  key WINDOW enter|escape|tab|shift+tab|space|alt+f4 [--sendinput]
                                  key down and up: posted to the window's focus control (or the
                                  window), so it goes through the program's message loop; with
                                  --sendinput, the window is brought to the foreground and the key
                                  is typed with SendInput (alt+f4 and shift+tab: the modifier held
                                  around the key)
  activate WINDOW                 bring the window to the foreground (SetForegroundWindow), as the
                                  taskbar or Alt+Tab does
  send WINDOW [--id N] --message NAME [--wparam N] [--lparam N]
                                  send a message (to the control N, if given) and print its
                                  result; NAME is registered with RegisterWindowMessage, unless it
                                  is a number (0x806, 2054)
  post WINDOW [--id N] --message NAME [--wparam N] [--lparam N]
                                  the same, posted (no result)
  broadcast --message NAME [--wparam N] [--lparam N]
                                  post to every top-level window (HWND_BROADCAST)
  pixel WINDOW X Y                print the colour on screen at client point X,Y of the window as
                                  RRGGBB (hexadecimal, red first), what a person sees there
  screenshot WINDOW FILE          save the window as it is on screen (frame included) as PNG, or
                                  as BMP when FILE ends in .bmp
  --help                          this text

Numbers take decimal or 0x-hexadecimal. Exit status: 0 done, 1 window not found / time-out /
operation failed, 2 bad command line.
)";

struct Options {
    std::vector<std::wstring> positional;
    std::wstring title, titleContains, message, file;
    int hasControl = -1;
    HWND hwnd = nullptr;
    DWORD timeout = 10000;
    int id = -1;
    bool haveAt = false;
    int atX = 0, atY = 0;
    DWORD hold = 80;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool sendInput = false;
};

bool ParseNumber(const std::wstring& text, long long& value) {
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    value = std::wcstoll(text.c_str(), &end, 0);
    return end != nullptr && *end == L'\0';
}

void PrintUtf8(const std::wstring& text) {
    if (text.empty())
        return;
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    std::fwrite(out.data(), 1, out.size(), stdout);
}

std::wstring WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

bool Matches(HWND hwnd, const Options& o) {
    if (!IsWindowVisible(hwnd))
        return false;
    if (o.hwnd && hwnd != o.hwnd)
        return false;
    const std::wstring text = WindowText(hwnd);
    if (!o.title.empty() && text != o.title)
        return false;
    if (!o.titleContains.empty() && text.find(o.titleContains) == std::wstring::npos)
        return false;
    if (o.hasControl >= 0 && GetDlgItem(hwnd, o.hasControl) == nullptr)
        return false;
    return true;
}

HWND FindOnce(const Options& o) {
    struct Search {
        const Options* options;
        HWND found;
    } search = {&o, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (Matches(hwnd, *s->options)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool HasSelector(const Options& o) {
    return o.hwnd || !o.title.empty() || !o.titleContains.empty() || o.hasControl >= 0;
}

HWND FindWindowWaiting(const Options& o) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = FindOnce(o))
            return found;
        if (GetTickCount() - start >= o.timeout)
            return nullptr;
        Sleep(50);
    }
}

RECT ClientRectOf(HWND control, HWND window) {
    RECT rc = {};
    GetWindowRect(control, &rc);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void MouseTo(int x, int y) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((x * 65536LL + 32768) / w);
    input.mi.dy = static_cast<LONG>((y * 65536LL + 32768) / h);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void MouseButton(bool down) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof input);
}

// The screen point of a control's centre, or of (at) inside it.
bool ControlPoint(HWND window, const Options& o, POINT& p) {
    HWND control = GetDlgItem(window, o.id);
    if (control == nullptr) {
        std::fprintf(stderr, "guidriver: the window has no control %d\n", o.id);
        return false;
    }
    RECT rc = {};
    GetWindowRect(control, &rc);
    p.x = o.haveAt ? rc.left + o.atX : (rc.left + rc.right) / 2;
    p.y = o.haveAt ? rc.top + o.atY : (rc.top + rc.bottom) / 2;
    return true;
}

UINT MessageId(const std::wstring& name) {
    long long number = 0;
    if (ParseNumber(name, number))
        return static_cast<UINT>(number);
    return RegisterWindowMessageW(name.c_str());
}

// The window's rectangle as it is on screen, overlapping windows included: what a person sees.
// bgra: the rows top first, 4 bytes a pixel (blue, green, red, unused).
bool Capture(HWND hwnd, int& w, int& h, std::vector<std::uint8_t>& bgra) {
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    w = rc.right - rc.left;
    h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0)
        return false;
    const nvwin::WindowDC screen(nullptr);
    const nvwin::MemoryDC memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const nvwin::GdiObject<HBITMAP> dib(
        CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !memory)
        return false;
    const nvwin::SelectGuard select(memory.Get(), dib.Get());
    const bool ok = BitBlt(memory.Get(), 0, 0, w, h, screen.Get(), rc.left, rc.top, SRCCOPY) != FALSE;
    GdiFlush();
    const auto* px = static_cast<const std::uint8_t*>(bits);
    bgra.assign(px, px + static_cast<std::size_t>(w) * h * 4);
    return ok;
}

bool EndsWith(const std::wstring& text, const wchar_t* tail) {
    const std::size_t n = std::wcslen(tail);
    if (text.size() < n)
        return false;
    return _wcsicmp(text.c_str() + text.size() - n, tail) == 0;
}

bool SaveScreenshot(HWND hwnd, const std::wstring& file) {
    int w = 0, h = 0;
    std::vector<std::uint8_t> bgra;
    if (!Capture(hwnd, w, h, bgra))
        return false;
    if (!EndsWith(file, L".bmp")) {
        const HRESULT hr = nvbmp::WritePngFile(file, w, h, bgra);
        if (FAILED(hr))
            std::fprintf(stderr, "guidriver: writing the PNG failed (0x%08lX)\n",
                         static_cast<unsigned long>(hr));
        return SUCCEEDED(hr);
    }
    nvbmp::Canvas canvas(w, h, {});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * w + x) * 4;
            canvas.Set(x, y, {bgra[i + 2], bgra[i + 1], bgra[i], 255});
        }
    const std::vector<std::uint8_t> bytes = nvbmp::EncodeBmp(canvas, 24);
    std::ofstream out(file.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close(); // what is still buffered is written here, and can fail here
    return static_cast<bool>(out);
}

void PrintQuoted(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\')
            escaped.push_back(L'\\');
        if (c == L'\n') {
            escaped += L"\\n";
            continue;
        }
        if (c == L'\r') {
            escaped += L"\\r";
            continue;
        }
        escaped.push_back(c);
    }
    std::fputc('"', stdout);
    PrintUtf8(escaped);
    std::fputc('"', stdout);
}

int ListControls(HWND window) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[128] = {};
        GetClassNameW(child, className, 128);
        const RECT rc = ClientRectOf(child, window);
        std::printf("id=%d class=", GetDlgCtrlID(child));
        PrintUtf8(className);
        std::printf(" x=%ld y=%ld w=%ld h=%ld visible=%d text=", rc.left, rc.top, rc.right - rc.left,
                    rc.bottom - rc.top, IsWindowVisible(child) ? 1 : 0);
        PrintQuoted(WindowText(child));
        std::printf("\n");
    }
    return 0;
}

int PressKey(HWND window, const std::wstring& name, bool useSendInput) {
    WORD key = 0;
    if (name == L"enter")
        key = VK_RETURN;
    else if (name == L"escape")
        key = VK_ESCAPE;
    else if (name == L"tab" || name == L"shift+tab")
        key = VK_TAB;
    else if (name == L"space")
        key = VK_SPACE;
    else if (name == L"alt+f4")
        key = VK_F4;
    else {
        std::fprintf(stderr, "guidriver: unknown key (enter, escape, tab, shift+tab, space, alt+f4)\n");
        return 2;
    }
    const bool alt = key == VK_F4;
    const bool shift = name == L"shift+tab";
    if (useSendInput) {
        SetForegroundWindow(window);
        Sleep(100);
        INPUT input[4] = {};
        UINT count = 0;
        const auto add = [&](WORD vk, DWORD flags) {
            input[count].type = INPUT_KEYBOARD;
            input[count].ki.wVk = vk;
            input[count].ki.dwFlags = flags;
            ++count;
        };
        const WORD modifier = alt ? VK_MENU : (shift ? VK_SHIFT : 0);
        if (modifier != 0)
            add(modifier, 0);
        add(key, 0);
        add(key, KEYEVENTF_KEYUP);
        if (modifier != 0)
            add(modifier, KEYEVENTF_KEYUP);
        return SendInput(count, input, sizeof(INPUT)) == count ? 0 : 1;
    }
    if (shift) {
        // A posted key carries no modifier state: Shift would not be down when the window asks.
        std::fprintf(stderr, "guidriver: shift+tab needs --sendinput\n");
        return 2;
    }
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == window || IsChild(window, info.hwndFocus)))
        target = info.hwndFocus;
    // With Alt held, the keys are system keys and carry the context bit.
    const LPARAM scan =
        static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16 | (alt ? LPARAM(1) << 29 : 0);
    const bool ok = PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | scan) &&
                    PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, key, 1 | scan | (LPARAM(3) << 30));
    return ok ? 0 : 1;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "guidriver: %s (guidriver --help)\n", problem);
    return 2;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage("no command");
    const std::wstring command = argv[1];
    if (command == L"--help" || command == L"-h" || command == L"help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    Options o;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        auto next = [&](std::wstring& into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        auto nextNumber = [&](long long& into) {
            std::wstring text;
            return next(text) && ParseNumber(text, into);
        };
        long long n = 0, m = 0;
        if (arg == L"--title") {
            if (!next(o.title))
                return Usage("--title needs a text");
        } else if (arg == L"--title-contains") {
            if (!next(o.titleContains))
                return Usage("--title-contains needs a text");
        } else if (arg == L"--has-control") {
            if (!nextNumber(n))
                return Usage("--has-control needs an id");
            o.hasControl = static_cast<int>(n);
        } else if (arg == L"--hwnd") {
            std::wstring text;
            if (!next(text))
                return Usage("--hwnd needs a handle");
            if (text.rfind(L"0x", 0) != 0 && text.rfind(L"0X", 0) != 0)
                text.insert(0, L"0x");
            if (!ParseNumber(text, n))
                return Usage("--hwnd needs a hexadecimal handle");
            o.hwnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(n));
        } else if (arg == L"--timeout") {
            if (!nextNumber(n) || n < 0)
                return Usage("--timeout needs milliseconds");
            o.timeout = static_cast<DWORD>(n);
        } else if (arg == L"--id") {
            if (!nextNumber(n))
                return Usage("--id needs a control id");
            o.id = static_cast<int>(n);
        } else if (arg == L"--at") {
            if (!nextNumber(n) || !nextNumber(m))
                return Usage("--at needs X and Y");
            o.haveAt = true;
            o.atX = static_cast<int>(n);
            o.atY = static_cast<int>(m);
        } else if (arg == L"--hold") {
            if (!nextNumber(n) || n < 0)
                return Usage("--hold needs milliseconds");
            o.hold = static_cast<DWORD>(n);
        } else if (arg == L"--message") {
            if (!next(o.message))
                return Usage("--message needs a name");
        } else if (arg == L"--wparam") {
            if (!nextNumber(n))
                return Usage("--wparam needs a number");
            o.wParam = static_cast<WPARAM>(n);
        } else if (arg == L"--lparam") {
            if (!nextNumber(n))
                return Usage("--lparam needs a number");
            o.lParam = static_cast<LPARAM>(n);
        } else if (arg == L"--sendinput") {
            o.sendInput = true;
        } else if (arg.rfind(L"--", 0) == 0) {
            return Usage("unknown option");
        } else {
            o.positional.push_back(arg);
        }
    }

    if (command == L"release") {
        MouseButton(false);
        return 0;
    }
    if (command == L"move-screen") {
        long long x = 0, y = 0;
        if (o.positional.size() != 2 || !ParseNumber(o.positional[0], x) || !ParseNumber(o.positional[1], y))
            return Usage("move-screen needs X Y");
        MouseTo(static_cast<int>(x), static_cast<int>(y));
        return 0;
    }
    if (command == L"broadcast") {
        if (o.message.empty())
            return Usage("broadcast needs --message");
        const UINT msg = MessageId(o.message);
        return msg != 0 && PostMessageW(HWND_BROADCAST, msg, o.wParam, o.lParam) ? 0 : 1;
    }

    static const wchar_t* const kWindowCommands[] = {L"wait",  L"wait-gone",  L"list",    L"rect", L"click",
                                                     L"press", L"move",       L"key",     L"send", L"post",
                                                     L"pixel", L"screenshot", L"activate"};
    bool known = false;
    for (const wchar_t* c : kWindowCommands)
        known = known || command == c;
    if (!known)
        return Usage("unknown command");
    if (!HasSelector(o))
        return Usage("which window? (--title, --title-contains, --has-control or --hwnd)");

    if (command == L"wait-gone") {
        const DWORD start = GetTickCount();
        while (FindOnce(o)) {
            if (GetTickCount() - start >= o.timeout) {
                std::fprintf(stderr, "guidriver: the window is still there\n");
                return 1;
            }
            Sleep(50);
        }
        return 0;
    }
    HWND window = FindWindowWaiting(o);
    if (window == nullptr) {
        std::fprintf(stderr, "guidriver: no such window\n");
        return 1;
    }
    if (command == L"wait") {
        std::printf("0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
        return 0;
    }
    if (command == L"list")
        return ListControls(window);
    if (command == L"rect") {
        RECT rc = {};
        if (o.id >= 0) {
            HWND control = GetDlgItem(window, o.id);
            if (!control)
                return 1;
            rc = ClientRectOf(control, window);
        } else {
            GetWindowRect(window, &rc);
        }
        std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        return 0;
    }
    if (command == L"click" || command == L"press") {
        if (o.id < 0)
            return Usage("click and press need --id");
        POINT p = {};
        if (!ControlPoint(window, o, p))
            return 1;
        MouseTo(p.x, p.y);
        Sleep(150); // let the window see the move (hover) before the press
        MouseButton(true);
        if (command == L"click") {
            Sleep(o.hold);
            MouseButton(false);
        }
        Sleep(50);
        return 0;
    }
    if (command == L"move") {
        long long x = 0, y = 0;
        if (o.positional.size() != 2 || !ParseNumber(o.positional[0], x) || !ParseNumber(o.positional[1], y))
            return Usage("move needs X Y");
        POINT p = {static_cast<LONG>(x), static_cast<LONG>(y)};
        ClientToScreen(window, &p);
        MouseTo(p.x, p.y);
        return 0;
    }
    if (command == L"activate")
        return SetForegroundWindow(window) ? 0 : 1;
    if (command == L"key") {
        if (o.positional.size() != 1)
            return Usage("key needs enter, escape, tab, shift+tab, space or alt+f4");
        return PressKey(window, o.positional[0], o.sendInput);
    }
    if (command == L"send" || command == L"post") {
        if (o.message.empty())
            return Usage("send and post need --message");
        const UINT msg = MessageId(o.message);
        if (msg == 0)
            return 1;
        // --id: to that control rather than the window (WM_GETOBJECT, as a screen reader asks it).
        HWND target = window;
        if (o.id >= 0 && (target = GetDlgItem(window, o.id)) == nullptr) {
            std::fprintf(stderr, "guidriver: the window has no control %d\n", o.id);
            return 1;
        }
        if (command == L"post")
            return PostMessageW(target, msg, o.wParam, o.lParam) ? 0 : 1;
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(target, msg, o.wParam, o.lParam, SMTO_ABORTIFHUNG, o.timeout, &result))
            return 1;
        std::printf("%lld\n", static_cast<long long>(result));
        return 0;
    }
    if (command == L"pixel") {
        long long x = 0, y = 0;
        if (o.positional.size() != 2 || !ParseNumber(o.positional[0], x) || !ParseNumber(o.positional[1], y))
            return Usage("pixel needs X Y");
        POINT p = {static_cast<LONG>(x), static_cast<LONG>(y)};
        ClientToScreen(window, &p);
        const COLORREF c = GetPixel(nvwin::WindowDC(nullptr).Get(), p.x, p.y);
        if (c == CLR_INVALID)
            return 1;
        std::printf("%02X%02X%02X\n", GetRValue(c), GetGValue(c), GetBValue(c));
        return 0;
    }
    // screenshot
    if (o.positional.size() != 1)
        return Usage("screenshot needs a file name");
    return SaveScreenshot(window, o.positional[0]) ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // Plain \n line ends, whoever reads the output.
    _setmode(_fileno(stdout), _O_BINARY);
    const int result = Run(argc, argv);
    // Text or a pixel that did not reach the caller fails the command.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && result == 0)
        return 1;
    return result;
}
