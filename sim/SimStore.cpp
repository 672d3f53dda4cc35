// The simulated service's state file and its mutex.
#include "sim/SimStore.h"

#include "base/Win32Handle.h"

#include <sddl.h>

#include <vector>

namespace sim {

namespace {

constexpr wchar_t kMutexName[] = L"NorvikWinBioSimState";

class MutexLock {
public:
    MutexLock() : m_mutex(CreateMutexW(nullptr, FALSE, kMutexName)) {
        if (m_mutex) {
            const DWORD wait = WaitForSingleObject(m_mutex.Get(), 10000);
            // An abandoned mutex still hands us ownership: a killed process must not lock everyone out.
            m_owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
        }
    }
    ~MutexLock() {
        if (m_owned)
            ReleaseMutex(m_mutex.Get());
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    bool owned() const { return m_owned; }

private:
    nvwin::Handle m_mutex;
    bool m_owned = false;
};

bool ReadAll(const std::wstring& path, std::string& text) {
    const nvwin::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > (1 << 24))
        return false;
    text.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    return text.empty() ||
           (ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr) &&
            read == text.size());
}

bool WriteAll(const std::wstring& path, const std::string& text) {
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos)
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    // Written beside and renamed over, so a reader never sees half a state.
    const std::wstring temporary = path + L".new";
    {
        const nvwin::FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        DWORD written = 0;
        if (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size())
            return false;
    }
    return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

} // namespace

std::wstring StatePath() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"NV_WINBIO_SIM_STATE", buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        return std::wstring(buffer, n);
    n = GetEnvironmentVariableW(L"ProgramData", buffer, MAX_PATH);
    const std::wstring root = n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : L"C:\\ProgramData";
    return root + L"\\NorvikWinBioSim\\state.txt";
}

bool Transact(const std::function<bool(State&)>& change) {
    MutexLock lock;
    if (!lock.owned())
        return false;
    const std::wstring path = StatePath();
    State state;
    std::string text;
    if (!ReadAll(path, text) || !Parse(text, state))
        state = DefaultState(); // first use in this prefix, or a state from elsewhere
    if (!change(state))
        return true;
    return WriteAll(path, Serialize(state));
}

bool Load(State& state) {
    return Transact([&state](State& current) {
        state = current;
        return false;
    });
}

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::string SidText(const void* sid) {
    PSID value = const_cast<void*>(sid);
    if (!IsValidSid(value))
        return {};
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(value, &text))
        return {};
    const nvwin::LocalMemory owned(text);
    return Narrow(text);
}

std::string CurrentUserSid() {
    nvwin::Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return {};
    DWORD needed = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), needed, &needed))
        return {};
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

bool ProcessRuns(std::uint32_t id) {
    const nvwin::Handle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    return process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

bool ForgetEndedProcesses(State& state) {
    std::vector<std::uint32_t> gone;
    for (const Pending& p : state.pending)
        if (!ProcessRuns(p.process))
            gone.push_back(p.process);
    for (const OpenEnrollment& e : state.enrolling)
        if (!ProcessRuns(e.process))
            gone.push_back(e.process);
    for (std::uint32_t process : gone)
        ForgetProcess(state, process);
    return !gone.empty();
}

DWORD ForegroundProcess() {
    DWORD process = 0;
    if (HWND window = GetForegroundWindow())
        GetWindowThreadProcessId(window, &process);
    return process;
}

} // namespace sim
