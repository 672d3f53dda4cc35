// Which expanded paths the co-installer may start a program from.
#include "coinstaller/StartPath.h"
#include "tests/support/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(StartPath, OnlyADriveOrUncRootWithNothingLeftToExpand) {
    const struct {
        const char16_t* path;
        bool absolute;
    } rows[] = {
        {u"C:\\Program Files\\NorvikFP\\NVDUninst.exe", true},
        {u"z:\\p\\NVDService.exe", true},
        {u"\\\\server\\share\\NorvikFP\\NVDService.exe", true},
        {u"\\\\server\\share", true},
        // ProgramFiles undefined: the variable stays, and the path hangs off the current folder.
        {u"%ProgramFiles%\\NorvikFP\\NVDService.exe", false},
        {u"C:\\%Vendor%\\NorvikFP\\NVDService.exe", false},
        {u"Program Files\\NorvikFP\\NVDService.exe", false},
        {u"C:Program Files\\NorvikFP\\NVDService.exe", false}, // the current folder of drive C
        {u"\\Program Files\\NorvikFP\\NVDService.exe", false}, // the root of the current drive
        {u"1:\\NorvikFP\\NVDService.exe", false},
        {u"\\\\server", false},
        {u"\\\\server\\", false},
        {u"\\\\\\share\\NVDService.exe", false},
        {u"", false},
        {nullptr, false},
    };
    for (const auto& row : rows) {
        const std::u16string shown = row.path ? row.path : u"(null)";
        SCOPED_TRACE(testtext::Narrow(shown));
        EXPECT_EQ(coinst::IsAbsoluteStartPath(row.path), row.absolute);
    }
}

} // namespace
