// The decrypted template database image: its layout as named constants, accessors for the fields
// of an account record and of a finger slot, the fixed 32-unit text fields, and the record edits
// (find, clear, set password). No platform calls; every integer is read and written little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace nvdb {

//--- Image
inline constexpr std::size_t kHeaderSize = 128;
inline constexpr int kRecordCount = 10;
inline constexpr std::size_t kRecordSize = 901'440;
inline constexpr std::size_t kImageSize = 9'014'528;

//--- Account record (offsets from the start of the record)
inline constexpr std::size_t kInUseOffset = 4;
inline constexpr std::size_t kPasswordLengthOffset = 12;
inline constexpr std::size_t kUserNameOffset = 16;
inline constexpr std::size_t kPasswordOffset = 80;
inline constexpr std::size_t kDomainOffset = 144;
inline constexpr std::size_t kIdentityOffset = 208;
inline constexpr std::size_t kIdentitySize = 76;
inline constexpr std::size_t kSlotsOffset = 320;

inline constexpr std::size_t kTextUnits = 32;
inline constexpr std::size_t kTextFieldSize = kTextUnits * 2;

// The identity is a WINBIO_IDENTITY: type, then for the SID type the SID's length and 68 bytes.
inline constexpr std::uint32_t kIdentityTypeSid = 3;
inline constexpr std::size_t kIdentitySidSizeOffset = 4;
inline constexpr std::size_t kIdentitySidOffset = 8;
inline constexpr std::size_t kMaxSidSize = 68;

//--- Finger slot (offsets from the start of the slot)
inline constexpr int kSlotCount = 20;
inline constexpr std::size_t kPageSize = 4'096;
inline constexpr std::size_t kSlotSize = 45'056;
inline constexpr std::size_t kSlotWord0Offset = 0;
inline constexpr std::size_t kSlotPresentOffset = 12;
inline constexpr std::size_t kSlotUpdateOffset = 16;
inline constexpr std::size_t kSlotStampOffset = 24;
inline constexpr std::size_t kSlotLengthOffset = 32;
inline constexpr std::size_t kSlotDataOffset = kPageSize;
inline constexpr std::size_t kSlotDataSize = 40'960;

static_assert(kUserNameOffset + kTextFieldSize == kPasswordOffset);
static_assert(kPasswordOffset + kTextFieldSize == kDomainOffset);
static_assert(kDomainOffset + kTextFieldSize == kIdentityOffset);
static_assert(kIdentitySidOffset + kMaxSidSize == kIdentitySize);
static_assert(kIdentityOffset + kIdentitySize + 36 == kSlotsOffset);
static_assert(kSlotLengthOffset + 4 + 4'060 == kSlotDataOffset);
static_assert(kSlotDataOffset + kSlotDataSize == kSlotSize);
static_assert(kSlotSize == 11 * kPageSize);
static_assert(kSlotsOffset + kSlotCount * kSlotSize == kRecordSize);
static_assert(kHeaderSize + kRecordCount * kRecordSize == kImageSize);

//--- The file's cipher: Rijndael, 256-bit key and block, electronic codebook
inline constexpr int kCipherBlockSize = 32;
inline constexpr int kCipherKeySize = 32;
inline constexpr unsigned char kDatabaseKey[kCipherKeySize] = {
    'Q', 'u', 'a', 'r', 't', 'o', ' ', 'S', 'e', 'n', 's', 'o', 'r', ' ', 'V', 'a',
    'u', 'l', 't', ' ', 'K', 'e', 'y', ' ', 'M', 'k', '7', ' ', 'R', 'e', 'v', '9'};
static_assert(kImageSize % kCipherBlockSize == 0);

//--- Little-endian fields
std::uint32_t ReadU32(const unsigned char* p);
std::uint64_t ReadU64(const unsigned char* p);
void WriteU32(unsigned char* p, std::uint32_t value);
void WriteU64(unsigned char* p, std::uint64_t value);

//--- Records and slots. Indexes are not checked here: callers pass 0..9 and 0..19.
constexpr std::size_t RecordOffset(int record) {
    return kHeaderSize + static_cast<std::size_t>(record) * kRecordSize;
}
constexpr std::size_t SlotOffset(int record, int finger) {
    return RecordOffset(record) + kSlotsOffset + static_cast<std::size_t>(finger) * kSlotSize;
}
static_assert(SlotOffset(kRecordCount - 1, kSlotCount) == kImageSize);

inline unsigned char* Record(unsigned char* image, int record) {
    return image + RecordOffset(record);
}
inline const unsigned char* Record(const unsigned char* image, int record) {
    return image + RecordOffset(record);
}
inline unsigned char* Slot(unsigned char* record, int finger) {
    return record + kSlotsOffset + static_cast<std::size_t>(finger) * kSlotSize;
}
inline const unsigned char* Slot(const unsigned char* record, int finger) {
    return record + kSlotsOffset + static_cast<std::size_t>(finger) * kSlotSize;
}

inline std::uint32_t InUseFlag(const unsigned char* record) {
    return ReadU32(record + kInUseOffset);
}
inline std::uint32_t PasswordLength(const unsigned char* record) {
    return ReadU32(record + kPasswordLengthOffset);
}
inline const unsigned char* UserNameField(const unsigned char* record) {
    return record + kUserNameOffset;
}
inline const unsigned char* PasswordField(const unsigned char* record) {
    return record + kPasswordOffset;
}
inline const unsigned char* DomainField(const unsigned char* record) {
    return record + kDomainOffset;
}
inline const unsigned char* IdentityField(const unsigned char* record) {
    return record + kIdentityOffset;
}

inline std::uint32_t SlotWord0(const unsigned char* slot) {
    return ReadU32(slot + kSlotWord0Offset);
}
inline std::uint32_t SlotPresentFlag(const unsigned char* slot) {
    return ReadU32(slot + kSlotPresentOffset);
}
inline std::uint32_t SlotUpdateFlag(const unsigned char* slot) {
    return ReadU32(slot + kSlotUpdateOffset);
}
inline std::uint64_t SlotStamp(const unsigned char* slot) {
    return ReadU64(slot + kSlotStampOffset);
}
inline std::uint32_t SlotTemplateLength(const unsigned char* slot) {
    return ReadU32(slot + kSlotLengthOffset);
}
inline const unsigned char* SlotData(const unsigned char* slot) {
    return slot + kSlotDataOffset;
}

//--- Text fields: 32 UTF-16LE units, zero-filled behind the text, no terminator when full.
// Every reader stops at the first zero unit or after 32 units.

// Number of units of the text in a field (0..32).
std::size_t TextLength(const unsigned char* field);
// Copies the field's text into out and terminates it; returns its length.
std::size_t ReadText(const unsigned char* field, char16_t (&out)[kTextUnits + 1]);
// Whether the field's text equals the zero-terminated text, unit by unit, case-sensitively.
bool TextEquals(const unsigned char* field, const char16_t* text);
// Zero-fills the field and stores the first min(length, 32) units of text.
void WriteText(unsigned char* field, const char16_t* text, std::size_t length);
// Length of a zero-terminated text, counting at most limit units.
std::size_t BoundedLength(const char16_t* text, std::size_t limit);

//--- Record edits

// Index of the first in-use record whose user name equals name, or -1.
int FindAccount(const unsigned char* image, const char16_t* name);

// Zero-fills all 901,440 bytes of the record: it becomes free, templates included.
void ClearAccount(unsigned char* image, int record);

// Stores the password (zero-terminated) and its length in units in the record. A password of
// more than 32 units does not fit the field: false, the record is left untouched.
bool SetPassword(unsigned char* image, int record, const char16_t* password);

//--- An image buffer of its own: zeroed when made, wiped when released (it holds passwords).
class ImageBuffer {
public:
    ImageBuffer();
    ~ImageBuffer();
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    unsigned char* data() { return m_bytes.get(); }
    const unsigned char* data() const { return m_bytes.get(); }
    static constexpr std::size_t size() { return kImageSize; }

private:
    std::unique_ptr<unsigned char[]> m_bytes;
};

} // namespace nvdb
