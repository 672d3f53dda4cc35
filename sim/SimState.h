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

// A touch waiting for the next capture or identification.
struct Sample {
    bool good = true;
    std::string finger;             // good samples
    std::uint32_t rejectDetail = 0; // bad ones
    bool operator==(const Sample&) const = default;
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
    std::vector<Unit> units;
    std::vector<Enrollment> pool;
    std::deque<Sample> samples;
    std::vector<Failure> failures;
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

// Adds the template: refuses a finger enrolled already for anyone (WINBIO_E_DUPLICATE_TEMPLATE)
// and an identity's sub-factor that is taken (WINBIO_E_DUPLICATE_ENROLLMENT).
std::int32_t Commit(State& state, const std::string& identity, std::uint8_t subFactor,
                    const std::string& finger);
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
