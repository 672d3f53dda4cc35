// pwcn's record: 272 bytes, size field, user-name and password byte counts and the two UTF-16LE
// texts in 128-byte fields, every byte XORed with the mask the program reads it with.
#include "tools/pwcn/Pwcn.h"

#include "credentials/HandOffRecord.h"
#include "base/SecureWipe.h"
#include "tools/nvkdb/CommandFailure.h"
#include "tools/nvkdb/TextCodec.h"

#include <fstream>
#include <optional>
#include <ostream>

namespace pwcn {

const char kUsageText[] =
    R"(usage: pwcn FILE --user NAME --password TEXT [OPTIONS]

Writes a Norvik password hand-off file (pwcn.dat, 272 bytes, masked) that tells the program to
store TEXT as the password of the account NAME. Texts are UTF-8 on the command line and are
stored as UTF-16LE; each field holds 128 bytes (64 units), of which the program reads at most
32 bytes (16 units).

options for malformed files:
  --size-field N        the record size field (default 272)
  --user-length N       the user name's length field in bytes (default: its real length)
  --password-length N   the password's length field in bytes (default: its real length)
  --truncate N          write only the first N bytes (N < 272)
  --no-mask             write the record unmasked

Numbers are decimal or 0x-prefixed hexadecimal.

exit codes:
  0  success
  1  usage: unknown option, missing argument
  2  bad value: malformed number or UTF-8, a text longer than its 128-byte field
  3  file error: FILE could not be written
)";

namespace {

using nvtools::Failure;

std::uint32_t Number(const std::string& text, const std::string& what) {
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        if (text.empty() || text[0] == '-' || text[0] == '+')
            throw 0;
        value = std::stoull(text, &used, 0);
    } catch (...) {
        throw Failure{kBadValue, what + ": not a number: '" + text + "'"};
    }
    if (used != text.size() || value > 0xFFFFFFFFull)
        throw Failure{kBadValue, what + ": not a 32-bit number: '" + text + "'"};
    return static_cast<std::uint32_t>(value);
}

std::u16string Text(const std::string& utf8, const std::string& what) {
    const auto text = nvtools::Utf8ToUtf16(utf8);
    if (!text)
        throw Failure{kBadValue, what + ": not valid UTF-8"};
    if (text->size() * 2 > nvcred::kHandOffTextFieldSize)
        throw Failure{kBadValue,
                      what + ": " + std::to_string(text->size()) + " UTF-16 units, the field holds 64"};
    return *text;
}

void Put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutText(unsigned char* p, const std::u16string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        p[2 * i] = static_cast<unsigned char>(text[i] & 0xFF);
        p[2 * i + 1] = static_cast<unsigned char>(text[i] >> 8);
    }
}

struct Record {
    unsigned char bytes[nvcred::kHandOffSize] = {};
    ~Record() { nvbase::SecureWipe(bytes, sizeof bytes); }
};

int Write(const std::vector<std::string>& args, std::ostream& out) {
    std::string path;
    std::optional<std::string> user, password;
    std::optional<std::uint32_t> sizeField, userLength, passwordLength, truncate;
    bool mask = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw Failure{kUsage, "option " + a + " needs a value"};
            return args[++i];
        };
        if (a == "--user")
            user = value();
        else if (a == "--password")
            password = value();
        else if (a == "--size-field")
            sizeField = Number(value(), a);
        else if (a == "--user-length")
            userLength = Number(value(), a);
        else if (a == "--password-length")
            passwordLength = Number(value(), a);
        else if (a == "--truncate")
            truncate = Number(value(), a);
        else if (a == "--no-mask")
            mask = false;
        else if (a.rfind("--", 0) == 0)
            throw Failure{kUsage, "unknown option " + a};
        else if (path.empty())
            path = a;
        else
            throw Failure{kUsage, "more than one FILE: '" + a + "'"};
    }
    if (path.empty() || !user || !password)
        throw Failure{kUsage, "expected FILE --user NAME --password TEXT"};
    if (truncate && *truncate >= nvcred::kHandOffSize)
        throw Failure{kBadValue,
                      std::string("--truncate: ") + std::to_string(*truncate) + " is not below 272"};
    const std::u16string userText = Text(*user, "--user");
    std::u16string passwordText = Text(*password, "--password");

    Record record;
    Put32(record.bytes + nvcred::kHandOffSizeFieldOffset, sizeField.value_or(nvcred::kHandOffSize));
    Put32(record.bytes + nvcred::kHandOffUserLengthOffset,
          userLength.value_or(static_cast<std::uint32_t>(userText.size() * 2)));
    Put32(record.bytes + nvcred::kHandOffPasswordLengthOffset,
          passwordLength.value_or(static_cast<std::uint32_t>(passwordText.size() * 2)));
    PutText(record.bytes + nvcred::kHandOffUserOffset, userText);
    PutText(record.bytes + nvcred::kHandOffPasswordOffset, passwordText);
    nvbase::SecureWipe(passwordText.data(), passwordText.size() * sizeof(char16_t));
    if (mask)
        for (auto& b : record.bytes)
            b = static_cast<unsigned char>(b ^ nvcred::kHandOffMask);

    const std::size_t length = truncate.value_or(nvcred::kHandOffSize);
    std::ofstream file(nvtools::FilePath(path), std::ios::binary | std::ios::trunc);
    if (!file)
        throw Failure{kFileError, path + ": cannot open for writing"};
    file.write(reinterpret_cast<const char*>(record.bytes), static_cast<std::streamsize>(length));
    file.close();
    if (!file)
        throw Failure{kFileError, path + ": write failed"};
    out << "wrote " << path << " (" << length << " bytes)\n";
    return kOk;
}

} // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsageText;
        return kUsage;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        out << kUsageText;
        return kOk;
    }
    return nvtools::RunReportingFailure("pwcn", kFileError, err, [&] { return Write(args, out); });
}

} // namespace pwcn
