// The co-installer's diagnostic trace, written to the system debugger output.
#pragma once

#include <windows.h>

#include <cstdarg>

#include "coinstaller/TraceLine.h"

// Formats a message printf-style (the CRT's wide conventions: %s takes a wide string) into a
// buffer of kTraceBufferUnits units, cut to fit, and always terminated.
void FormatTraceMessage(wchar_t (&message)[coinst::kTraceBufferUnits], const wchar_t* format, va_list args);

// Writes one time-stamped trace line with OutputDebugStringW.
void DebugTrace(const wchar_t* format, ...);
