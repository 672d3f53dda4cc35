// guidriver.exe against windows of this process: the message box run modally here while a
// second thread drives it through guidriver (wait, list, pixel, screenshot, click, key), and a
// host window that answers registered messages sent and broadcast by name. Its screenshot is
// decoded again with the platform's imaging component and compared with the screen.
#include "resources/ResourceIds.h"
#include "tests/support/Tools.h"
#include "tests/support/UiTestSupport.h"
#include "ui/DlgMessageBox.h"

#include <gtest/gtest.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using testwin::Driver;
using testwin::RunResult;

// guidriver's choice of the message box: the one window with the box's icon.
const std::wstring kBox = testwin::HasControl(IDC_MSGBOX_ICON) + L" ";

// The start of the line guidriver lists for a static control of that id.
std::string Listed(int id) {
    return "id=" + std::to_string(id) + " class=Static ";
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgra; // rows top first, 4 bytes a pixel, the fourth not compared
};

// What is on screen in the rectangle, read as guidriver reads it.
Pixels ScreenArea(const RECT& rc) {
    Pixels p;
    p.width = rc.right - rc.left;
    p.height = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = p.width;
    info.bmiHeader.biHeight = -p.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, p.width, p.height, screen, rc.left, rc.top, SRCCOPY);
        GdiFlush();
        const auto* px = static_cast<const std::uint8_t*>(bits);
        p.bgra.assign(px, px + static_cast<std::size_t>(p.width) * p.height * 4);
        SelectObject(memory, old);
        DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return p;
}

// The file decoded by WIC, whatever its container says, converted to 32-bit BGR rows.
HRESULT DecodeImage(const std::wstring& path, Pixels& p) {
    using Microsoft::WRL::ComPtr;
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr =
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    ComPtr<IWICBitmapDecoder> decoder;
    if (SUCCEEDED(hr))
        hr = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder);
    GUID container = {};
    if (SUCCEEDED(hr))
        hr = decoder->GetContainerFormat(&container);
    if (SUCCEEDED(hr) && !IsEqualGUID(container, GUID_ContainerFormatPng))
        hr = WINCODEC_ERR_WRONGSTATE;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (SUCCEEDED(hr))
        hr = decoder->GetFrame(0, &frame);
    ComPtr<IWICFormatConverter> converter;
    if (SUCCEEDED(hr))
        hr = factory->CreateFormatConverter(&converter);
    if (SUCCEEDED(hr))
        hr = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr,
                                   0.0, WICBitmapPaletteTypeCustom);
    UINT w = 0, h = 0;
    if (SUCCEEDED(hr))
        hr = converter->GetSize(&w, &h);
    if (SUCCEEDED(hr)) {
        p.width = static_cast<int>(w);
        p.height = static_cast<int>(h);
        p.bgra.assign(static_cast<std::size_t>(w) * h * 4, 0);
        hr = converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(p.bgra.size()), p.bgra.data());
    }
    return hr;
}

// Pixels whose blue, green or red differ.
int DifferentPixels(const Pixels& a, const Pixels& b) {
    int different = 0;
    for (std::size_t i = 0; i + 3 < a.bgra.size() && i + 3 < b.bgra.size(); i += 4)
        if (a.bgra[i] != b.bgra[i] || a.bgra[i + 1] != b.bgra[i + 1] || a.bgra[i + 2] != b.bgra[i + 2])
            ++different;
    return different;
}

// Runs `drive` on a second thread while this one pumps, until it is done.
void WhilePumping(const std::function<void()>& drive) {
    bool done = false;
    std::thread driver([&] {
        drive();
        done = true;
    });
    nvtest::PumpUntil([&] { return done; }, 60000);
    driver.join();
}

TEST(GuiDriver, HelpDocumentsEveryCommand) {
    RunResult help;
    WhilePumping([&] { help = Driver(L"--help"); });
    EXPECT_EQ(help.code, 0u);
    for (const char* command :
         {"wait ", "wait-gone", "list ", "rect ", "click ", "press ", "release", "move ", "move-screen",
          "key ", "activate ", "send ", "post ", "broadcast", "pixel ", "screenshot"})
        EXPECT_NE(help.out.find(std::string("\n  ") + command), std::string::npos) << command;
    EXPECT_EQ(Driver(L"frobnicate").code, 2u);
    EXPECT_EQ(Driver(L"list").code, 2u) << "no window given";
    EXPECT_EQ(Driver(L"wait --title \"No Such Window\" --timeout 200").code, 1u);
}

TEST(GuiDriver, OperatesTheMessageBox) {
    RunResult waited, listed, pixel, screenshot, click;
    Pixels onScreen;
    const std::wstring file = L"guidriver-message-box.png";
    std::thread driver([&] {
        waited = Driver(L"wait " + kBox + L"--timeout 10000");
        Sleep(300);
        listed = Driver(L"list " + kBox);
        pixel = Driver(L"pixel " + kBox + L"470 50");
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        screenshot = Driver(L"screenshot " + kBox + L"\"" + std::wstring(temp) + file + L"\"");
        // Nothing moves until the click, so the screen still shows what the file should hold.
        RECT rc = {};
        GetWindowRect(reinterpret_cast<HWND>(std::strtoull(waited.out.c_str(), nullptr, 16)), &rc);
        onScreen = ScreenArea(rc);
        click = Driver(L"click " + kBox + L"--id " + std::to_wstring(IDC_MSGBOX_BUTTON1));
    });
    CDlgMessageBox box;
    const INT_PTR result = box.ShowMessage(L"Driven from outside", 0x81, L"GuiDriver");
    driver.join();

    EXPECT_EQ(waited.code, 0u);
    EXPECT_EQ(waited.out.rfind("0x", 0), 0u) << waited.out;
    EXPECT_EQ(listed.code, 0u);
    EXPECT_NE(listed.out.find(Listed(IDC_MSGBOX_BUTTON1) + "x=30 y=205 w=420 h=45 visible=1 text=\"OK\"\n"),
              std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find(Listed(IDC_MSGBOX_ANOTHER) +
                              "x=100 y=135 w=350 h=20 visible=1 text=\"Scan another finger\""),
              std::string::npos);
    EXPECT_NE(listed.out.find(Listed(IDC_MSGBOX_BUTTON2)), std::string::npos);
    EXPECT_NE(listed.out.find("visible=0 text=\"NO\""), std::string::npos) << "the hidden second button";
    EXPECT_EQ(pixel.out, "27282E\n") << "the band, red first";
    EXPECT_EQ(screenshot.code, 0u);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::ifstream png((std::wstring(temp) + file).c_str(), std::ios::binary | std::ios::ate);
    ASSERT_TRUE(png) << "no screenshot written";
    // A compressing encoder; stored deflate blocks would take the whole raw size.
    EXPECT_LT(static_cast<long long>(png.tellg()), 480LL * 270 * 3 / 4);
    png.close();
    Pixels decoded;
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const HRESULT hr = DecodeImage(std::wstring(temp) + file, decoded);
    CoUninitialize();
    ASSERT_HRESULT_SUCCEEDED(hr);
    EXPECT_EQ(decoded.width, 480) << "width of the borderless box";
    EXPECT_EQ(decoded.height, 270);
    ASSERT_EQ(onScreen.width, 480);
    ASSERT_EQ(onScreen.height, 270);
    EXPECT_EQ(DifferentPixels(decoded, onScreen), 0) << "the file shows what the screen showed";
    EXPECT_EQ(click.code, 0u);
    EXPECT_EQ(result, IDOK) << "the click on OK";
}

TEST(GuiDriver, KeysGoThroughTheProgramsMessageLoop) {
    RunResult key;
    std::thread driver([&] {
        Driver(L"wait " + kBox);
        Sleep(200);
        key = Driver(L"key " + kBox + L"escape");
    });
    CDlgMessageBox box;
    const INT_PTR result = box.ShowMessage(L"Escape from outside", 0, L"");
    driver.join();
    EXPECT_EQ(key.code, 0u) << key.out;
    EXPECT_EQ(result, IDCANCEL);
}

class Host : public CDialogEx {
public:
    Host() : CDialogEx(IDD_BLACKWND) {}
    std::vector<std::pair<WPARAM, LPARAM>> received;
    UINT ping = RegisterWindowMessageW(L"NorvikTestPing");

protected:
    BOOL OnInitDialog() override {
        CDialogEx::OnInitDialog();
        SetWindowTextW(m_hWnd, L"GuiDriver Host");
        return TRUE;
    }
    bool OnRegisteredMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message != ping)
            return false;
        received.emplace_back(wParam, lParam);
        *result = static_cast<LRESULT>(wParam * 2);
        return true;
    }
    bool OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message != 0x806)
            return false;
        received.emplace_back(wParam + 1000, lParam);
        *result = 7;
        return true;
    }
};

TEST(GuiDriver, SendsPostsAndBroadcastsMessagesByName) {
    Host host;
    ASSERT_TRUE(host.Create(nullptr));
    SetWindowPos(host.GetSafeHwnd(), nullptr, 600, 500, 200, 100, SWP_NOZORDER);
    host.ShowWindow(SW_SHOW);
    RunResult sent, numbered, broadcast, posted;
    WhilePumping([&] {
        sent = Driver(L"send --title \"GuiDriver Host\" --message NorvikTestPing --wparam 21 --lparam 0x10");
        numbered = Driver(L"send --title-contains \"Driver Ho\" --message 0x806 --wparam 3");
        posted = Driver(L"post --title \"GuiDriver Host\" --message NorvikTestPing --wparam 1");
        broadcast = Driver(L"broadcast --message NorvikTestPing --wparam 9 --lparam 8");
    });
    nvtest::PumpFor(200);
    EXPECT_EQ(sent.out, "42\n");
    EXPECT_EQ(numbered.out, "7\n");
    EXPECT_EQ(posted.code, 0u);
    EXPECT_EQ(broadcast.code, 0u);
    const std::vector<std::pair<WPARAM, LPARAM>> expected = {{21, 16}, {1003, 0}, {1, 0}, {9, 8}};
    EXPECT_EQ(host.received, expected);
}

} // namespace
