// nvkdb's commands. Files are whole encrypted images (Rijndael-256/256, codebook mode, the
// database key); edits read the file, change the named fields and write all of it back.
#include "tools/nvkdb/Nvkdb.h"

#include "database/Rijndael.h"
#include "base/SecureWipe.h"
#include "database/TemplateImage.h"
#include "tools/nvkdb/CommandFailure.h"
#include "tools/nvkdb/TextCodec.h"

#include <algorithm>
#include <iterator>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>

namespace nvkdb {

const char kUsageText[] =
    R"(usage: nvkdb COMMAND FILE [ARGUMENTS] [OPTIONS]

Creates, fills and inspects Norvik template database files (NVKDB.edb): 9,014,528 bytes,
Rijndael-256/256 in ECB mode. nvkdb does not take the "Norvik Fingerprint Database" mutex.

commands:
  create FILE [--force]
      write a database whose records are all free (an all-zero image); an existing FILE is
      kept unless --force is given
  account FILE RECORD --user NAME [--password TEXT] [--domain TEXT] [--sid S-1-...]
                      [--in-use N] [--password-length N]
      add or replace the account in RECORD (0..9): in-use flag (default 1), user name,
      password and its length in UTF-16 units (default: the password's), domain (default
      empty) and identity (a SID; without --sid the identity is zeroed). Texts hold at most
      32 UTF-16 units. The record's finger slots are kept.
  template FILE RECORD FINGER (--data-file PATH | --random LENGTH [--seed N])
                      [--stamp N] [--present N] [--update N]
      put a template of at most 40,960 bytes into finger slot FINGER (0..19) of RECORD;
      present and update flags default to 1, the stamp to 1
  clear FILE RECORD
      zero-fill all 901,440 bytes of RECORD
  dump FILE [--json] [--show-passwords]
      print the header summary, every record's fields and every used slot's flags, stamp and
      length, as text or JSON; passwords are shown only with --show-passwords

Numbers are decimal or 0x-prefixed hexadecimal. Texts are UTF-8 on the command line.
A file longer than 9,014,528 bytes and a multiple of 32 is read by its first 9,014,528 bytes
(an edit then writes 9,014,528 bytes).

exit codes:
  0  success
  1  usage: unknown command or option, missing argument
  2  bad value: index out of range, text over 32 units, malformed SID or number, template too long
  3  file error: a file could not be opened, read or written
  4  malformed database: the file's size is not that of a database
)";

namespace {

using nvtools::Failure;

//--- Arguments: positionals and --name value options; flags listed in `flags` take no value.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

Arguments Parse(const std::vector<std::string>& args, std::size_t from,
                const std::vector<std::string>& valued, const std::vector<std::string>& flags) {
    Arguments parsed;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0 || a == "--") {
            parsed.positional.push_back(a);
            continue;
        }
        const std::string name = a.substr(2);
        if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            parsed.options.insert_or_assign(name, std::string(1, '1'));
        } else if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
            if (i + 1 >= args.size())
                throw Failure{kUsage, "option " + a + " needs a value"};
            parsed.options[name] = args[++i];
        } else {
            throw Failure{kUsage, "unknown option " + a};
        }
    }
    return parsed;
}

std::uint64_t Number(const std::string& text, const std::string& what, std::uint64_t max) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        throw Failure{kBadValue, what + ": not a number: '" + text + "'"};
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(text, &used, 0);
    } catch (...) {
        throw Failure{kBadValue, what + ": not a number: '" + text + "'"};
    }
    if (used != text.size())
        throw Failure{kBadValue, what + ": not a number: '" + text + "'"};
    if (value > max)
        throw Failure{kBadValue, what + ": " + text + " is above " + std::to_string(max)};
    return value;
}

std::u16string Text(const std::string& utf8, const std::string& what) {
    const auto text = nvtools::Utf8ToUtf16(utf8);
    if (!text)
        throw Failure{kBadValue, what + ": not valid UTF-8"};
    if (text->size() > nvdb::kTextUnits)
        throw Failure{kBadValue,
                      what + ": " + std::to_string(text->size()) + " UTF-16 units, at most 32 fit"};
    if (text->find(u'\0') != std::u16string::npos)
        throw Failure{kBadValue, what + ": contains a zero unit"};
    return *text;
}

//--- SIDs: "S-1-5-21-..." and the binary form (revision, count, 48-bit authority big-endian,
// 32-bit sub-authorities little-endian).
std::vector<unsigned char> ParseSid(const std::string& text) {
    auto bad = [&text] { return Failure{kBadValue, "--sid: not a SID string: '" + text + "'"}; };
    if (text.size() < 4 || (text[0] != 'S' && text[0] != 's') || text[1] != '-' || text.back() == '-')
        throw bad();
    std::vector<std::string> parts;
    std::stringstream in(text.substr(2));
    for (std::string part; std::getline(in, part, '-');)
        parts.push_back(part);
    if (parts.size() < 2 || parts.size() > 2 + 15)
        throw bad();
    auto number = [&](const std::string& p, std::uint64_t max) {
        if (p.empty() || p.find_first_not_of("0123456789") != std::string::npos)
            throw bad();
        try {
            const unsigned long long v = std::stoull(p);
            if (v > max)
                throw bad();
            return static_cast<std::uint64_t>(v);
        } catch (const Failure&) {
            throw;
        } catch (...) {
            throw bad();
        }
    };
    if (number(parts[0], 255) != 1)
        throw bad();
    const std::uint64_t authority = number(parts[1], 0xFFFFFFFFFFFFull);
    std::vector<unsigned char> sid = {1, static_cast<unsigned char>(parts.size() - 2)};
    for (int shift = 40; shift >= 0; shift -= 8)
        sid.push_back(static_cast<unsigned char>(authority >> shift));
    for (std::size_t i = 2; i < parts.size(); ++i) {
        const auto sub = static_cast<std::uint32_t>(number(parts[i], 0xFFFFFFFFu));
        for (int k = 0; k < 4; ++k)
            sid.push_back(static_cast<unsigned char>(sub >> (8 * k)));
    }
    return sid;
}

// The SID of an identity as text, or empty when it is not a well-formed SID identity.
std::string SidText(const unsigned char* identity) {
    if (nvdb::ReadU32(identity) != nvdb::kIdentityTypeSid)
        return {};
    const std::uint32_t size = nvdb::ReadU32(identity + nvdb::kIdentitySidSizeOffset);
    const unsigned char* sid = identity + nvdb::kIdentitySidOffset;
    if (size < 8 || size > nvdb::kMaxSidSize || sid[0] != 1 || size != 8u + 4u * sid[1])
        return {};
    std::uint64_t authority = 0;
    for (int i = 2; i < 8; ++i)
        authority = authority << 8 | sid[i];
    std::string text = std::string("S-1-") + std::to_string(authority);
    for (const unsigned char* sub = sid + 8; sub != sid + 8 + 4 * std::size_t{sid[1]}; sub += 4) {
        text.push_back('-');
        text += std::to_string(nvdb::ReadU32(sub));
    }
    return text;
}

//--- Files
std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::ifstream in(nvtools::FilePath(path), std::ios::binary);
    if (!in)
        throw Failure{kFileError, path + ": cannot open for reading"};
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0)
        throw Failure{kFileError, path + ": cannot read"};
    if (size != static_cast<std::streamoff>(nvdb::kImageSize) &&
        (size < static_cast<std::streamoff>(nvdb::kImageSize) || size % nvdb::kCipherBlockSize != 0))
        throw Failure{kMalformed, path + ": not a template database: " + std::to_string(size) +
                                      " bytes, expected " + std::to_string(nvdb::kImageSize) +
                                      " (or a longer multiple of 32, of which the first " +
                                      std::to_string(nvdb::kImageSize) + " count)"};
    std::vector<unsigned char> bytes(nvdb::kImageSize);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        throw Failure{kFileError, path + ": read failed"};
    return bytes;
}

// The cipher with the database's key set.
struct DatabaseCipher : CRijndael {
    DatabaseCipher() { SetKey(nvdb::kDatabaseKey, nvdb::kCipherKeySize, nvdb::kCipherBlockSize); }
};

// The decrypted image, wiped when done with.
struct Image {
    std::vector<unsigned char> bytes;
    ~Image() { nvbase::SecureWipe(bytes.data(), bytes.size()); }
};

void Load(const std::string& path, Image& image) {
    image.bytes = ReadFileBytes(path);
    DatabaseCipher().DecipherBuffer(image.bytes.data(), image.bytes.data(), image.bytes.size());
}

void Store(const std::string& path, const Image& image) {
    std::vector<unsigned char> encrypted(image.bytes.size());
    DatabaseCipher().EncipherBuffer(image.bytes.data(), encrypted.data(), encrypted.size());
    std::ofstream out(nvtools::FilePath(path), std::ios::binary | std::ios::trunc);
    if (!out)
        throw Failure{kFileError, path + ": cannot open for writing"};
    out.write(reinterpret_cast<const char*>(encrypted.data()),
              static_cast<std::streamsize>(encrypted.size()));
    out.close();
    if (!out)
        throw Failure{kFileError, path + ": write failed"};
}

int RecordIndex(const std::string& text) {
    return static_cast<int>(Number(text, "RECORD", nvdb::kRecordCount - 1));
}

void Need(const Arguments& a, std::size_t count, const char* what) {
    if (a.positional.size() != count)
        throw Failure{kUsage, std::string("expected ") + what};
}

//--- Commands
int Create(const std::vector<std::string>& args, std::ostream& out) {
    const Arguments a = Parse(args, 1, {}, {"force"});
    Need(a, 1, "create FILE [--force]");
    const std::string& path = a.positional[0];
    if (!a.options.count("force") && std::ifstream(nvtools::FilePath(path), std::ios::binary))
        throw Failure{kFileError, path + ": exists already (use --force to overwrite it)"};
    Image image;
    image.bytes.assign(nvdb::kImageSize, 0);
    Store(path, image);
    out << "created " << path << "\n";
    return kOk;
}

int Account(const std::vector<std::string>& args, std::ostream& out) {
    const Arguments a =
        Parse(args, 1, {"user", "password", "domain", "sid", "in-use", "password-length"}, {});
    Need(a, 2, "account FILE RECORD --user NAME [options]");
    if (!a.options.count("user"))
        throw Failure{kUsage, "account needs --user NAME"};
    const int record = RecordIndex(a.positional[1]);
    const std::u16string user = Text(a.options.at("user"), "--user");
    const std::u16string password =
        Text(a.options.count("password") ? a.options.at("password") : "", "--password");
    const std::u16string domain = Text(a.options.count("domain") ? a.options.at("domain") : "", "--domain");
    const auto inUse = static_cast<std::uint32_t>(
        a.options.count("in-use") ? Number(a.options.at("in-use"), "--in-use", 0xFFFFFFFFu) : 1);
    const auto passwordLength = static_cast<std::uint32_t>(
        a.options.count("password-length")
            ? Number(a.options.at("password-length"), "--password-length", 0xFFFFFFFFu)
            : password.size());
    std::vector<unsigned char> sid;
    if (a.options.count("sid"))
        sid = ParseSid(a.options.at("sid"));

    Image image;
    Load(a.positional[0], image);
    unsigned char* r = nvdb::Record(image.bytes.data(), record);
    nvdb::WriteU32(r + nvdb::kInUseOffset, inUse);
    nvdb::WriteU32(r + nvdb::kPasswordLengthOffset, passwordLength);
    nvdb::WriteText(r + nvdb::kUserNameOffset, user.c_str(), user.size());
    nvdb::WriteText(r + nvdb::kPasswordOffset, password.c_str(), password.size());
    nvdb::WriteText(r + nvdb::kDomainOffset, domain.c_str(), domain.size());
    unsigned char* identity = r + nvdb::kIdentityOffset;
    std::fill(identity, identity + nvdb::kIdentitySize, static_cast<unsigned char>(0));
    if (!sid.empty()) {
        nvdb::WriteU32(identity, nvdb::kIdentityTypeSid);
        nvdb::WriteU32(identity + nvdb::kIdentitySidSizeOffset, static_cast<std::uint32_t>(sid.size()));
        std::copy(sid.begin(), sid.end(), identity + nvdb::kIdentitySidOffset);
    }
    Store(a.positional[0], image);
    out << "record " << record << ": account " << a.options.at("user") << "\n";
    return kOk;
}

int Template(const std::vector<std::string>& args, std::ostream& out) {
    const Arguments a = Parse(args, 1, {"data-file", "random", "seed", "stamp", "present", "update"}, {});
    Need(a, 3, "template FILE RECORD FINGER (--data-file PATH | --random LENGTH)");
    const int record = RecordIndex(a.positional[1]);
    const int finger = static_cast<int>(Number(a.positional[2], "FINGER", nvdb::kSlotCount - 1));
    if (a.options.count("data-file") == a.options.count("random"))
        throw Failure{kUsage, "template needs exactly one of --data-file PATH and --random LENGTH"};
    std::vector<unsigned char> data;
    if (a.options.count("data-file")) {
        const std::string& path = a.options.at("data-file");
        std::ifstream in(nvtools::FilePath(path), std::ios::binary);
        if (!in)
            throw Failure{kFileError, path + ": cannot open for reading"};
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (data.size() > nvdb::kSlotDataSize)
            throw Failure{kBadValue, path + ": " + std::to_string(data.size()) +
                                         " bytes, a template holds at most " +
                                         std::to_string(nvdb::kSlotDataSize)};
    } else {
        data.resize(Number(a.options.at("random"), "--random", nvdb::kSlotDataSize));
        std::mt19937 random(static_cast<std::uint32_t>(
            a.options.count("seed") ? Number(a.options.at("seed"), "--seed", 0xFFFFFFFFu) : 1));
        for (auto& b : data)
            b = static_cast<unsigned char>(random());
    }
    auto option = [&](const char* name, std::uint64_t fallback, std::uint64_t max) {
        return a.options.count(name) ? Number(a.options.at(name), std::string("--") + name, max) : fallback;
    };
    const std::uint64_t stamp = option("stamp", 1, ~0ull);
    const auto present = static_cast<std::uint32_t>(option("present", 1, 0xFFFFFFFFu));
    const auto update = static_cast<std::uint32_t>(option("update", 1, 0xFFFFFFFFu));

    Image image;
    Load(a.positional[0], image);
    unsigned char* slot = nvdb::Slot(nvdb::Record(image.bytes.data(), record), finger);
    nvdb::WriteU32(slot + nvdb::kSlotPresentOffset, present);
    nvdb::WriteU32(slot + nvdb::kSlotUpdateOffset, update);
    nvdb::WriteU64(slot + nvdb::kSlotStampOffset, stamp);
    nvdb::WriteU32(slot + nvdb::kSlotLengthOffset, static_cast<std::uint32_t>(data.size()));
    unsigned char* target = slot + nvdb::kSlotDataOffset;
    std::fill(target, target + nvdb::kSlotDataSize, static_cast<unsigned char>(0));
    std::copy(data.begin(), data.end(), target);
    Store(a.positional[0], image);
    out << "record " << record << " finger " << finger << ": template of " << data.size() << " bytes\n";
    return kOk;
}

int Clear(const std::vector<std::string>& args, std::ostream& out) {
    const Arguments a = Parse(args, 1, {}, {});
    Need(a, 2, "clear FILE RECORD");
    const int record = RecordIndex(a.positional[1]);
    Image image;
    Load(a.positional[0], image);
    nvdb::ClearAccount(image.bytes.data(), record);
    Store(a.positional[0], image);
    out << "record " << record << ": cleared\n";
    return kOk;
}

//--- Dump
// v as that many lower-case hexadecimal digits, the most significant first.
std::string HexDigits(std::uint64_t v, int digits) {
    std::string out(static_cast<std::size_t>(digits), '0');
    for (auto at = out.rbegin(); at != out.rend(); ++at, v >>= 4)
        *at = "0123456789abcdef"[v & 0xF];
    return out;
}

std::string FieldText(const unsigned char* field) {
    char16_t units[nvdb::kTextUnits + 1];
    nvdb::ReadText(field, units);
    std::string text = nvtools::Utf16ToUtf8(units);
    nvbase::SecureWipe(units, sizeof units);
    return text;
}

std::string Json(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            out += "\\u";
            out += HexDigits(c, 4);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Hex(const unsigned char* p, std::size_t n, const char* separator) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0)
            out += separator;
        out += HexDigits(p[i], 2);
    }
    return out;
}

std::size_t NonZero(const unsigned char* p, std::size_t n) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i)
        count += p[i] != 0;
    return count;
}

bool SlotUsed(const unsigned char* slot) {
    return nvdb::SlotWord0(slot) || nvdb::SlotPresentFlag(slot) || nvdb::SlotUpdateFlag(slot) ||
           nvdb::SlotStamp(slot) || nvdb::SlotTemplateLength(slot);
}

int Dump(const std::vector<std::string>& args, std::ostream& out) {
    const Arguments a = Parse(args, 1, {}, {"json", "show-passwords"});
    Need(a, 1, "dump FILE [--json] [--show-passwords]");
    const bool json = a.options.count("json") != 0, passwords = a.options.count("show-passwords") != 0;
    Image image;
    Load(a.positional[0], image);
    const unsigned char* bytes = image.bytes.data();
    const std::size_t headerNonZero = NonZero(bytes, nvdb::kHeaderSize);

    std::ostringstream text;
    if (json) {
        text << "{\n  \"file\": " << Json(a.positional[0]) << ",\n  \"size\": " << nvdb::kImageSize
             << ",\n  \"header\": {\"nonzero_bytes\": " << headerNonZero << ", \"first_bytes\": \""
             << Hex(bytes, 16, "") << "\"},\n  \"records\": [";
    } else {
        text << "file: " << a.positional[0] << "\nheader: " << nvdb::kHeaderSize << " bytes, "
             << headerNonZero << " nonzero, first 16: " << Hex(bytes, 16, " ") << "\n";
    }
    for (int r = 0; r < nvdb::kRecordCount; ++r) {
        const unsigned char* record = nvdb::Record(bytes, r);
        const std::size_t nonZero = NonZero(record, nvdb::kRecordSize);
        const std::uint32_t inUse = nvdb::InUseFlag(record);
        const unsigned char* identity = nvdb::IdentityField(record);
        const std::string sid = SidText(identity);
        const std::string password = passwords ? FieldText(nvdb::PasswordField(record)) : std::string();
        if (json) {
            text << (r ? "," : "") << "\n    {\"index\": " << r << ", \"in_use\": " << inUse
                 << ", \"nonzero_bytes\": " << nonZero
                 << ", \"user\": " << Json(FieldText(nvdb::UserNameField(record)))
                 << ", \"domain\": " << Json(FieldText(nvdb::DomainField(record)))
                 << ", \"password_length\": " << nvdb::PasswordLength(record)
                 << ", \"password\": " << (passwords ? Json(password) : "null")
                 << ", \"identity\": {\"type\": " << nvdb::ReadU32(identity)
                 << ", \"sid_size\": " << nvdb::ReadU32(identity + nvdb::kIdentitySidSizeOffset)
                 << ", \"sid\": " << Json(sid) << "},\n     \"slots\": [";
            for (int f = 0; f < nvdb::kSlotCount; ++f) {
                const unsigned char* slot = nvdb::Slot(record, f);
                text << (f ? ", " : "") << "{\"finger\": " << f << ", \"word0\": " << nvdb::SlotWord0(slot)
                     << ", \"present\": " << nvdb::SlotPresentFlag(slot)
                     << ", \"update\": " << nvdb::SlotUpdateFlag(slot)
                     << ", \"stamp\": " << nvdb::SlotStamp(slot)
                     << ", \"length\": " << nvdb::SlotTemplateLength(slot) << "}";
            }
            text << "]}";
        } else {
            text << "record " << r << ": ";
            if (inUse == 0) {
                text << "free"
                     << (nonZero == 0 ? " (all zero)"
                                      : std::string(" (") + std::to_string(nonZero) + " nonzero bytes)")
                     << "\n";
                if (nonZero == 0)
                    continue;
            } else {
                text << "in use (0x" << HexDigits(inUse, 8) << ")\n";
            }
            text << "  user: " << FieldText(nvdb::UserNameField(record)) << "\n"
                 << "  domain: " << FieldText(nvdb::DomainField(record)) << "\n"
                 << "  password length: " << nvdb::PasswordLength(record) << "\n"
                 << "  password: " << (passwords ? password : "(hidden)") << "\n"
                 << "  identity: type " << nvdb::ReadU32(identity) << ", sid size "
                 << nvdb::ReadU32(identity + nvdb::kIdentitySidSizeOffset)
                 << (sid.empty() ? std::string() : ", " + sid) << "\n";
            for (int f = 0; f < nvdb::kSlotCount; ++f) {
                const unsigned char* slot = nvdb::Slot(record, f);
                if (!SlotUsed(slot))
                    continue;
                text << "  slot " << f << ": present " << nvdb::SlotPresentFlag(slot) << ", update "
                     << nvdb::SlotUpdateFlag(slot) << ", stamp 0x" << HexDigits(nvdb::SlotStamp(slot), 16)
                     << ", length " << nvdb::SlotTemplateLength(slot) << "\n";
            }
        }
    }
    if (json)
        text << "\n  ]\n}\n";
    std::string result = text.str();
    out << result;
    nvbase::SecureWipe(result.data(), result.size());
    return kOk;
}

} // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsageText;
        return kUsage;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsageText;
        return kOk;
    }
    return nvtools::RunReportingFailure("nvkdb", kFileError, err, [&] {
        if (command == "create")
            return Create(args, out);
        if (command == "account")
            return Account(args, out);
        if (command == "template")
            return Template(args, out);
        if (command == "clear")
            return Clear(args, out);
        if (command == "dump")
            return Dump(args, out);
        err << "nvkdb: unknown command '" << command << "' (nvkdb --help lists them)\n";
        return static_cast<int>(kUsage);
    });
}

} // namespace nvkdb
