// The co-installer's trace line: "[MM/DD hh:mm:ss'mmm] message\r\n" in a fixed buffer, cut to fit.
// Portable so the wrapping and its cut can be tested under the sanitizers.
#pragma once

#include <cstddef>

namespace coinst {

// Both trace buffers (the formatted message and the finished line) hold this many UTF-16 units,
// the terminator included.
constexpr std::size_t kTraceBufferUnits = 1024;

// The local time fields the prefix shows, as GetLocalTime delivers them.
struct TraceTime {
    unsigned month;
    unsigned day;
    unsigned hour;
    unsigned minute;
    unsigned second;
    unsigned milliseconds;
};

// Writes "[%02d/%02d %02d:%02d:%02d'%03d] %s\r\n" of time and message into line. Whatever does not
// fit in capacity - 1 units is cut off (the line end first, then the message's tail); line is
// always terminated. message must be terminated. Returns the units written, terminator excluded.
std::size_t WrapTraceLine(const TraceTime& time, const char16_t* message, char16_t* line,
                          std::size_t capacity);

} // namespace coinst
