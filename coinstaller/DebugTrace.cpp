// One trace line: the message, then the local time stamp around it, to OutputDebugStringW.
#include "coinstaller/DebugTrace.h"

#include <cstdio>
#include <cwchar>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the trace line is UTF-16 on Windows");

void FormatTraceMessage(wchar_t (&message)[coinst::kTraceBufferUnits], const wchar_t* format, va_list args) {
    // _TRUNCATE keeps as much of an over-long message as fits (the call then returns -1) instead
    // of failing the whole line; the last unit stays a terminator whatever the CRT did.
    static_cast<void>(_vsnwprintf_s(message, coinst::kTraceBufferUnits, _TRUNCATE, format, args));
    message[coinst::kTraceBufferUnits - 1] = L'\0';
}

void DebugTrace(const wchar_t* format, ...) {
    wchar_t message[coinst::kTraceBufferUnits] = {};
    va_list args;
    va_start(args, format);
    FormatTraceMessage(message, format, args);
    va_end(args);

    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const coinst::TraceTime time = {now.wMonth,  now.wDay,    now.wHour,
                                    now.wMinute, now.wSecond, now.wMilliseconds};
    wchar_t line[coinst::kTraceBufferUnits] = {};
    coinst::WrapTraceLine(time, reinterpret_cast<const char16_t*>(message), reinterpret_cast<char16_t*>(line),
                          coinst::kTraceBufferUnits);
    OutputDebugStringW(line);
}
