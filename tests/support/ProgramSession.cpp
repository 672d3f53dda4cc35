// Shared helpers of the end-to-end tests of the program.
#include "tests/support/ProgramSession.h"

#include "tests/support/UiTestSupport.h"

namespace apptest {

namespace {

constexpr wchar_t kProductKey[] = L"SOFTWARE\\NORVIK\\Printkeep";
constexpr wchar_t kShowWelcome[] = L"ShowWelcome";

} // namespace

//--- Program

bool Program::Start(const std::wstring& program, const std::wstring& arguments) {
    if (m_process)
        return false;
    return m_process.emplace(program, arguments).Started();
}

std::vector<HWND> Program::Windows() const {
    return Pid() != 0 ? testwin::VisibleWindows(Pid()) : std::vector<HWND>();
}

HWND Program::MainWindow() const {
    return testwin::FindWindowOf(Windows(), IDC_MAIN_SIDE_PICTURE);
}

HWND Program::MessageBox() const {
    for (HWND w : Windows())
        if (GetDlgItem(w, IDC_MSGBOX_ICON) != nullptr && GetDlgItem(w, IDC_MSGBOX_BUTTON1) != nullptr)
            return w;
    return nullptr;
}

HWND Program::EnrollDialog() const {
    return testwin::FindWindowOf(Windows(), IDC_ENROLL_PICTURE);
}

HWND Program::Overlay() const {
    return testwin::FindWindowOf(Windows(), 0, L"Norvik Fingerprint Black");
}

HWND Program::WaitMainWindow(DWORD timeoutMs) const {
    return testwin::WaitForWindow([this] { return MainWindow(); }, timeoutMs);
}

HWND Program::WaitMessageBox(DWORD timeoutMs) const {
    // A box is there once it has its text; a moment later it is drawn.
    HWND found = testwin::WaitForWindow(
        [this] {
            HWND box = MessageBox();
            return box != nullptr && !BoxText(box).empty() ? box : nullptr;
        },
        timeoutMs);
    if (found)
        Sleep(150);
    return found;
}

HWND Program::WaitEnrollDialog(DWORD timeoutMs) const {
    return testwin::WaitForWindow([this] { return EnrollDialog(); }, timeoutMs);
}

HWND Program::WaitReady(DWORD timeoutMs) const {
    HWND main = nullptr;
    WaitUntil(
        [&] {
            main = MainWindow();
            return main != nullptr && CountText(main) != L"--/10" && MessageBox() == nullptr &&
                   Overlay() == nullptr;
        },
        timeoutMs);
    if (main)
        Sleep(150); // let it paint
    return main;
}

//--- Controls and pixels

std::vector<ControlInfo> Controls(HWND window) {
    std::vector<ControlInfo> list;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        list.push_back({GetDlgCtrlID(child), testwin::RectInParent(child, window),
                        IsWindowVisible(child) != FALSE, testwin::WindowText(child)});
    return list;
}

COLORREF Pixel(HWND window, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    return nvtest::ScreenPixel(p.x, p.y);
}

//--- Input through guidriver

bool Click(HWND window, int id) {
    return DriverOk(L"click --hwnd " + HandleText(window) + L" --id " + std::to_wstring(id));
}

void MouseAway() {
    Driver(L"move-screen 2 1020");
    Sleep(100);
}

bool Key(HWND window, const std::wstring& key) {
    return DriverOk(L"key --hwnd " + HandleText(window) + L" " + key);
}

long long SendRegistered(HWND window, const std::wstring& name) {
    const testwin::RunResult run = Driver(L"send --hwnd " + HandleText(window) + L" --message " + name);
    if (run.code != 0)
        return -1;
    return std::strtoll(run.out.c_str(), nullptr, 0);
}

bool BroadcastRegistered(const std::wstring& name) {
    return DriverOk(L"broadcast --message " + name);
}

std::wstring Screenshot(HWND window, const std::wstring& name) {
    RECT rc = {};
    GetWindowRect(window, &rc);
    return nvtest::SaveScreenPng(rc, name);
}

std::wstring CountText(HWND main) {
    return ControlText(main, IDC_MAIN_COUNT);
}

std::wstring BoxText(HWND box) {
    return ControlText(box, IDC_MSGBOX_TEXT);
}

std::wstring BoxTitle(HWND box) {
    return ControlText(box, IDC_MSGBOX_TITLE);
}

bool ClickBoxOk(HWND box) {
    return Click(box, IDC_MSGBOX_BUTTON1);
}

//--- ShowWelcome

ShowWelcomeGuard::ShowWelcomeGuard() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    m_keyExisted = true;
    DWORD size = 0;
    if (RegQueryValueExW(key, kShowWelcome, nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
        m_data.resize(size);
        m_valueExisted =
            RegQueryValueExW(key, kShowWelcome, nullptr, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
}

ShowWelcomeGuard::~ShowWelcomeGuard() {
    if (!m_keyExisted) {
        RemoveKey();
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (m_valueExisted)
        RegSetValueExW(key, kShowWelcome, 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
        RegDeleteValueW(key, kShowWelcome);
    RegCloseKey(key);
}

bool ShowWelcomeGuard::Set(DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExW(key, kShowWelcome, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                   sizeof value) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool ShowWelcomeGuard::RemoveValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kProductKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return true;
    const LSTATUS status = RegDeleteValueW(key, kShowWelcome);
    RegCloseKey(key);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool ShowWelcomeGuard::RemoveKey() {
    const LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, kProductKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

//--- Windows version

namespace {

std::wstring CurrentWineVersionName() {
    HKEY key = nullptr;
    std::wstring name = L"win7";
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return name;
    wchar_t text[32] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"CurrentVersion", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
        ERROR_SUCCESS) {
        const std::wstring v = text;
        name = v == L"6.2" ? L"win8" : v == L"6.3" ? L"win81" : v == L"10.0" ? L"win10" : L"win7";
    }
    RegCloseKey(key);
    return name;
}

bool RunWinecfg(const std::wstring& version) {
    return RunCaptured(testwin::SystemFolder() + L"\\winecfg.exe", L"-v " + version, 60000).code == 0;
}

} // namespace

bool WindowsVersionGuard::Switch(const std::wstring& version) {
    if (m_original.empty())
        m_original = CurrentWineVersionName();
    return RunWinecfg(version);
}

WindowsVersionGuard::~WindowsVersionGuard() {
    if (!m_original.empty())
        RunWinecfg(m_original);
}

} // namespace apptest
