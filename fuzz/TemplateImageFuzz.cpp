// The decrypted database image as another program may have left it. The image is 9 MB, so an
// input is a compact recipe for one (see MakeImage), expanded into a buffer of exactly the image's
// size: a read or write past the image is an overflow the address sanitizer reports.
//
// Input: a name to look up (length byte, then UTF-16LE units), a password to set (the same), an
// operation byte, then for each of the ten records in turn the first 320 bytes of the record (its
// fields up to the finger slots) and a word for the first slot's header, as far as the input goes.
#include "database/TemplateImage.h"
#include "fuzz/FuzzCheck.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kRecipeRecordBytes = nvdb::kSlotsOffset;

// The buffer lives across runs; each run writes only the few kilobytes it uses and wipes them
// again, instead of clearing 9 MB every time.
unsigned char* Image() {
    static nvdb::ImageBuffer buffer;
    return buffer.data();
}

std::vector<char16_t> Text(nvfuzz::Input& in) {
    // Up to 40 units: longer than a field, so the limits get tried.
    std::vector<char16_t> text(in.Byte() % 41);
    for (char16_t& unit : text)
        unit = in.U16();
    text.push_back(0);
    return text;
}

// The record's user name, read here on its own.
bool NameIs(const unsigned char* record, const char16_t* name) {
    std::size_t i = 0;
    for (; i < nvdb::kTextUnits; ++i) {
        const char16_t unit = static_cast<char16_t>(record[nvdb::kUserNameOffset + 2 * i] |
                                                    record[nvdb::kUserNameOffset + 2 * i + 1] << 8);
        if (unit != name[i])
            return false;
        if (unit == 0)
            return true;
    }
    return name[i] == 0;
}

// A page at a time against zeros: a byte loop over a whole record would be most of a run's time.
bool AllZero(const unsigned char* p, std::size_t n) {
    static const unsigned char zeros[nvdb::kPageSize] = {};
    for (std::size_t at = 0; at < n; at += sizeof zeros)
        if (std::memcmp(p + at, zeros, std::min(sizeof zeros, n - at)) != 0)
            return false;
    return true;
}

void CheckTextField(const unsigned char* field) {
    char16_t out[nvdb::kTextUnits + 1];
    const std::size_t n = nvdb::ReadText(field, out);
    NV_FUZZ_CHECK(n <= nvdb::kTextUnits);
    NV_FUZZ_CHECK(n == nvdb::TextLength(field));
    NV_FUZZ_CHECK(out[n] == 0);
    for (std::size_t i = 0; i < n; ++i)
        NV_FUZZ_CHECK(out[i] != 0);
    NV_FUZZ_CHECK(nvdb::TextEquals(field, out));
    NV_FUZZ_CHECK(nvdb::BoundedLength(out, nvdb::kTextUnits + 1) == n);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nvfuzz::Input in(data, size);
    const std::vector<char16_t> name = Text(in);
    const std::vector<char16_t> password = Text(in);
    const std::uint8_t operation = in.Byte();
    unsigned char* image = Image();
    for (int r = 0; r < nvdb::kRecordCount; ++r) {
        unsigned char* record = nvdb::Record(image, r);
        in.Bytes(record, kRecipeRecordBytes);
        in.Bytes(nvdb::Slot(record, 0), 4);
    }

    //--- Reads
    int expected = -1;
    for (int r = 0; r < nvdb::kRecordCount && expected < 0; ++r) {
        const unsigned char* record = nvdb::Record(image, r);
        if (nvdb::InUseFlag(record) != 0 && NameIs(record, name.data()))
            expected = r;
        CheckTextField(nvdb::UserNameField(record));
        CheckTextField(nvdb::PasswordField(record));
        CheckTextField(nvdb::DomainField(record));
    }
    const int found = nvdb::FindAccount(image, name.data());
    NV_FUZZ_CHECK(found == expected);

    //--- Edits, on the record found or on the one the operation names
    const int target = found >= 0 ? found : operation % nvdb::kRecordCount;
    unsigned char* record = nvdb::Record(image, target);
    std::vector<unsigned char> before(record, record + kRecipeRecordBytes);
    if (operation & 0x80) {
        nvdb::ClearAccount(image, target);
        NV_FUZZ_CHECK(AllZero(record, nvdb::kRecordSize));
        const int again = nvdb::FindAccount(image, name.data());
        NV_FUZZ_CHECK(again != target);
    } else {
        const std::size_t length = nvdb::BoundedLength(password.data(), nvdb::kTextUnits + 1);
        const bool stored = nvdb::SetPassword(image, target, password.data());
        NV_FUZZ_CHECK(stored == (length <= nvdb::kTextUnits));
        if (stored) {
            NV_FUZZ_CHECK(nvdb::PasswordLength(record) == length);
            char16_t out[nvdb::kTextUnits + 1];
            NV_FUZZ_CHECK(nvdb::ReadText(nvdb::PasswordField(record), out) == length);
            NV_FUZZ_CHECK(std::memcmp(out, password.data(), length * sizeof(char16_t)) == 0);
            NV_FUZZ_CHECK(
                AllZero(record + nvdb::kPasswordOffset + 2 * length, nvdb::kTextFieldSize - 2 * length));
            // Only the length and the password field change.
            std::memcpy(before.data() + nvdb::kPasswordLengthOffset, record + nvdb::kPasswordLengthOffset, 4);
            std::memcpy(before.data() + nvdb::kPasswordOffset, record + nvdb::kPasswordOffset,
                        nvdb::kTextFieldSize);
        }
        NV_FUZZ_CHECK(std::memcmp(before.data(), record, kRecipeRecordBytes) == 0);
    }

    for (int r = 0; r < nvdb::kRecordCount; ++r) {
        unsigned char* other = nvdb::Record(image, r);
        std::memset(other, 0, kRecipeRecordBytes);
        std::memset(nvdb::Slot(other, 0), 0, 4);
    }
    return 0;
}
