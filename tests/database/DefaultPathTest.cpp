// The real location, C:\ProgramData\NorvikWbf of the prefix, through the default constructor.
// These tests run alone (RUN_SERIAL) and put back whatever was there before.
#include "credentials/StoredCredentials.h"
#include "database/TemplateDatabase.h"

#include "tests/support/DatabaseTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace dbtest;

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

// When the mutex cannot be had (here: another kind of object holds its name), the object works
// on without it.
TEST_F(RealFolder, WithoutTheMutexFileAccessGoesOn) {
    HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, L"Norvik Fingerprint Database");
    ASSERT_NE(squatter, nullptr);
    {
        CTemplateDatabase database;
        EXPECT_EQ(database.m_hMutex.Get(), nullptr);
        database.LockDatabase();
        database.UnlockDatabase();
        const auto image = PatternImage(32);
        EXPECT_EQ(database.SaveDatabase(image.data()), 1);
        std::vector<unsigned char> loaded(kImage);
        EXPECT_EQ(database.LoadDatabase(loaded.data()), 1);
        EXPECT_TRUE(loaded == image);
    }
    CloseHandle(squatter);
    CTemplateDatabase database;
    EXPECT_NE(database.m_hMutex.Get(), nullptr);
}

} // namespace
