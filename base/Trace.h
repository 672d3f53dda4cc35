// The program's diagnostic trace: printf-style lines formatted into UTF-16 and handed to a sink.
// With no sink installed (the normal case) a line is formatted and dropped.
#pragma once

#include <cstdarg>
#include <string>

namespace nvtrace {

// Receives one finished line; the pointer is valid only during the call.
using Sink = void (*)(const char16_t* line);

// Installs a sink (null drops every line) and returns the one it replaces. Safe to call while
// other threads trace.
Sink SetSink(Sink sink);

// Conversions: %d %i %u %x %X %o %c with flags, width, precision and the length modifiers h, l,
// ll, z; %s and %ls take a UTF-16 string (const char16_t*, on Windows equally const wchar_t*),
// %hs a narrow string; %% a percent sign. An unknown conversion is copied through as written.
std::u16string Format(const char* format, ...);
std::u16string FormatV(const char* format, va_list args);

// Formats a line and hands it to the sink.
void Trace(const char* format, ...);

} // namespace nvtrace
