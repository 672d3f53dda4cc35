// winbio-sim.exe: drives the simulated biometric service of this Wine prefix (sensors, touches,
// the pool of enrolments, failures, unplugging). Every command edits the shared state; each
// process that has loaded the simulated winbio.dll acts on it within 100 ms.
#include "sim/SimStore.h"

#include "base/Win32Handle.h"
#include "biometric/WinBioErrors.h"

#include <sddl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr char kHelp[] =
    "winbio-sim: controls the simulated biometric service (winbio.dll) of this Wine prefix.\n"
    "\n"
    "usage: winbio-sim COMMAND [ARGUMENTS]\n"
    "\n"
    "  reset                      one default sensor (USB\\VID_2F1B&PID_0106\\...), empty pool, no\n"
    "                             queued touches, 8 samples per enrolment, auto off, no failures\n"
    "  units [UNIT...]            replaces the sensors; no argument: no sensor at all. A UNIT is\n"
    "                             DEVICE-INSTANCE-ID[|DESCRIPTION|MANUFACTURER|MODEL|SERIAL|MAJOR.MINOR];\n"
    "                             unit ids are 1, 2, ... in the order given\n"
    "  samples N                  good samples an enrolment needs (N-1 report more data, the Nth\n"
    "                             completes it)\n"
    "  touch [--wait MS] FINGER   a good sample of FINGER (any token, e.g. finger-a). Like a real\n"
    "                             sensor, it reaches only a request that waits at this moment: the\n"
    "                             oldest capture, identification or unfocused enrolment start of\n"
    "                             the process whose window has the focus (the foreground window).\n"
    "                             With none, the touch is lost: said on stderr, exit status 1.\n"
    "                             --wait MS: waits up to MS milliseconds for such a request first\n"
    "  bad [--wait MS] [DETAIL]   the same with an unusable sample and its reject detail (default 1)\n"
    "  auto on|off                on: a request of the focused process still waiting after about\n"
    "                             0.5 s completes with a finger of the simulator's own (the same one\n"
    "                             through an enrolment, a new one for each identification)\n"
    "  cancel-delay MS             the completion of a cancelled request (WinBioCancel, or a session\n"
    "                             closed under it) comes MS milliseconds late; 0 (the default after\n"
    "                             reset): at the next poll. For tests of a late cancel\n"
    "  enroll USER-OR-SID SUB-FACTOR FINGER\n"
    "                             adds a template to the pool as a commit would (a SID S-1-..., an\n"
    "                             account name, or . for the current account; SUB-FACTOR 1..10 or\n"
    "                             0xF5..0xFE); refused for a finger enrolled already (0x8009802B)\n"
    "                             or a sub-factor the identity has (0x8009801C)\n"
    "  list                       the pool, one enrolment a line: IDENTITY SUB-FACTOR FINGER\n"
    "  fail FUNCTION HRESULT [COUNT]\n"
    "                             the next COUNT (default 1; 'always' for every) calls of FUNCTION\n"
    "                             (e.g. WinBioEnrollCommit or EnrollCommit) return HRESULT;\n"
    "                             CaptureResult / IdentifyResult: the next COUNT captures or\n"
    "                             identifications complete with HRESULT when a touch arrives\n"
    "  fail clear                 drops every failure injection\n"
    "  remove [--order notice-first|completion-first]\n"
    "                             unplugs the sensor: no units are enumerated, outstanding requests\n"
    "                             complete with 0x8007048F, and the windows registered with\n"
    "                             RegisterDeviceNotificationW for GUID_DEVINTERFACE_USB_DEVICE (or\n"
    "                             for all interface classes) get WM_DEVICECHANGE /\n"
    "                             DBT_DEVICEREMOVECOMPLETE. notice-first (default): the notice is\n"
    "                             sent before the requests complete; completion-first: the requests\n"
    "                             complete and the notice follows 0.7 s later\n"
    "  plug                       plugs it back in (DBT_DEVICEARRIVAL)\n"
    "  state                      prints the raw state\n"
    "  --help                     this text\n"
    "\n"
    "The state lives in C:\\ProgramData\\NorvikWinBioSim\\state.txt of the prefix (the environment\n"
    "variable NV_WINBIO_SIM_STATE names another file) and survives restarts.\n"
    "Exit status: 0 done, 1 refused or failed, 2 bad usage.\n"
    "\n"
    "Focus under Wine: a process gets samples only while one of its windows is the foreground\n"
    "window. A test gives its window the focus with ShowWindow(SW_SHOW) and SetForegroundWindow\n"
    "from its own process (Wine lets a process take the foreground for its own window), or clicks\n"
    "it (guidriver click); a console program without a window gets no samples, and its\n"
    "WinBioEnrollBegin blocks as the real service's does.\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "winbio-sim: %s (winbio-sim --help)\n", problem);
    return 2;
}

bool ParseNumber(const std::string& text, std::uint32_t& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || parsed > 0xFFFFFFFFull)
        return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

// A SID text, an account name or "." as the SID text the pool stores.
std::string ResolveIdentity(const std::string& who) {
    if (who == ".")
        return sim::CurrentUserSid();
    if (who.rfind("S-", 0) == 0 || who.rfind("s-", 0) == 0) {
        PSID sid = nullptr;
        if (!ConvertStringSidToSidW(sim::Widen(who).c_str(), &sid))
            return {};
        const nvwin::LocalMemory owned(sid);
        return sim::SidText(sid);
    }
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (!LookupAccountNameW(nullptr, sim::Widen(who).c_str(), sid, &sidSize, domain, &domainSize, &use))
        return {};
    return sim::SidText(sid);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

bool Change(const std::function<bool(sim::State&)>& change) {
    if (sim::Transact(change))
        return true;
    std::fprintf(stderr, "winbio-sim: the state in %s could not be updated\n",
                 sim::Narrow(sim::StatePath()).c_str());
    return false;
}

// Sends the sample to the oldest waiting request of the focused process, trying for up to
// `wait` ms; a touch that finds none is lost.
int Touch(const sim::Sample& sample, std::uint32_t wait) {
    const DWORD start = GetTickCount();
    for (;;) {
        bool delivered = false;
        if (!Change([&](sim::State& s) {
                // What ended processes left waiting can no longer be touched.
                const bool forgot = sim::ForgetEndedProcesses(s);
                const DWORD focused = sim::ForegroundProcess();
                delivered = focused != 0 && sim::Deliver(s, focused, sample);
                return delivered || forgot;
            }) &&
            !delivered)
            return 1;
        if (delivered)
            return 0;
        if (GetTickCount() - start >= wait) {
            std::fprintf(stderr,
                         "winbio-sim: the touch was lost: no request of the focused process waits for one\n");
            return 1;
        }
        Sleep(20);
    }
}

int Run(const std::vector<std::string>& a) {
    const std::string& command = a[0];
    const std::size_t n = a.size() - 1;
    if (command == "--help" || command == "-h" || command == "help" || command == "/?") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (command == "reset" && n == 0)
        return Change([](sim::State& s) {
            sim::State fresh = sim::DefaultState();
            // The counters only grow: processes recognise new events by them.
            fresh.deviceEvents = s.deviceEvents + (s.removed ? 1 : 0);
            fresh.autoFingers = s.autoFingers;
            // Requests that wait and enrolments begun belong to running processes, not to the
            // settings reset here.
            fresh.pending = s.pending;
            fresh.enrolling = s.enrolling;
            s = fresh;
            return true;
        })
                   ? 0
                   : 1;
    if (command == "units") {
        std::vector<sim::Unit> units;
        for (std::size_t i = 1; i <= n; ++i) {
            const std::vector<std::string> f = Split(a[i], '|');
            sim::Unit unit;
            unit.id = static_cast<std::uint32_t>(i);
            unit.deviceInstanceId = f[0];
            if (f.size() > 1)
                unit.description = f[1];
            if (f.size() > 2)
                unit.manufacturer = f[2];
            if (f.size() > 3)
                unit.model = f[3];
            if (f.size() > 4)
                unit.serial = f[4];
            if (f.size() > 5) {
                const std::vector<std::string> v = Split(f[5], '.');
                if (v.size() != 2 || !ParseNumber(v[0], unit.firmwareMajor) ||
                    !ParseNumber(v[1], unit.firmwareMinor))
                    return Usage("firmware version is MAJOR.MINOR");
            }
            if (f.size() > 6)
                return Usage("a unit has at most six |-separated fields");
            units.push_back(unit);
        }
        return Change([&](sim::State& s) {
            s.units = units;
            return true;
        })
                   ? 0
                   : 1;
    }
    if (command == "samples" && n == 1) {
        std::uint32_t count = 0;
        if (!ParseNumber(a[1], count) || count == 0)
            return Usage("samples needs a number of at least 1");
        return Change([&](sim::State& s) {
            s.samplesPerEnrollment = count;
            return true;
        })
                   ? 0
                   : 1;
    }
    if (command == "touch" || command == "bad") {
        std::vector<std::string> rest(a.begin() + 1, a.end());
        std::uint32_t wait = 0;
        if (rest.size() >= 2 && rest[0] == "--wait") {
            if (!ParseNumber(rest[1], wait))
                return Usage("--wait takes milliseconds");
            rest.erase(rest.begin(), rest.begin() + 2);
        }
        sim::Sample sample;
        if (command == "touch") {
            if (rest.size() != 1 || rest[0].empty())
                return Usage("touch takes one FINGER");
            sample.finger = rest[0];
        } else {
            sample.good = false;
            sample.rejectDetail = winbio::kRejectTooHigh;
            if (rest.size() > 1 || (rest.size() == 1 && !ParseNumber(rest[0], sample.rejectDetail)))
                return Usage("bad takes a numeric reject detail");
        }
        return Touch(sample, wait);
    }
    if (command == "cancel-delay" && n == 1) {
        std::uint32_t delay = 0;
        if (!ParseNumber(a[1], delay))
            return Usage("cancel-delay takes milliseconds");
        return Change([&](sim::State& s) {
            s.cancelDelayMs = delay;
            return true;
        })
                   ? 0
                   : 1;
    }
    if (command == "auto" && n == 1 && (a[1] == "on" || a[1] == "off"))
        return Change([&](sim::State& s) {
            s.autoMode = a[1] == "on";
            return true;
        })
                   ? 0
                   : 1;
    if (command == "enroll" && n == 3) {
        const std::string identity = ResolveIdentity(a[1]);
        if (identity.empty()) {
            std::fprintf(stderr, "winbio-sim: no account or SID '%s'\n", a[1].c_str());
            return 1;
        }
        std::uint32_t subFactor = 0;
        if (!ParseNumber(a[2], subFactor) || !sim::IsValidSubFactor(subFactor))
            return Usage("sub-factor is 1..10 or 0xF5..0xFE");
        std::int32_t result = 0;
        if (!Change([&](sim::State& s) {
                result = sim::Commit(s, identity, static_cast<std::uint8_t>(subFactor), a[3]);
                return result == 0;
            }))
            return 1;
        if (result != 0) {
            std::fprintf(stderr, "winbio-sim: refused with 0x%08X\n", static_cast<unsigned>(result));
            return 1;
        }
        return 0;
    }
    if (command == "list" && n == 0) {
        sim::State s;
        if (!sim::Load(s))
            return 1;
        for (const sim::Enrollment& e : s.pool)
            std::printf("%s 0x%02X %s\n", e.identity.c_str(), e.subFactor, e.finger.c_str());
        return 0;
    }
    if (command == "fail" && n == 1 && a[1] == "clear")
        return Change([](sim::State& s) {
            s.failures.clear();
            return true;
        })
                   ? 0
                   : 1;
    if (command == "fail" && (n == 2 || n == 3)) {
        const auto result = sim::ParseHresult(a[2]);
        if (!result)
            return Usage("HRESULT is 0x... or a decimal number");
        std::int32_t count = 1;
        if (n == 3) {
            std::uint32_t parsed = 0;
            if (a[3] == "always")
                count = -1;
            else if (ParseNumber(a[3], parsed) && parsed > 0 && parsed < 0x7FFFFFFF)
                count = static_cast<std::int32_t>(parsed);
            else
                return Usage("COUNT is a positive number or 'always'");
        }
        static const char* const known[] = {"EnumBiometricUnits", "OpenSession",
                                            "CloseSession",       "Cancel",
                                            "EnrollBegin",        "EnrollCaptureWithCallback",
                                            "EnrollCommit",       "IdentifyWithCallback",
                                            "EnumEnrollments",    "DeleteTemplate",
                                            "CaptureResult",      "IdentifyResult"};
        bool isKnown = false;
        for (const char* name : known)
            isKnown = isKnown || sim::CanonicalFunctionName(name) == sim::CanonicalFunctionName(a[1]);
        if (!isKnown)
            return Usage("unknown function (WinBioFree cannot be made to fail)");
        return Change([&](sim::State& s) {
            s.failures.push_back({a[1], *result, count});
            return true;
        })
                   ? 0
                   : 1;
    }
    const bool ordered = command == "remove" && n == 2 && a[1] == "--order" &&
                         (a[2] == "notice-first" || a[2] == "completion-first");
    if ((command == "remove" || command == "plug") && (n == 0 || ordered)) {
        const bool removed = command == "remove";
        return Change([&](sim::State& s) {
            if (s.removed == removed)
                return false; // already so: nothing to announce
            s.removed = removed;
            if (removed)
                s.completionFirst = ordered && a[2] == "completion-first";
            ++s.deviceEvents;
            return true;
        })
                   ? 0
                   : 1;
    }
    if (command == "state" && n == 0) {
        sim::State s;
        if (!sim::Load(s))
            return 1;
        std::fputs(sim::Serialize(s).c_str(), stdout);
        return 0;
    }
    return Usage("unknown command or wrong arguments");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs(kHelp, stdout);
        return 2;
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(sim::Narrow(argv[i]));
    const int result = Run(arguments);
    // A state or a list that did not reach the caller fails the command.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && result == 0)
        return 1;
    return result;
}
