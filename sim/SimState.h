// The simulated biometric service's machine-wide state: sensor units, the system pool of
// enrolments, queued samples, settings and failure injections. Kept as a small text file that
// every process of the prefix reads and writes under one named mutex; this part is the model,
// its text form and the pool's rules, without any Win32.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct Unit {
    std::uint32_t id = 0;
    std::string deviceInstanceId; // UTF-8, like every text of the state
    std::string description = "Norvik Fingerprint Sensor";
    std::string manufacturer = "Norvik";
    std::string model = "NV-FP1";
    std::string serial = "SIM-0001";
    std::uint32_t firmwareMajor = 1;
    std::uint32_t firmwareMinor = 0;
};

// One template of the pool: whose (SID text), at which sub-factor, of which finger.
struct Enrollment {
    std::string identity;
    std::uint8_t subFactor = 0;
    std::string finger;
    bool operator==(const Enrollment&) const = default;
};

// A request that waits for a touch right now: a capture, an identification, or an enrolment
// begun without window focus. The process that made it publishes it and takes it back.
struct Pending {
    std::uint32_t process = 0;
    std::uint64_t request = 0; // numbered by that process
    std::string kind;          // "capture", "identify" or "begin"
    bool operator==(const Pending&) const = default;
};

// A touch on its way to one pending request. A sensor captures only while a request waits, so a
// sample always has its request; it goes when the request goes.
struct Sample {
    bool good = true;
    std::string finger;             // good samples
    std::uint32_t rejectDetail = 0; // bad ones
    std::uint32_t process = 0;
    std::uint64_t request = 0;
    bool operator==(const Sample&) const = default;
};

// An enrolment begun and not yet committed or closed: the service runs one at a time, for every
// program of the machine.
struct OpenEnrollment {
    std::uint32_t process = 0;
    std::uint32_t session = 0;
    bool operator==(const OpenEnrollment&) const = default;
};

// The next `count` calls of `function` fail with `result` (count < 0: every call).
struct Failure {
    std::string function;
    std::int32_t result = 0;
    std::int32_t count = 1;
};

struct State {
    std::uint32_t samplesPerEnrollment = 8;
    bool autoMode = false;
    bool removed = false;
    std::uint32_t deviceEvents = 0; // counts remove/plug, so every process sees each one once
    std::uint32_t autoFingers = 0;  // numbers the fingers that auto mode makes up
    bool completionFirst = false;   // the last removal completes requests before its notice
    // How long the completion of a cancelled request is held back (a test's late cancel).
    std::uint32_t cancelDelayMs = 0;
    std::vector<Unit> units;
    std::vector<Enrollment> pool;
    std::vector<Pending> pending;
    std::deque<Sample> samples;
    std::vector<Failure> failures;
    std::vector<OpenEnrollment> enrolling;
};

// One unit with the vendor's ids, nothing enrolled, nothing queued.
State DefaultState();
constexpr std::string_view kDefaultDeviceInstanceId = "USB\\VID_2F1B&PID_0106\\5&2A7C3B1&0&3";

std::string Serialize(const State& state);
// False (state untouched) when the text is not a state of this version.
bool Parse(std::string_view text, State& state);

// Sub-factors the framework accepts: the ten named fingers and the ten Windows Hello slots.
bool IsValidSubFactor(std::uint32_t subFactor);

//--- The pool's rules, as the service applies them

// Adds the template. The same finger again for the same identity and sub-factor succeeds
// without adding anything (*isNew false); a finger enrolled already under another identity or
// sub-factor is refused (WINBIO_E_DUPLICATE_TEMPLATE), and so is a sub-factor the identity holds
// with another finger (WINBIO_E_DUPLICATE_ENROLLMENT).
std::int32_t Commit(State& state, const std::string& identity, std::uint8_t subFactor,
                    const std::string& finger, bool* isNew = nullptr);
//--- Touches: a touch reaches only a request that waits at that moment

// The oldest request of the process that has no sample on its way yet.
std::optional<Pending> TouchTarget(const State& state, std::uint32_t process);
// Sends the sample to that request; false, and nothing queued, when the process has none (the
// touch is lost).
bool Deliver(State& state, std::uint32_t process, Sample sample);
// The sample on its way to the request, taken out of the state.
std::optional<Sample> TakeSample(State& state, std::uint32_t process, std::uint64_t request);
// The request is over: its entry and any sample on its way to it go.
void Withdraw(State& state, std::uint32_t process, std::uint64_t request);
// Whether an enrolment other than this session's is open.
bool EnrollmentOpenElsewhere(const State& state, std::uint32_t process, std::uint32_t session);
// The session's enrolment is over (committed, or the session closed).
void EndEnrollment(State& state, std::uint32_t process, std::uint32_t session);

// Everything a process left pending or open (it ended without taking it back).
void ForgetProcess(State& state, std::uint32_t process);

// The enrolment a finger matches, of any identity.
std::optional<Enrollment> Identify(const State& state, const std::string& finger);
// The identity's sub-factors in pool order.
std::vector<std::uint8_t> Enrollments(const State& state, const std::string& identity);
// WINBIO_E_UNKNOWN_ID when there is no such template.
std::int32_t Delete(State& state, const std::string& identity, std::uint8_t subFactor);

// Consumes one injected failure of the function (case-insensitive, "WinBio" prefix optional).
std::optional<std::int32_t> TakeFailure(State& state, std::string_view function);
// "WinBioEnrollCommit", "EnrollCommit" and "enrollcommit" all name the same function.
std::string CanonicalFunctionName(std::string_view name);

// The name under which Windows announces the sensor's USB device interface:
// \\?\USB#VID_2F1B&PID_0106#5&2A7C3B1&0&3#{a5dcbf10-6530-11d2-901f-00c04fb951ed}
std::string DeviceInterfaceName(std::string_view deviceInstanceId);

// "0x80098003", "-2146861053" or "2148106243" as an HRESULT.
std::optional<std::int32_t> ParseHresult(std::string_view text);

} // namespace sim
