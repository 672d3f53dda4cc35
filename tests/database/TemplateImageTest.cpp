// The template image layout and its edits, against images whose bytes the tests put at offsets
// they spell out themselves (tests/support/ImageBytes.h), not at the product's.
#include "database/TemplateImage.h"

#include "tests/support/ImageBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using nvdb::kImageSize;

using testimage::At;
using testimage::AtSlot;
using testimage::Put32;
using testimage::PutText;

// An account's in-use word and user name only.
void PutUser(std::vector<unsigned char>& image, int record, std::uint32_t inUse, const std::u16string& user) {
    Put32(image, At(record, 4), inUse);
    PutText(image, At(record, 16), user);
}

std::vector<unsigned char> Blank() {
    return std::vector<unsigned char>(9014528, 0);
}

TEST(TemplateImageLayout, ConstantsAreTheFileFormat) {
    EXPECT_EQ(nvdb::kImageSize, 9014528u);
    EXPECT_EQ(nvdb::kHeaderSize, 128u);
    EXPECT_EQ(nvdb::kRecordSize, 901440u);
    EXPECT_EQ(nvdb::kSlotSize, 45056u);
    EXPECT_EQ(nvdb::RecordOffset(0), 128u);
    EXPECT_EQ(nvdb::RecordOffset(9), 128u + 9 * 901440u);
    EXPECT_EQ(nvdb::SlotOffset(0, 0), 128u + 320u);
    EXPECT_EQ(nvdb::SlotOffset(4, 13), 128u + 4 * 901440u + 320u + 13 * 45056u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(nvdb::kDatabaseKey), 32),
              "Quarto Sensor Vault Key Mk7 Rev9");
}

TEST(TemplateImageLayout, RecordFieldsComeFromTheirOffsets) {
    auto image = Blank();
    // Neighbouring words hold other values, so reading four bytes off hits the wrong one.
    Put32(image, At(6, 0), 0x11111111);
    Put32(image, At(6, 4), 0x00000002);
    Put32(image, At(6, 8), 0x33333333);
    Put32(image, At(6, 12), 0x00000007);
    PutText(image, At(6, 16), u"alice");
    PutText(image, At(6, 80), u"s3cret!");
    PutText(image, At(6, 144), u"NORVIK");
    Put32(image, At(6, 208), 3);
    Put32(image, At(6, 212), 12);
    image[At(6, 216)] = 0x01;
    image[At(6, 283)] = 0xEE; // last byte of the identity

    const unsigned char* record = nvdb::Record(image.data(), 6);
    EXPECT_EQ(record, image.data() + 128 + 6 * 901440);
    EXPECT_EQ(nvdb::InUseFlag(record), 2u);
    EXPECT_EQ(nvdb::PasswordLength(record), 7u);
    char16_t text[33];
    EXPECT_EQ(nvdb::ReadText(nvdb::UserNameField(record), text), 5u);
    EXPECT_EQ(std::u16string(text), u"alice");
    nvdb::ReadText(nvdb::PasswordField(record), text);
    EXPECT_EQ(std::u16string(text), u"s3cret!");
    nvdb::ReadText(nvdb::DomainField(record), text);
    EXPECT_EQ(std::u16string(text), u"NORVIK");
    const unsigned char* identity = nvdb::IdentityField(record);
    EXPECT_EQ(nvdb::ReadU32(identity), 3u);
    EXPECT_EQ(nvdb::ReadU32(identity + 4), 12u);
    EXPECT_EQ(identity[8], 0x01);
    EXPECT_EQ(identity[nvdb::kIdentitySize - 1], 0xEE);
    EXPECT_EQ(nvdb::InUseFlag(nvdb::Record(image.data(), 5)), 0u);
    EXPECT_EQ(nvdb::InUseFlag(nvdb::Record(image.data(), 7)), 0u);
}

TEST(TemplateImageLayout, SlotFieldsComeFromTheirOffsets) {
    auto image = Blank();
    Put32(image, AtSlot(9, 19, 0), 0xA5A5A5A5);
    Put32(image, AtSlot(9, 19, 8), 0xDEADBEEF);
    Put32(image, AtSlot(9, 19, 12), 1);
    Put32(image, AtSlot(9, 19, 16), 1);
    Put32(image, AtSlot(9, 19, 20), 0xCAFEBABE);
    Put32(image, AtSlot(9, 19, 24), 0x89ABCDEF);
    Put32(image, AtSlot(9, 19, 28), 0x01234567);
    Put32(image, AtSlot(9, 19, 32), 40960);
    image[AtSlot(9, 19, 4096)] = 0x42;
    image[AtSlot(9, 19, 45055)] = 0x43; // the image's very last byte
    ASSERT_EQ(AtSlot(9, 19, 45055), 9014527u);
    Put32(image, AtSlot(9, 18, 12), 1); // the slot before: not ours

    const unsigned char* slot = nvdb::Slot(nvdb::Record(image.data(), 9), 19);
    EXPECT_EQ(nvdb::SlotWord0(slot), 0xA5A5A5A5u);
    EXPECT_EQ(nvdb::SlotPresentFlag(slot), 1u);
    EXPECT_EQ(nvdb::SlotUpdateFlag(slot), 1u);
    EXPECT_EQ(nvdb::SlotStamp(slot), 0x0123456789ABCDEFull);
    EXPECT_EQ(nvdb::SlotTemplateLength(slot), 40960u);
    EXPECT_EQ(nvdb::SlotData(slot)[0], 0x42);
    EXPECT_EQ(nvdb::SlotData(slot)[40959], 0x43);

    const unsigned char* first = nvdb::Slot(nvdb::Record(image.data(), 0), 0);
    EXPECT_EQ(first, image.data() + 128 + 320);
    EXPECT_EQ(nvdb::SlotPresentFlag(first), 0u);
}

TEST(TemplateImageText, ReadingStopsAtZeroOrAfterThirtyTwoUnits) {
    auto image = Blank();
    const std::u16string full = u"abcdefghijklmnopqrstuvwxyz012345";
    ASSERT_EQ(full.size(), 32u);
    PutText(image, At(0, 16), full);
    PutText(image, At(0, 80), u"password-behind"); // right behind the name: no terminator between
    PutText(image, At(1, 16), u"ab");
    PutText(image, At(1, 22), u"cd");                       // "ab", zero, "cd": the text is "ab"
    PutText(image, At(2, 16), u"\u00e9\u4e2d\xD83D\xDE00"); // BMP and a surrogate pair, units kept as-is

    char16_t text[33];
    EXPECT_EQ(nvdb::TextLength(image.data() + At(0, 16)), 32u);
    EXPECT_EQ(nvdb::ReadText(image.data() + At(0, 16), text), 32u);
    EXPECT_EQ(std::u16string(text), full);
    EXPECT_EQ(text[32], 0);
    EXPECT_EQ(nvdb::ReadText(image.data() + At(1, 16), text), 2u);
    EXPECT_EQ(std::u16string(text), u"ab");
    EXPECT_EQ(text[3], 0); // the rest of the output is cleared too
    EXPECT_EQ(nvdb::ReadText(image.data() + At(2, 16), text), 4u);
    EXPECT_EQ(std::u16string(text), u"\u00e9\u4e2d\xD83D\xDE00");
    EXPECT_EQ(nvdb::ReadText(image.data() + At(3, 16), text), 0u);
}

TEST(TemplateImageText, EqualityIsExactAndBounded) {
    auto image = Blank();
    const unsigned char* field = image.data() + At(0, 16);
    PutText(image, At(0, 16), u"Bob");
    EXPECT_TRUE(nvdb::TextEquals(field, u"Bob"));
    EXPECT_FALSE(nvdb::TextEquals(field, u"bob"));
    EXPECT_FALSE(nvdb::TextEquals(field, u"Bo"));
    EXPECT_FALSE(nvdb::TextEquals(field, u"Bobby"));
    EXPECT_FALSE(nvdb::TextEquals(field, u""));

    const std::u16string full(32, u'x');
    PutText(image, At(0, 16), full);
    PutText(image, At(0, 80), u"y");
    EXPECT_TRUE(nvdb::TextEquals(field, full.c_str()));
    EXPECT_FALSE(nvdb::TextEquals(field, (full + u"y").c_str())); // the password is not part of it
}

TEST(TemplateImageText, WritingZeroFillsTheWholeField) {
    auto image = Blank();
    PutText(image, At(0, 80), std::u16string(32, u'Z'));
    image[At(0, 144)] = 0x77; // first byte of the next field
    nvdb::WriteText(image.data() + At(0, 80), u"new", 3);
    EXPECT_EQ(image[At(0, 80)], 'n');
    EXPECT_EQ(image[At(0, 81)], 0);
    EXPECT_EQ(image[At(0, 84)], 'w');
    for (std::size_t i = 6; i < 64; ++i)
        ASSERT_EQ(image[At(0, 80) + i], 0) << i;
    EXPECT_EQ(image[At(0, 144)], 0x77);
}

TEST(FindAccount, FollowsTheMatchingRules) {
    auto image = Blank();
    PutUser(image, 0, 0, u"carol"); // free: never matches, whatever its name
    PutUser(image, 1, 1, u"Carol");
    PutUser(image, 2, 1, u"dave");
    PutUser(image, 4, 0xFFFFFFFF, u"carol");
    PutUser(image, 7, 1, u"carol"); // a duplicate of 4: the lower index wins
    PutUser(image, 9, 1, std::u16string(32, u'm'));

    EXPECT_EQ(nvdb::FindAccount(image.data(), u"carol"), 4);
    EXPECT_EQ(nvdb::FindAccount(image.data(), u"Carol"), 1);
    EXPECT_EQ(nvdb::FindAccount(image.data(), u"CAROL"), -1);
    EXPECT_EQ(nvdb::FindAccount(image.data(), u"dave"), 2);
    EXPECT_EQ(nvdb::FindAccount(image.data(), u"dav"), -1);
    EXPECT_EQ(nvdb::FindAccount(image.data(), u"erin"), -1);
    EXPECT_EQ(nvdb::FindAccount(image.data(), std::u16string(32, u'm').c_str()), 9);
    EXPECT_EQ(nvdb::FindAccount(image.data(), std::u16string(33, u'm').c_str()), -1);
    EXPECT_EQ(nvdb::FindAccount(image.data(), std::u16string(31, u'm').c_str()), -1);
    // Free records with empty names exist (3, 5, ...), yet an empty name finds none of them...
    EXPECT_EQ(nvdb::FindAccount(image.data(), u""), -1);
    // ...until an in-use record has an empty name.
    Put32(image, At(5, 4), 1);
    Put32(image, At(8, 4), 1);
    EXPECT_EQ(nvdb::FindAccount(image.data(), u""), 5);
}

TEST(FindAccount, ComparesOnlyTheUserName) {
    auto image = Blank();
    PutUser(image, 3, 1, u"frank");
    PutText(image, At(3, 144), u"DOMAIN");
    PutText(image, At(3, 80), u"frank"); // a password equal to another name does not count
    PutUser(image, 4, 1, u"gina");
    PutText(image, At(4, 80), u"frank");
    EXPECT_EQ(nvdb::FindAccount(image.data(), u"frank"), 3);
    EXPECT_EQ(nvdb::FindAccount(image.data(), u"DOMAIN"), -1);
}

TEST(ClearAccount, ZeroesExactlyOneRecord) {
    std::vector<unsigned char> image(9014528);
    std::mt19937 random(4);
    for (auto& b : image)
        b = static_cast<unsigned char>(random() | 1); // no zero byte anywhere
    const auto before = image;
    nvdb::ClearAccount(image.data(), 3);
    const std::size_t begin = 128 + 3 * 901440, end = begin + 901440;
    for (std::size_t i = begin; i < end; ++i)
        ASSERT_EQ(image[i], 0) << i;
    EXPECT_EQ(std::memcmp(image.data(), before.data(), begin), 0);
    EXPECT_EQ(std::memcmp(image.data() + end, before.data() + end, image.size() - end), 0);

    nvdb::ClearAccount(image.data(), 9);
    EXPECT_EQ(image[9014527], 0);
    EXPECT_EQ(image[128 + 9 * 901440 - 1], before[128 + 9 * 901440 - 1]);
}

TEST(SetPassword, StoresUnitsAndLengthAndNothingElse) {
    auto image = Blank();
    PutUser(image, 2, 1, u"henry");
    Put32(image, At(2, 12), 20);
    PutText(image, At(2, 80), u"an-old-long-password");
    PutText(image, At(2, 144), u"DOM");
    Put32(image, At(2, 8), 0x5555AAAA);
    const auto before = image;

    ASSERT_TRUE(nvdb::SetPassword(image.data(), 2, u"n3w"));
    EXPECT_EQ(image[At(2, 12)], 3);
    EXPECT_EQ(image[At(2, 13)], 0);
    const unsigned char expected[8] = {'n', 0, '3', 0, 'w', 0, 0, 0};
    EXPECT_EQ(std::memcmp(image.data() + At(2, 80), expected, 8), 0);
    for (std::size_t i = 6; i < 64; ++i)
        ASSERT_EQ(image[At(2, 80) + i], 0);
    // Every byte outside the length word and the password field is as it was.
    for (std::size_t i = 0; i < image.size(); ++i) {
        const bool edited = (i >= At(2, 12) && i < At(2, 16)) || (i >= At(2, 80) && i < At(2, 144));
        if (!edited) {
            ASSERT_EQ(image[i], before[i]) << i;
        }
    }
}

TEST(SetPassword, EmptyFullAndOverlong) {
    auto image = Blank();
    PutUser(image, 0, 1, u"ivy");
    PutText(image, At(0, 80), u"old");
    Put32(image, At(0, 12), 3);
    ASSERT_TRUE(nvdb::SetPassword(image.data(), 0, u""));
    EXPECT_EQ(nvdb::ReadU32(image.data() + At(0, 12)), 0u);
    EXPECT_EQ(image[At(0, 80)], 0);

    const std::u16string full(32, u'p');
    ASSERT_TRUE(nvdb::SetPassword(image.data(), 0, full.c_str()));
    EXPECT_EQ(nvdb::ReadU32(image.data() + At(0, 12)), 32u);
    EXPECT_EQ(image[At(0, 80) + 62], 'p');
    EXPECT_EQ(image[At(0, 144)], 0); // nothing written past the field

    const auto before = image;
    EXPECT_FALSE(nvdb::SetPassword(image.data(), 0, (full + u"q").c_str()));
    EXPECT_EQ(image, before);
}

TEST(ImageBuffer, StartsZeroAndHasTheImageSize) {
    nvdb::ImageBuffer buffer;
    static_assert(nvdb::ImageBuffer::size() == 9014528);
    for (std::size_t i = 0; i < buffer.size(); i += 4093)
        ASSERT_EQ(buffer.data()[i], 0);
    EXPECT_EQ(buffer.data()[buffer.size() - 1], 0);
}

} // namespace
