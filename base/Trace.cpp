// Trace formatting. The format strings are ASCII, the text arguments UTF-16; numbers are converted
// by the C library one conversion at a time, which keeps every flag and width exactly as printf
// has them.
#include "base/Trace.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace nvtrace {
namespace {

std::atomic<Sink> g_sink{nullptr};

void AppendNarrow(std::u16string& out, const char* text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i])));
}

void AppendPadded(std::u16string& out, const std::u16string& text, int width, bool leftAlign) {
    const std::size_t pad = width > 0 && static_cast<std::size_t>(width) > text.size()
                                ? static_cast<std::size_t>(width) - text.size()
                                : 0;
    if (!leftAlign)
        out.append(pad, u' ');
    out += text;
    if (leftAlign)
        out.append(pad, u' ');
}

// One integer conversion by the C library. Widths and precisions go up to 9999, so the digits get
// a buffer of the length the conversion needs rather than a fixed one that would cut them short.
template <typename Integer> void AppendConverted(std::u16string& out, const char* cFormat, Integer value) {
    const int needed = std::snprintf(nullptr, 0, cFormat, value);
    if (needed <= 0)
        return;
    std::string digits(static_cast<std::size_t>(needed) + 1, '\0');
    static_cast<void>(std::snprintf(digits.data(), digits.size(), cFormat, value));
    AppendNarrow(out, digits.data(), static_cast<std::size_t>(needed));
}

} // namespace

Sink SetSink(Sink sink) {
    return g_sink.exchange(sink);
}

std::u16string FormatV(const char* format, va_list args) {
    std::u16string out;
    if (format == nullptr)
        return out;
    const char* p = format;
    while (*p != '\0') {
        if (*p != '%') {
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p++)));
            continue;
        }
        const char* start = p++;
        if (*p == '%') {
            out.push_back(u'%');
            ++p;
            continue;
        }

        // Parse one conversion: flags, width, precision, length, conversion character.
        bool leftAlign = false;
        while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr)
            leftAlign |= (*p++ == '-');
        int width = 0;
        while (*p >= '0' && *p <= '9' && width < 10000)
            width = width * 10 + (*p++ - '0');
        int precision = -1;
        if (*p == '.') {
            ++p;
            precision = 0;
            while (*p >= '0' && *p <= '9' && precision < 10000)
                precision = precision * 10 + (*p++ - '0');
        }
        char length[3] = {};
        if (*p == 'h' || *p == 'l' || *p == 'z') {
            length[0] = *p++;
            if ((length[0] == 'l' || length[0] == 'h') && *p == length[0])
                length[1] = *p++;
        }
        const char conversion = *p;
        if (conversion == '\0' || width >= 10000 || precision >= 10000) {
            AppendNarrow(out, start, std::strlen(start));
            break;
        }
        ++p;

        // The conversion as written, for the C library, without its length modifier.
        char cFormat[32];
        const int flagsAndWidth = static_cast<int>((p - 1) - start) - static_cast<int>(std::strlen(length));
        const bool isInteger = std::strchr("diuxXo", conversion) != nullptr;
        if (isInteger && flagsAndWidth < 20) {
            // At most 19 + 2 + 1 characters and the terminator: it fits.
            static_cast<void>(
                std::snprintf(cFormat, sizeof cFormat, "%.*sll%c", flagsAndWidth, start, conversion));
            const bool isSigned = conversion == 'd' || conversion == 'i';
            const std::string_view len(length);
            if (isSigned) {
                long long value;
                // Where long has 64 bits, its branches read the same as long long's.
                // NOLINTBEGIN(bugprone-branch-clone)
                if (len == "ll")
                    value = va_arg(args, long long);
                else if (len == "l")
                    value = va_arg(args, long);
                else if (len == "z")
                    value = static_cast<long long>(va_arg(args, std::size_t));
                else
                    value = va_arg(args, int);
                if (len == "h")
                    value = static_cast<short>(value);
                else if (len == "hh")
                    // NOLINTNEXTLINE(bugprone-signed-char-misuse,cert-str34-c): the sign is printf's
                    value = static_cast<signed char>(value);
                AppendConverted(out, cFormat, value);
            } else {
                unsigned long long value;
                if (len == "ll")
                    value = va_arg(args, unsigned long long);
                else if (len == "l")
                    value = va_arg(args, unsigned long);
                else if (len == "z")
                    value = va_arg(args, std::size_t);
                else
                    value = va_arg(args, unsigned int);
                if (len == "h")
                    value = static_cast<unsigned short>(value);
                else if (len == "hh")
                    value = static_cast<unsigned char>(value);
                AppendConverted(out, cFormat, value);
                // NOLINTEND(bugprone-branch-clone)
            }
        } else if (conversion == 'c') {
            const char16_t unit = static_cast<char16_t>(va_arg(args, int));
            AppendPadded(out, std::u16string(1, unit), width, leftAlign);
        } else if (conversion == 's') {
            std::u16string text;
            if (length[0] == 'h') {
                const char* narrow = va_arg(args, const char*);
                if (narrow == nullptr)
                    narrow = "(null)";
                std::size_t n = 0;
                while (narrow[n] != '\0' && (precision < 0 || n < static_cast<std::size_t>(precision)))
                    ++n;
                AppendNarrow(text, narrow, n);
            } else {
                const char16_t* wide = static_cast<const char16_t*>(va_arg(args, const void*));
                if (wide == nullptr)
                    wide = u"(null)";
                for (std::size_t i = 0;
                     wide[i] != 0 && (precision < 0 || i < static_cast<std::size_t>(precision)); ++i)
                    text.push_back(wide[i]);
            }
            AppendPadded(out, text, width, leftAlign);
        } else {
            AppendNarrow(out, start, static_cast<std::size_t>(p - start));
        }
    }
    return out;
}

std::u16string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string line = FormatV(format, args);
    va_end(args);
    return line;
}

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::u16string line = FormatV(format, args);
    va_end(args);
    if (const Sink sink = g_sink.load())
        sink(line.c_str());
}

} // namespace nvtrace
