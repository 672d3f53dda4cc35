// pwcn's command line. The file is always ours (the first argument, so a fuzzed positional is a
// second FILE and refused); when the tool succeeds, the file must hold exactly the record its
// arguments describe, read back independently, and a well-formed one must decode to the texts.
#include "credentials/HandOffRecord.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/ToolArguments.h"
#include "tools/nvkdb/TextCodec.h"
#include "tools/pwcn/Pwcn.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>

namespace {

// The documented grammar: these options take a value, --no-mask none, anything else is FILE.
struct Expected {
    std::map<std::string, std::string> values;
    bool mask = true;
};

Expected Read(const std::vector<std::string>& args) {
    Expected e;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--user" || a == "--password" || a == "--size-field" || a == "--user-length" ||
            a == "--password-length" || a == "--truncate") {
            if (i + 1 < args.size())
                e.values[a] = args[++i];
        } else if (a == "--no-mask") {
            e.mask = false;
        }
    }
    return e;
}

std::uint32_t Number(const std::map<std::string, std::string>& values, const char* name,
                     std::uint32_t fallback) {
    const auto it = values.find(name);
    return it == values.end() ? fallback : static_cast<std::uint32_t>(std::stoull(it->second, nullptr, 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = nvfuzz::SplitArguments(data, size);
    const std::string path = nvfuzz::RunFolder() + "pwcn.dat";
    std::filesystem::remove(path);
    args.insert(args.begin(), path);

    std::ostringstream out;
    std::ostringstream err;
    const int code = pwcn::Run(args, out, err);
    NV_FUZZ_CHECK(code >= pwcn::kOk && code <= pwcn::kBadValue);
    if (code != pwcn::kOk) {
        NV_FUZZ_CHECK(err.str().rfind("pwcn: ", 0) == 0);
        NV_FUZZ_CHECK(!std::filesystem::exists(path));
        return 0;
    }

    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    const Expected e = Read(args);
    const auto user = nvtools::Utf8ToUtf16(e.values.at("--user"));
    const auto password = nvtools::Utf8ToUtf16(e.values.at("--password"));
    NV_FUZZ_CHECK(user && password);
    NV_FUZZ_CHECK(user->size() <= 64 && password->size() <= 64);

    unsigned char record[nvcred::kHandOffSize] = {};
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            record[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(nvcred::kHandOffSizeFieldOffset, Number(e.values, "--size-field", nvcred::kHandOffSize));
    put32(nvcred::kHandOffUserLengthOffset,
          Number(e.values, "--user-length", static_cast<std::uint32_t>(user->size() * 2)));
    put32(nvcred::kHandOffPasswordLengthOffset,
          Number(e.values, "--password-length", static_cast<std::uint32_t>(password->size() * 2)));
    for (std::size_t i = 0; i < user->size(); ++i) {
        record[nvcred::kHandOffUserOffset + 2 * i] = static_cast<unsigned char>((*user)[i]);
        record[nvcred::kHandOffUserOffset + 2 * i + 1] = static_cast<unsigned char>((*user)[i] >> 8);
    }
    for (std::size_t i = 0; i < password->size(); ++i) {
        record[nvcred::kHandOffPasswordOffset + 2 * i] = static_cast<unsigned char>((*password)[i]);
        record[nvcred::kHandOffPasswordOffset + 2 * i + 1] = static_cast<unsigned char>((*password)[i] >> 8);
    }
    if (e.mask)
        for (auto& b : record)
            b = static_cast<unsigned char>(b ^ nvcred::kHandOffMask);
    const std::size_t length = Number(e.values, "--truncate", nvcred::kHandOffSize);
    NV_FUZZ_CHECK(length <= nvcred::kHandOffSize);
    NV_FUZZ_CHECK(bytes.size() == length);
    NV_FUZZ_CHECK(std::equal(bytes.begin(), bytes.end(), record));
    NV_FUZZ_CHECK(out.str() == "wrote " + path + " (" + std::to_string(length) + " bytes)\n");

    // What the tool writes by default is what the program reads.
    if (e.values.size() == 2 && e.mask) {
        nvcred::HandOffCredentials decoded;
        const auto status = nvcred::DecodeHandOff(bytes.data(), bytes.size(), decoded);
        const bool fits = user->size() <= 16 && password->size() <= 16;
        NV_FUZZ_CHECK((status == nvcred::HandOffStatus::Ok) == fits);
        if (fits) {
            NV_FUZZ_CHECK(std::u16string(decoded.userName) == user->substr(0, user->find(u'\0')));
            NV_FUZZ_CHECK(std::u16string(decoded.password) == password->substr(0, password->find(u'\0')));
        }
    }
    return 0;
}
