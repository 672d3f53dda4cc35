// The handle owner's contract where a mistake closes a handle twice: resetting to the value held.
#include "base/Win32Handle.h"

#include <gtest/gtest.h>

namespace {

// An event is a kernel object whose life the test can watch: SetEvent fails on a closed handle.
TEST(UniqueResourceTest, ResetWithTheValueHeldKeepsItOpenAndClosesItOnce) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    HANDLE duplicate = nullptr;
    {
        nvwin::Handle owner(event);
        EXPECT_TRUE(owner.Reset(event));
        EXPECT_EQ(owner.Get(), event);
        EXPECT_TRUE(SetEvent(event)) << "Reset closed the handle it was given back, error " << GetLastError();
        // Kept open past the owner, so that the object itself outlives the handle under test.
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &duplicate, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS));
    }
    // The owner's end closed the one handle it held, once.
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(event, &flags));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(duplicate));
}

} // namespace
