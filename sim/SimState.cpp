// The simulated service's state: its text form and the pool's rules.
#include "sim/SimState.h"

#include "biometric/WinBioErrors.h"

#include <algorithm>
#include <charconv>
#include <cctype>

namespace sim {

namespace {

constexpr std::string_view kHeader = "winbio-sim 2";

std::vector<std::string_view> Split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = line.find(separator, start);
        fields.push_back(
            line.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return fields;
        start = at + 1;
    }
}

template <typename T> bool Number(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Fields are tab-separated and lines end at newlines; neither may appear inside a value.
std::string Clean(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return out;
}

bool ParseLine(const std::vector<std::string_view>& f, State& s) {
    const std::string_view key = f[0];
    if (key == "samples" && f.size() == 2)
        return Number(f[1], s.samplesPerEnrollment);
    if ((key == "auto" || key == "removed") && f.size() == 2 && (f[1] == "0" || f[1] == "1")) {
        (key == "auto" ? s.autoMode : s.removed) = f[1] == "1";
        return true;
    }
    if (key == "events" && f.size() == 2)
        return Number(f[1], s.deviceEvents);
    if (key == "autofingers" && f.size() == 2)
        return Number(f[1], s.autoFingers);
    if (key == "unit" && f.size() == 9) {
        Unit u;
        u.deviceInstanceId = f[2];
        u.description = f[3];
        u.manufacturer = f[4];
        u.model = f[5];
        u.serial = f[6];
        if (!Number(f[1], u.id) || !Number(f[7], u.firmwareMajor) || !Number(f[8], u.firmwareMinor))
            return false;
        s.units.push_back(std::move(u));
        return true;
    }
    if (key == "enrol" && f.size() == 4) {
        unsigned subFactor = 0;
        if (!Number(f[2], subFactor) || subFactor > 0xFF)
            return false;
        s.pool.push_back({std::string(f[1]), static_cast<std::uint8_t>(subFactor), std::string(f[3])});
        return true;
    }
    if (key == "canceldelay" && f.size() == 2)
        return Number(f[1], s.cancelDelayMs);
    if (key == "enrolling" && f.size() == 3) {
        OpenEnrollment e;
        return Number(f[1], e.process) && Number(f[2], e.session) && (s.enrolling.push_back(e), true);
    }
    if (key == "removal" && f.size() == 2 && (f[1] == "notice-first" || f[1] == "completion-first")) {
        s.completionFirst = f[1] == "completion-first";
        return true;
    }
    if (key == "pending" && f.size() == 4 && !f[3].empty()) {
        Pending p;
        p.kind = f[3];
        return Number(f[1], p.process) && Number(f[2], p.request) && (s.pending.push_back(p), true);
    }
    if (key == "sample" && f.size() == 5 && (f[1] == "good" || f[1] == "bad")) {
        Sample sample;
        sample.good = f[1] == "good";
        if (!Number(f[2], sample.process) || !Number(f[3], sample.request))
            return false;
        if (sample.good)
            sample.finger = f[4];
        else if (!Number(f[4], sample.rejectDetail))
            return false;
        s.samples.push_back(sample);
        return true;
    }
    if (key == "fail" && f.size() == 4) {
        Failure failure;
        failure.function = f[1];
        // A count of zero would fail no call, but a used-up injection is one that is gone: kept,
        // it would fail every call, as a negative count does.
        return Number(f[2], failure.result) && Number(f[3], failure.count) && failure.count != 0 &&
               (s.failures.push_back(failure), true);
    }
    return false;
}

} // namespace

State DefaultState() {
    State state;
    Unit unit;
    unit.id = 1;
    unit.deviceInstanceId = kDefaultDeviceInstanceId;
    state.units.push_back(unit);
    return state;
}

std::string Serialize(const State& s) {
    std::string out(kHeader);
    out += '\n';
    const auto line = [&out](std::initializer_list<std::string> fields) {
        bool first = true;
        for (const std::string& field : fields) {
            if (!first)
                out += '\t';
            out += Clean(field);
            first = false;
        }
        out += '\n';
    };
    line({"samples", std::to_string(s.samplesPerEnrollment)});
    line({"auto", s.autoMode ? "1" : "0"});
    line({"removed", s.removed ? "1" : "0"});
    line({"events", std::to_string(s.deviceEvents)});
    line({"autofingers", std::to_string(s.autoFingers)});
    line({"removal", s.completionFirst ? "completion-first" : "notice-first"});
    if (s.cancelDelayMs != 0)
        line({"canceldelay", std::to_string(s.cancelDelayMs)});
    for (const Unit& u : s.units)
        line({"unit", std::to_string(u.id), u.deviceInstanceId, u.description, u.manufacturer, u.model,
              u.serial, std::to_string(u.firmwareMajor), std::to_string(u.firmwareMinor)});
    for (const Enrollment& e : s.pool)
        line({"enrol", e.identity, std::to_string(e.subFactor), e.finger});
    for (const Pending& p : s.pending)
        line({"pending", std::to_string(p.process), std::to_string(p.request), p.kind});
    for (const Sample& sample : s.samples)
        line({"sample", sample.good ? "good" : "bad", std::to_string(sample.process),
              std::to_string(sample.request),
              sample.good ? sample.finger : std::to_string(sample.rejectDetail)});
    for (const Failure& f : s.failures)
        line({"fail", f.function, std::to_string(f.result), std::to_string(f.count)});
    for (const OpenEnrollment& e : s.enrolling)
        line({"enrolling", std::to_string(e.process), std::to_string(e.session)});
    return out;
}

bool Parse(std::string_view text, State& state) {
    std::vector<std::string_view> lines = Split(text, '\n');
    if (lines.empty())
        return false;
    const auto trim = [](std::string_view l) {
        return !l.empty() && l.back() == '\r' ? l.substr(0, l.size() - 1) : l;
    };
    if (trim(lines[0]) != kHeader)
        return false;
    State parsed;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view l = trim(lines[i]);
        if (l.empty())
            continue;
        if (!ParseLine(Split(l, '\t'), parsed))
            return false;
    }
    state = std::move(parsed);
    return true;
}

bool IsValidSubFactor(std::uint32_t s) {
    return (s >= 0x01 && s <= 0x0A) || (s >= 0xF5 && s <= 0xFE);
}

std::int32_t Commit(State& state, const std::string& identity, std::uint8_t subFactor,
                    const std::string& finger, bool* isNew) {
    if (isNew)
        *isNew = false;
    if (!IsValidSubFactor(subFactor))
        return winbio::kInvalidSubFactor;
    for (const Enrollment& e : state.pool) {
        if (e.finger != finger)
            continue;
        // The service matches the new template against the pool: the very template again is no
        // error, the same finger anywhere else is.
        return e.identity == identity && e.subFactor == subFactor ? winbio::kOk : winbio::kDuplicateTemplate;
    }
    for (const Enrollment& e : state.pool)
        if (e.identity == identity && e.subFactor == subFactor)
            return winbio::kDuplicateEnrollment;
    state.pool.push_back({identity, subFactor, finger});
    if (isNew)
        *isNew = true;
    return winbio::kOk;
}

std::optional<Pending> TouchTarget(const State& state, std::uint32_t process) {
    for (const Pending& p : state.pending) {
        if (p.process != process)
            continue;
        const bool served = std::any_of(state.samples.begin(), state.samples.end(), [&](const Sample& s) {
            return s.process == p.process && s.request == p.request;
        });
        if (!served)
            return p;
    }
    return std::nullopt;
}

bool Deliver(State& state, std::uint32_t process, Sample sample) {
    const auto target = TouchTarget(state, process);
    if (!target)
        return false;
    sample.process = target->process;
    sample.request = target->request;
    state.samples.push_back(std::move(sample));
    return true;
}

std::optional<Sample> TakeSample(State& state, std::uint32_t process, std::uint64_t request) {
    const auto it = std::find_if(state.samples.begin(), state.samples.end(), [&](const Sample& s) {
        return s.process == process && s.request == request;
    });
    if (it == state.samples.end())
        return std::nullopt;
    Sample sample = *it;
    state.samples.erase(it);
    return sample;
}

void Withdraw(State& state, std::uint32_t process, std::uint64_t request) {
    std::erase_if(state.pending,
                  [&](const Pending& p) { return p.process == process && p.request == request; });
    std::erase_if(state.samples,
                  [&](const Sample& s) { return s.process == process && s.request == request; });
}

bool EnrollmentOpenElsewhere(const State& state, std::uint32_t process, std::uint32_t session) {
    return std::any_of(state.enrolling.begin(), state.enrolling.end(),
                       [&](const OpenEnrollment& e) { return e.process != process || e.session != session; });
}

void EndEnrollment(State& state, std::uint32_t process, std::uint32_t session) {
    std::erase(state.enrolling, OpenEnrollment{process, session});
}

void ForgetProcess(State& state, std::uint32_t process) {
    std::erase_if(state.pending, [&](const Pending& p) { return p.process == process; });
    std::erase_if(state.enrolling, [&](const OpenEnrollment& e) { return e.process == process; });
    std::erase_if(state.samples, [&](const Sample& s) { return s.process == process; });
}

std::optional<Enrollment> Identify(const State& state, const std::string& finger) {
    for (const Enrollment& e : state.pool)
        if (e.finger == finger)
            return e;
    return std::nullopt;
}

std::vector<std::uint8_t> Enrollments(const State& state, const std::string& identity) {
    std::vector<std::uint8_t> subFactors;
    for (const Enrollment& e : state.pool)
        if (e.identity == identity)
            subFactors.push_back(e.subFactor);
    return subFactors;
}

std::int32_t Delete(State& state, const std::string& identity, std::uint8_t subFactor) {
    const auto it = std::find_if(state.pool.begin(), state.pool.end(), [&](const Enrollment& e) {
        return e.identity == identity && e.subFactor == subFactor;
    });
    if (it == state.pool.end())
        return winbio::kUnknownId;
    state.pool.erase(it);
    return winbio::kOk;
}

std::string CanonicalFunctionName(std::string_view name) {
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.rfind("winbio", 0) == 0)
        lower.erase(0, 6);
    return lower;
}

std::optional<std::int32_t> TakeFailure(State& state, std::string_view function) {
    const std::string wanted = CanonicalFunctionName(function);
    for (auto it = state.failures.begin(); it != state.failures.end(); ++it) {
        if (CanonicalFunctionName(it->function) != wanted)
            continue;
        const std::int32_t result = it->result;
        if (it->count > 0 && --it->count == 0)
            state.failures.erase(it);
        return result;
    }
    return std::nullopt;
}

std::string DeviceInterfaceName(std::string_view deviceInstanceId) {
    std::string name = "\\\\?\\";
    for (char c : deviceInstanceId)
        name += c == '\\' ? '#' : c;
    name += "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    return name;
}

std::optional<std::int32_t> ParseHresult(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint32_t value = 0;
        const auto [end, error] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
        if (error != std::errc() || end != text.data() + text.size())
            return std::nullopt;
        return static_cast<std::int32_t>(value);
    }
    std::int64_t value = 0;
    if (!Number(text, value) || value < INT32_MIN || value > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xFFFFFFFF));
}

} // namespace sim
