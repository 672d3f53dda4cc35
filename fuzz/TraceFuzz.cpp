// The trace formatter over the program's own formats. The formats are ours, the arguments are not
// (error codes, sizes, names from the system), and a format's flags, width and precision may be
// changed by anyone who edits a call: so each run takes one of the real formats, gives its
// conversions fuzzed flags, widths and precisions of the kinds printf allows for them, and fuzzed
// arguments of the types the program passes, and compares the line with the C library's output.
// A formatter that took the wrong argument, or the right one with the wrong size, differs from it.
#include "base/Trace.h"
#include "fuzz/FuzzCheck.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// One conversion of a real format: its flags the C library defines for it, and its letters.
struct Conversion {
    const char* flags;
    const char* letters; // length modifier and conversion, as the program writes them
};

constexpr Conversion kSigned = {"-+ 0", "d"};
constexpr Conversion kHex = {"-#0", "x"};
constexpr Conversion kUpperHex = {"-#0", "X"};
constexpr Conversion kUnsigned = {"-0", "u"};
constexpr Conversion kNarrowText = {"-", "hs"};

// The program's formats, cut at their conversions (the calls in app/, biometric/, config/,
// credentials/ and database/).
struct RealFormat {
    std::vector<const char*> literals; // one more than conversions
    std::vector<Conversion> conversions;
};

// NOLINTNEXTLINE(cert-err58-cpp): made before the first input; a failure there ends the run
const RealFormat kFormats[] = {
    {{"", "/10"}, {kSigned}},
    {{"VID_", ""}, {kUpperHex}},
    {{"(", ")(CheckAccount) Fail = ", ""}, {kSigned, kHex}},
    {{"(", ")(CheckAccount) Pass"}, {kSigned}},
    {{"(ERROR)(Factor2StrFingerName) UnDefine Factor: ", ""}, {kSigned}},
    {{"(EnrollCaptureCallback) Enter OperationStatus = 0x", " ====>\r\n"}, {kHex}},
    {{"(OnIdentifyMessage) Identify reject. Detail = 0x", ""}, {kHex}},
    {{"(WriteEncryptedFile) ", " failed, error ", ""}, {kNarrowText, kUnsigned}},
    {{"(WriteEncryptedFile) cutting the old tail failed, error ", ""}, {kUnsigned}},
    {{"(EnrollCommit) WinBioEnrollCommit Finger Exist\n"}, {}},
    {{"(GetShowWelcome) OpenReg Fail \n"}, {}},
};

// The conversion with fuzzed flags, width and precision; `ours` is what the trace reads, `c` what
// the C library reads (which spells a narrow string %s).
void Spell(const Conversion& conversion, nvfuzz::Input& in, std::string& ours, std::string& c) {
    std::string written = "%";
    const std::uint8_t flags = in.Byte();
    const std::string allowed = conversion.flags;
    for (std::size_t i = 0; i < allowed.size(); ++i)
        if (flags & (1u << i))
            written += allowed[i];
    const std::uint8_t width = in.Byte();
    if (width & 0x80)
        written += std::to_string(width & 0x7F);
    const std::uint8_t precision = in.Byte();
    if (precision & 0x80)
        written += "." + std::to_string(precision & 0x7F);
    const std::string letters = conversion.letters;
    ours += written + letters;
    c += written + (letters == "hs" ? "s" : letters);
}

std::string CFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<std::size_t>(length) + 1);
        static_cast<void>(std::vsnprintf(out.data(), out.size(), format, again));
        out.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nvfuzz::Input in(data, size);
    const RealFormat& format = kFormats[in.Byte() % std::size(kFormats)];
    std::string ours = format.literals[0];
    std::string c = format.literals[0];
    for (std::size_t i = 0; i < format.conversions.size(); ++i) {
        Spell(format.conversions[i], in, ours, c);
        ours += format.literals[i + 1];
        c += format.literals[i + 1];
    }
    // The arguments, of the types the calls pass: an int, a DWORD or HRESULT bit pattern, and for
    // %hs a step name (printable here, so that the C library's bytes are comparable units).
    const auto number = static_cast<std::int32_t>(in.U32());
    const std::uint32_t code = in.U32();
    std::string step(in.Byte() % 48, ' ');
    for (char& ch : step)
        ch = static_cast<char>(0x20 + in.Byte() % 0x5F);

    std::u16string line;
    std::string expected;
    const std::vector<Conversion>& kinds = format.conversions;
    if (kinds.empty()) {
        line = nvtrace::Format(ours.c_str());
        expected = CFormat(c.c_str());
    } else if (kinds.size() == 1 && kinds[0].letters == kSigned.letters) {
        line = nvtrace::Format(ours.c_str(), number);
        expected = CFormat(c.c_str(), number);
    } else if (kinds.size() == 1) {
        line = nvtrace::Format(ours.c_str(), code);
        expected = CFormat(c.c_str(), code);
    } else if (kinds[0].letters == kSigned.letters) {
        line = nvtrace::Format(ours.c_str(), number, code);
        expected = CFormat(c.c_str(), number, code);
    } else {
        line = nvtrace::Format(ours.c_str(), step.c_str(), code);
        expected = CFormat(c.c_str(), step.c_str(), code);
    }

    if (line != std::u16string(expected.begin(), expected.end()))
        std::fprintf(stderr, "format \"%s\": the C library gives \"%s\", %zu units from the trace\n",
                     c.c_str(), expected.c_str(), line.size());
    NV_FUZZ_CHECK(line.size() == expected.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        NV_FUZZ_CHECK(line[i] == static_cast<unsigned char>(expected[i]));
    return 0;
}
