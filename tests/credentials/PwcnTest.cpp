// pwcn writes what the program reads: the bytes against a record laid out here and masked with
// 0xA7, the malformed variants, and a round trip through the decoder.
#include "tools/pwcn/Pwcn.h"

#include "credentials/HandOffRecord.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

std::filesystem::path Scratch(const std::string& name) {
    return testfile::ScratchPath("pwcn-test", name);
}

using testfile::ReadBytes;

int Pwcn(std::vector<std::string> args, std::string* err = nullptr) {
    std::ostringstream out, errors;
    const int code = pwcn::Run(args, out, errors);
    if (err)
        *err = errors.str();
    return code;
}

TEST(Pwcn, WritesTheMaskedRecord) {
    const auto path = Scratch("plain.dat");
    ASSERT_EQ(Pwcn({path.string(), "--user", "bob", "--password", "p\xc5\x82"}), 0); // "pł"
    const auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 272u);
    std::vector<unsigned char> expected(272, 0);
    expected[0] = 0x10; // 272 = 0x110
    expected[1] = 0x01;
    expected[8] = 6;
    expected[12] = 4;
    const unsigned char user[] = {'b', 0, 'o', 0, 'b', 0};
    std::copy(std::begin(user), std::end(user), expected.begin() + 16);
    const unsigned char password[] = {'p', 0, 0x42, 0x01};
    std::copy(std::begin(password), std::end(password), expected.begin() + 144);
    for (auto& b : expected)
        b ^= 0xA7;
    EXPECT_TRUE(bytes == expected);

    nvcred::HandOffCredentials decoded;
    ASSERT_EQ(nvcred::DecodeHandOff(bytes.data(), bytes.size(), decoded), nvcred::HandOffStatus::Ok);
    EXPECT_EQ(std::u16string(decoded.userName), u"bob");
    EXPECT_EQ(std::u16string(decoded.password), u"p\u0142");
    std::filesystem::remove(path);
}

TEST(Pwcn, MalformedVariantsDecodeAsTheyShould) {
    const auto path = Scratch("bad.dat");
    struct Row {
        std::vector<std::string> options;
        nvcred::HandOffStatus status;
        std::size_t size;
    };
    const Row rows[] = {
        {{"--size-field", "271"}, nvcred::HandOffStatus::WrongSize, 272},
        {{"--user-length", "33"}, nvcred::HandOffStatus::UserNameTooLong, 272},
        {{"--password-length", "0x21"}, nvcred::HandOffStatus::PasswordTooLong, 272},
        {{"--truncate", "271"}, nvcred::HandOffStatus::Short, 271},
        {{"--truncate", "0"}, nvcred::HandOffStatus::Short, 0},
        {{"--no-mask"}, nvcred::HandOffStatus::WrongSize, 272},
        {{"--user-length", "3"}, nvcred::HandOffStatus::Ok, 272},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {path.string(), "--user", "alice", "--password", "pw"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        ASSERT_EQ(Pwcn(args), 0) << row.options[0];
        const auto bytes = ReadBytes(path);
        EXPECT_EQ(bytes.size(), row.size) << row.options[0];
        nvcred::HandOffCredentials decoded;
        EXPECT_EQ(nvcred::DecodeHandOff(bytes.data(), bytes.size(), decoded), row.status) << row.options[0];
    }
    // The odd length: "a" and the low byte of "l".
    const auto bytes = ReadBytes(path);
    nvcred::HandOffCredentials decoded;
    ASSERT_EQ(nvcred::DecodeHandOff(bytes.data(), bytes.size(), decoded), nvcred::HandOffStatus::Ok);
    EXPECT_EQ(std::u16string(decoded.userName), u"al");
    std::filesystem::remove(path);
}

TEST(Pwcn, UsageAndBadValues) {
    const auto path = Scratch("usage.dat").string();
    std::string err;
    EXPECT_EQ(Pwcn({"--help"}), 0);
    EXPECT_EQ(Pwcn({}), pwcn::kUsage);
    EXPECT_EQ(Pwcn({path, "--user", "a"}, &err), pwcn::kUsage);
    EXPECT_EQ(err, "pwcn: expected FILE --user NAME --password TEXT\n");
    EXPECT_EQ(Pwcn({path, "--user", "a", "--password", "b", "--frob"}), pwcn::kUsage);
    EXPECT_EQ(Pwcn({path, "--user", "a", "--password"}), pwcn::kUsage);
    EXPECT_EQ(Pwcn({path, "--user", "a", "--password", "b", "--size-field", "x"}), pwcn::kBadValue);
    EXPECT_EQ(Pwcn({path, "--user", "a", "--password", "b", "--size-field", "0x100000000"}), pwcn::kBadValue);
    EXPECT_EQ(Pwcn({path, "--user", "a", "--password", "b", "--truncate", "272"}), pwcn::kBadValue);
    EXPECT_EQ(Pwcn({path, "--user", std::string(65, 'u'), "--password", "b"}, &err), pwcn::kBadValue);
    EXPECT_NE(err.find("the field holds 64"), std::string::npos);
    EXPECT_EQ(Pwcn({path, "--user", "\xc3", "--password", "b"}), pwcn::kBadValue);
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing written on a refusal";
    EXPECT_EQ(Pwcn({(Scratch("no-such-folder") / "x.dat").string(), "--user", "a", "--password", "b"}),
              pwcn::kFileError);
    // 64 units fit the field (the program reads 16 of them).
    EXPECT_EQ(Pwcn({path, "--user", std::string(64, 'u'), "--password", "b"}), 0);
    std::filesystem::remove(path);
}

} // namespace
