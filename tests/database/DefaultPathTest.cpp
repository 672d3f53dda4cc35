// The real location, C:\ProgramData\NorvikWbf of the prefix, through the default constructor.
// These tests run alone (RUN_SERIAL) and put back whatever was there before.
#include "credentials/StoredCredentials.h"
#include "database/TemplateDatabase.h"

#include "tests/support/DatabaseTestSupport.h"
#include "tests/support/Text.h"

#include <gtest/gtest.h>

namespace {

using namespace dbtest;
using testtext::Narrow;

const std::wstring kDatabase = testwin::SharedDatabasePath();
const std::wstring kHandOff = testwin::SharedHandOffPath();

// Starts without the two files and brings back the ones that were there.
class RealFolder : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileW(kDatabase.c_str());
        DeleteFileW(kHandOff.c_str());
    }

private:
    testwin::SharedFilesGuard m_files;
};

TEST_F(RealFolder, SaveLoadAndHandOffAtTheRealPath) {
    auto image = PatternImage(31);
    for (int r = 0; r < 10; ++r)
        Put32(image, At(r, 4), 0);
    PutAccount(image, 3, L"frank", L"before");
    CTemplateDatabase database;
    ASSERT_EQ(database.SaveDatabase(image.data()), 1);
    EXPECT_TRUE(Decrypt(ReadRaw(kDatabase)) == image);

    std::vector<unsigned char> handOff(272, 0);
    Put32(handOff, 0, 272);
    Put32(handOff, 8, 10);
    Put32(handOff, 12, 10);
    PutText(handOff, 16, L"frank");
    PutText(handOff, 144, L"after");
    for (auto& b : handOff)
        b ^= 0xA7;
    ASSERT_TRUE(WriteRaw(kHandOff, handOff));
    EXPECT_EQ(CStoredCredentials(database).ApplyPasswordFile(), 1);
    EXPECT_FALSE(Exists(kHandOff));

    std::vector<unsigned char> loaded(kImage);
    ASSERT_EQ(database.LoadDatabase(loaded.data()), 1);
    EXPECT_EQ(GetText(loaded, At(3, 80)), L"after");
    EXPECT_EQ(Get32(loaded, At(3, 12)), 5u);
}

// A mutex that cannot be opened (here another kind of object holds its name) keeps every pass
// out, rather than let it work without the lock; once the name is free again, the same object
// opens it and works.
TEST_F(RealFolder, WithoutTheMutexNothingIsReadOrWritten) {
    const auto before = PatternImage(31);
    ASSERT_EQ(CTemplateDatabase().SaveDatabase(before.data()), 1);
    const auto stored = ReadRaw(kDatabase);
    for (const wchar_t* name : {L"Norvik Fingerprint Database", L"Global\\Norvik Fingerprint Database"}) {
        const std::string what = Narrow(name);
        HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, name);
        ASSERT_NE(squatter, nullptr) << what;
        {
            CTemplateDatabase blocked;
            EXPECT_EQ(blocked.LockDatabase(), 0) << what;
            const auto image = PatternImage(32);
            EXPECT_EQ(blocked.SaveDatabase(image.data()), 0) << what;
            std::vector<unsigned char> loaded(kImage);
            EXPECT_EQ(blocked.LoadDatabase(loaded.data()), 0) << what;
            EXPECT_TRUE(ReadRaw(kDatabase) == stored) << what;
            CloseHandle(squatter);
            EXPECT_EQ(blocked.LoadDatabase(loaded.data()), 1) << what;
            EXPECT_TRUE(loaded == before) << what;
        }
    }
}

} // namespace
