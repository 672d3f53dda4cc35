// Shared helpers of the end-to-end tests of the program.
#include "tests/support/ProgramSession.h"

#include "tests/support/UiTestSupport.h"

#include <fstream>
#include <iterator>

namespace apptest {

namespace {

constexpr wchar_t kProgram[] = L"NorvikFingerprint.exe";
constexpr wchar_t kProductKey[] = L"SOFTWARE\\NORVIK\\Printkeep";
constexpr wchar_t kShowWelcome[] = L"ShowWelcome";
constexpr wchar_t kSharedFolder[] = L"C:\\ProgramData\\NorvikWbf";

std::wstring WindowText(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

std::wstring Hex(HWND hwnd) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

struct Found {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == found->pid && IsWindowVisible(hwnd))
        found->windows.push_back(hwnd);
    return TRUE;
}

} // namespace

std::wstring BinDir() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

ToolRun RunTool(const std::wstring& exe, const std::wstring& arguments, DWORD timeoutMs) {
    ToolRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    const std::wstring path =
        exe.find(L'\\') == std::wstring::npos && exe != L"winecfg.exe" ? BinDir() + exe : exe;
    std::wstring commandLine = L"\"" + path + L"\" " + arguments;
    PROCESS_INFORMATION info = {};
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, nullptr, &startup, &info);
    CloseHandle(writeEnd);
    if (started) {
        // Read while it runs, and stop when it has ended: a process it started (Wine's desktop,
        // on the first window of a session) may hold the pipe open for much longer.
        const DWORD start = GetTickCount();
        char buffer[4096];
        for (;;) {
            const bool ended = WaitForSingleObject(info.hProcess, 20) == WAIT_OBJECT_0;
            DWORD available = 0;
            while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                DWORD got = 0;
                if (!ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) || got == 0)
                    break;
                run.out.append(buffer, got);
            }
            if (ended || GetTickCount() - start > timeoutMs)
                break;
        }
        GetExitCodeProcess(info.hProcess, &run.exitCode);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(readEnd);
    return run;
}

DWORD Sim(const std::wstring& arguments) {
    return RunTool(L"winbio-sim.exe", arguments).exitCode;
}

ToolRun Driver(const std::wstring& arguments) {
    return RunTool(L"guidriver.exe", arguments);
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return done();
        Sleep(20);
    }
    return true;
}

//--- Program

Program::~Program() {
    Kill();
}

bool Program::Start() {
    if (m_info.hProcess != nullptr)
        return false;
    std::wstring commandLine = L"\"" + BinDir() + kProgram + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &m_info) != FALSE;
}

bool Program::Running() const {
    return m_info.hProcess != nullptr && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Program::WaitExit(DWORD timeoutMs) {
    if (m_info.hProcess == nullptr || WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

void Program::Kill() {
    if (m_info.hProcess == nullptr)
        return;
    if (Running()) {
        TerminateProcess(m_info.hProcess, 99);
        WaitForSingleObject(m_info.hProcess, 10000);
    }
    CloseHandle(m_info.hProcess);
    CloseHandle(m_info.hThread);
    m_info = {};
}

std::vector<HWND> Program::Windows() const {
    Found found{m_info.dwProcessId, {}};
    if (m_info.hProcess != nullptr)
        EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

HWND Program::MainWindow() const {
    for (HWND w : Windows())
        if (GetDlgItem(w, 1232) != nullptr)
            return w;
    return nullptr;
}

HWND Program::MessageBox() const {
    for (HWND w : Windows())
        if (GetDlgItem(w, 1169) != nullptr && GetDlgItem(w, 1171) != nullptr)
            return w;
    return nullptr;
}

HWND Program::EnrollDialog() const {
    for (HWND w : Windows())
        if (GetDlgItem(w, 1228) != nullptr)
            return w;
    return nullptr;
}

HWND Program::Overlay() const {
    for (HWND w : Windows())
        if (WindowText(w) == L"Norvik Fingerprint Black")
            return w;
    return nullptr;
}

HWND Program::WaitMainWindow(DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = MainWindow()) != nullptr; }, timeoutMs);
    return found;
}

HWND Program::WaitMessageBox(DWORD timeoutMs) const {
    HWND found = nullptr;
    // A box is there once it has its text; a moment later it is drawn.
    WaitFor([&] { return (found = MessageBox()) != nullptr && !ControlText(found, 1170).empty(); },
            timeoutMs);
    if (found)
        Sleep(150);
    return found;
}

HWND Program::WaitEnrollDialog(DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = EnrollDialog()) != nullptr; }, timeoutMs);
    return found;
}

HWND Program::WaitReady(DWORD timeoutMs) const {
    HWND main = nullptr;
    WaitFor(
        [&] {
            main = MainWindow();
            return main != nullptr && ControlText(main, 1207) != L"--/10" && MessageBox() == nullptr &&
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
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        ControlInfo info;
        info.id = GetDlgCtrlID(child);
        GetWindowRect(child, &info.rc);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&info.rc), 2);
        info.visible = IsWindowVisible(child) != FALSE;
        info.text = WindowText(child);
        list.push_back(info);
    }
    return list;
}

std::wstring ControlText(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    return control ? WindowText(control) : std::wstring();
}

RECT ControlRect(HWND window, int id) {
    RECT rc = {};
    if (HWND control = GetDlgItem(window, id)) {
        GetWindowRect(control, &rc);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rc), 2);
    }
    return rc;
}

bool ControlVisible(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    return control != nullptr && IsWindowVisible(control);
}

SIZE ClientSize(HWND window) {
    RECT rc = {};
    GetClientRect(window, &rc);
    return {rc.right, rc.bottom};
}

COLORREF Pixel(HWND window, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    return nvtest::ScreenPixel(p.x, p.y);
}

//--- Input through guidriver

bool Click(HWND window, int id) {
    return Driver(L"click --hwnd " + Hex(window) + L" --id " + std::to_wstring(id)).exitCode == 0;
}

void MouseAway() {
    Driver(L"move-screen 2 1020");
    Sleep(100);
}

bool Key(HWND window, const std::wstring& key) {
    return Driver(L"key --hwnd " + Hex(window) + L" " + key).exitCode == 0;
}

long long SendRegistered(HWND window, const std::wstring& name) {
    const ToolRun run = Driver(L"send --hwnd " + Hex(window) + L" --message " + name);
    if (run.exitCode != 0)
        return -1;
    return std::strtoll(run.out.c_str(), nullptr, 0);
}

bool BroadcastRegistered(const std::wstring& name) {
    return Driver(L"broadcast --message " + name).exitCode == 0;
}

std::wstring Screenshot(HWND window, const std::wstring& name) {
    RECT rc = {};
    GetWindowRect(window, &rc);
    return nvtest::SaveScreenPng(rc, name);
}

std::wstring BoxText(HWND box) {
    return ControlText(box, 1170);
}

std::wstring BoxTitle(HWND box) {
    return ControlText(box, 1223);
}

bool ClickBoxOk(HWND box) {
    return Click(box, 1171);
}

std::wstring UserName() {
    wchar_t name[256] = {};
    DWORD size = 256;
    GetUserNameW(name, &size);
    return name;
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

//--- Shared files

std::wstring DatabasePath() {
    return std::wstring(kSharedFolder) + L"\\NVKDB.edb";
}

std::wstring HandOffPath() {
    return std::wstring(kSharedFolder) + L"\\pwcn.dat";
}

std::vector<char> ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FILETIME LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

SharedFilesGuard::SharedFilesGuard() {
    CreateDirectoryW(kSharedFolder, nullptr);
    for (const std::wstring& path : {DatabasePath(), HandOffPath()}) {
        Saved saved;
        saved.path = path;
        saved.existed = FileExists(path);
        if (saved.existed)
            saved.bytes = ReadFileBytes(path);
        m_saved.push_back(saved);
    }
}

SharedFilesGuard::~SharedFilesGuard() {
    for (const Saved& saved : m_saved) {
        SetFileAttributesW(saved.path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!saved.existed) {
            DeleteFileW(saved.path.c_str());
            continue;
        }
        std::ofstream out(saved.path.c_str(), std::ios::binary | std::ios::trunc);
        out.write(saved.bytes.data(), static_cast<std::streamsize>(saved.bytes.size()));
    }
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
    return RunTool(L"winecfg.exe", L"-v " + version, 60000).exitCode == 0;
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
