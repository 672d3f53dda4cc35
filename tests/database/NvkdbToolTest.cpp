// nvkdb's commands on files it did not make itself or was given wrong: clear messages and the
// documented exit codes, never a crash; and what each editing command changes.
#include "database/Rijndael.h"
#include "database/TemplateImage.h"
#include "tests/support/NvkdbTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::filesystem::path Scratch(const std::string& name) {
    return testfile::ScratchPath("nvkdb-tool", name);
}

using namespace nvkdbtest;

std::vector<unsigned char> Decrypted(const std::filesystem::path& path) {
    auto bytes = ReadBytes(path);
    bytes.resize(nvdb::kImageSize);
    CRijndael cipher;
    cipher.SetKey(nvdb::kDatabaseKey, 32, 32);
    cipher.DecipherBuffer(bytes.data(), bytes.data(), bytes.size());
    return bytes;
}

class NvkdbTool : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = Scratch(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_EQ(Nvkdb({"create", m_path.string(), "--force"}).code, 0);
    }
    void TearDown() override { std::filesystem::remove(m_path); }
    std::string Path() const { return m_path.string(); }
    std::filesystem::path m_path;
};

TEST_F(NvkdbTool, HelpAndUsage) {
    const Result help = Nvkdb({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("usage: nvkdb COMMAND FILE"), std::string::npos);
    EXPECT_NE(help.out.find("exit codes:"), std::string::npos);
    EXPECT_EQ(Nvkdb({}).code, nvkdb::kUsage);
    EXPECT_EQ(Nvkdb({"frob"}).code, nvkdb::kUsage);
    EXPECT_EQ(Nvkdb({"dump"}).code, nvkdb::kUsage);
    EXPECT_EQ(Nvkdb({"dump", Path(), "--frob"}).code, nvkdb::kUsage);
    EXPECT_EQ(Nvkdb({"account", Path(), "1"}).code, nvkdb::kUsage) << "no --user";
    EXPECT_EQ(Nvkdb({"account", Path(), "1", "--user"}).code, nvkdb::kUsage) << "no value";
    EXPECT_EQ(Nvkdb({"template", Path(), "1", "2"}).code, nvkdb::kUsage) << "no data";
    const Result r = Nvkdb({"clear", Path()});
    EXPECT_EQ(r.code, nvkdb::kUsage);
    EXPECT_EQ(r.err, "nvkdb: expected clear FILE RECORD\n");
}

TEST_F(NvkdbTool, MalformedFilesGetAClearMessage) {
    const auto bad = Scratch("bad.edb");
    for (std::size_t size : {std::size_t{0}, std::size_t{100}, nvdb::kImageSize - 32, nvdb::kImageSize + 1}) {
        WriteBytes(bad, std::vector<unsigned char>(size, 0x33));
        for (const char* command : {"dump", "clear"}) {
            std::vector<std::string> args = {command, bad.string()};
            if (std::string(command) == "clear")
                args.push_back("0");
            const Result r = Nvkdb(args);
            EXPECT_EQ(r.code, nvkdb::kMalformed) << size;
            EXPECT_NE(r.err.find("not a template database: " + std::to_string(size) + " bytes"),
                      std::string::npos)
                << r.err;
        }
        EXPECT_EQ(ReadBytes(bad).size(), size) << "a malformed file is not touched";
    }
    // One block more is read by its image; garbage decrypts to something, and is dumped calmly.
    WriteBytes(bad, std::vector<unsigned char>(nvdb::kImageSize + 32, 0x33));
    EXPECT_EQ(Nvkdb({"dump", bad.string(), "--json", "--show-passwords"}).code, 0);
    EXPECT_EQ(Nvkdb({"dump", bad.string()}).code, 0);
    const Result missing = Nvkdb({"dump", Scratch("missing.edb").string()});
    EXPECT_EQ(missing.code, nvkdb::kFileError);
    EXPECT_NE(missing.err.find("cannot open for reading"), std::string::npos);
    std::filesystem::remove(bad);
}

TEST_F(NvkdbTool, BadValuesAreRefusedAndTheFileIsUnchanged) {
    const auto before = ReadBytes(m_path);
    const std::string longName(33, 'n');
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"account", Path(), "10", "--user", "a"},
             {"account", Path(), "-1", "--user", "a"},
             {"account", Path(), "x", "--user", "a"},
             {"account", Path(), "1", "--user", longName},
             {"account", Path(), "1", "--user", "a", "--password", longName},
             {"account", Path(), "1", "--user", "a", "--sid", "S-1-5-"},
             {"account", Path(), "1", "--user", "a", "--sid", "S-2-5-18"},
             {"account", Path(), "1", "--user", "a", "--sid", "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"},
             {"account", Path(), "1", "--user", "\xff\xfe"},
             {"template", Path(), "1", "20", "--random", "10"},
             {"template", Path(), "1", "0", "--random", "40961"},
             {"template", Path(), "1", "0", "--random", "10", "--stamp", "0x1g"},
             {"clear", Path(), "99"},
         }) {
        const Result r = Nvkdb(args);
        EXPECT_EQ(r.code, nvkdb::kBadValue) << args[2] << " " << r.err;
        EXPECT_EQ(r.err.rfind("nvkdb: ", 0), 0u) << r.err;
    }
    EXPECT_TRUE(ReadBytes(m_path) == before);
}

TEST_F(NvkdbTool, AccountSetsItsFieldsAndKeepsTheSlots) {
    ASSERT_EQ(Nvkdb({"template", Path(), "2", "4", "--random", "64", "--seed", "9"}).code, 0);
    ASSERT_EQ(Nvkdb({"account", Path(), "2", "--user", "Jörg", "--password", "pw", "--in-use", "7",
                     "--password-length", "40"})
                  .code,
              0);
    const auto image = Decrypted(m_path);
    const unsigned char* record = nvdb::Record(image.data(), 2);
    EXPECT_EQ(nvdb::InUseFlag(record), 7u);
    EXPECT_EQ(nvdb::PasswordLength(record), 40u);
    char16_t text[33];
    nvdb::ReadText(nvdb::UserNameField(record), text);
    EXPECT_EQ(std::u16string(text), u"J\u00f6rg");
    EXPECT_EQ(nvdb::SlotTemplateLength(nvdb::Slot(record, 4)), 64u);
    EXPECT_EQ(nvdb::ReadU32(nvdb::IdentityField(record)), 0u) << "no --sid: no identity";

    const Result dump = Nvkdb({"dump", Path()});
    EXPECT_NE(dump.out.find("  user: J\xc3\xb6rg\n"), std::string::npos);
    EXPECT_NE(dump.out.find("  password: (hidden)\n"), std::string::npos);
    EXPECT_NE(dump.out.find("  slot 4: present 1, update 1, stamp 0x0000000000000001, length 64\n"),
              std::string::npos);
}

TEST_F(NvkdbTool, TemplateFillsTheSlotAndZeroesBehindIt) {
    ASSERT_EQ(
        Nvkdb({"template", Path(), "0", "0", "--random", "40960", "--present", "0", "--update", "0"}).code,
        0);
    ASSERT_EQ(Nvkdb({"template", Path(), "0", "0", "--random", "10", "--seed", "3"}).code, 0);
    const auto image = Decrypted(m_path);
    const unsigned char* slot = nvdb::Slot(nvdb::Record(image.data(), 0), 0);
    EXPECT_EQ(nvdb::SlotTemplateLength(slot), 10u);
    EXPECT_EQ(nvdb::SlotPresentFlag(slot), 1u);
    const unsigned char* data = nvdb::SlotData(slot);
    EXPECT_TRUE(std::all_of(data + 10, data + nvdb::kSlotDataSize, [](unsigned char b) { return b == 0; }));
    EXPECT_FALSE(std::all_of(data, data + 10, [](unsigned char b) { return b == 0; }));
}

TEST_F(NvkdbTool, JsonDumpListsEveryRecordAndSlot) {
    ASSERT_EQ(Nvkdb({"account", Path(), "1", "--user", "q\"uote\\", "--password", "s"}).code, 0);
    const Result r = Nvkdb({"dump", Path(), "--json", "--show-passwords"});
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("\"user\": \"q\\\"uote\\\\\""), std::string::npos);
    EXPECT_NE(r.out.find("\"password\": \"s\""), std::string::npos);
    std::size_t records = 0, slots = 0;
    for (std::size_t at = 0; (at = r.out.find("\"index\": ", at)) != std::string::npos; ++at)
        ++records;
    for (std::size_t at = 0; (at = r.out.find("\"finger\": ", at)) != std::string::npos; ++at)
        ++slots;
    EXPECT_EQ(records, 10u);
    EXPECT_EQ(slots, 200u);
}

} // namespace
