// The main window's portable rules.
#include "app/MainWindowRules.h"

#include "base/Trace.h"

#include <algorithm>
#include <cstring>

namespace mainwnd {

std::u16string FingerCountText(int count) {
    return nvtrace::Format("%2d/10", count);
}

int CountEnrolledFingers(const FingerFlags& flags) {
    return static_cast<int>(std::count_if(flags.begin(), flags.end(), [](std::int32_t f) { return f != 0; }));
}

namespace {

std::uint32_t ReadU32(const unsigned char* at) {
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

char16_t AsciiUpper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

} // namespace

std::u16string BroadcastInterfaceName(const unsigned char* record) {
    if (record == nullptr)
        return {};
    const std::uint32_t size = ReadU32(record);
    // The type field is only there when the record says it is.
    if (size < kBroadcastHeaderSize || ReadU32(record + 4) != kDeviceTypeInterface)
        return {};
    if (size <= kBroadcastNameOffset)
        return {};
    // The sender's size bounds the name: a name without a terminator inside the record ends
    // with the record, and nothing past it is read.
    const std::size_t units = (size - kBroadcastNameOffset) / sizeof(char16_t);
    std::u16string name;
    for (std::size_t i = 0; i < units; ++i) {
        char16_t c = 0;
        std::memcpy(&c, record + kBroadcastNameOffset + i * sizeof(char16_t), sizeof c);
        if (c == 0)
            break;
        name.push_back(c);
    }
    return name;
}

bool InterfaceNameNamesSensor(std::u16string_view name, std::uint16_t vid, std::uint16_t pid) {
    if (name.size() <= 4 || vid == 0 || pid == 0)
        return false;
    std::u16string upper(name.substr(4));
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    const std::u16string vidText = nvtrace::Format("VID_%04X", static_cast<unsigned>(vid));
    const std::u16string pidText = nvtrace::Format("PID_%04X", static_cast<unsigned>(pid));
    return upper.find(vidText) != std::u16string::npos && upper.find(pidText) != std::u16string::npos;
}

bool IsSensorBroadcast(const unsigned char* record, std::uint16_t vid, std::uint16_t pid) {
    return InterfaceNameNamesSensor(BroadcastInterfaceName(record), vid, pid);
}

} // namespace mainwnd
