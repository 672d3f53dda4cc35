// Device-change broadcasts of any dbch_size: the record is exactly as long as its size field
// says, so reading past the size is an overflow the address sanitizer reports. The name must stay
// within the record and the sensor check must agree with the name.
#include "app/MainWindowRules.h"
#include "fuzz/FuzzCheck.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Larger records add nothing new; the cap keeps each run fast.
constexpr std::uint32_t kMaxRecord = 4096;

std::u16string Upper(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}

std::u16string HexId(const char16_t* key, std::uint16_t id) {
    static const char16_t digits[] = u"0123456789ABCDEF";
    std::u16string text(key);
    for (int shift = 12; shift >= 0; shift -= 4)
        text.push_back(digits[(id >> shift) & 0xF]);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nvfuzz::Input in(data, size);
    const std::uint16_t vid = in.U16();
    const std::uint16_t pid = in.U16();
    const std::uint32_t dbchSize = in.U32() % (kMaxRecord + 1);
    // The size field itself is always there: a record can be no shorter than it.
    const std::size_t length = std::max<std::size_t>(dbchSize, 4);
    auto record = std::make_unique<unsigned char[]>(length);
    std::memcpy(record.get(), &dbchSize, 4);
    in.Bytes(record.get() + 4, length - 4);

    const std::u16string name = mainwnd::BroadcastInterfaceName(record.get());
    std::uint32_t type = 0;
    if (dbchSize >= 8)
        std::memcpy(&type, record.get() + 4, 4);
    if (dbchSize <= mainwnd::kBroadcastNameOffset || type != mainwnd::kDeviceTypeInterface) {
        NV_FUZZ_CHECK(name.empty());
    } else {
        const std::size_t units = (dbchSize - mainwnd::kBroadcastNameOffset) / 2;
        NV_FUZZ_CHECK(name.size() <= units);
        NV_FUZZ_CHECK(name.find(u'\0') == std::u16string::npos);
        NV_FUZZ_CHECK(
            std::memcmp(name.data(), record.get() + mainwnd::kBroadcastNameOffset, name.size() * 2) == 0);
        // The name ends at a zero unit or at the record's end, not before.
        if (name.size() < units) {
            char16_t next = 0;
            std::memcpy(&next, record.get() + mainwnd::kBroadcastNameOffset + name.size() * 2, 2);
            NV_FUZZ_CHECK(next == 0);
        }
    }

    const bool isSensor = mainwnd::IsSensorBroadcast(record.get(), vid, pid);
    bool expected = false;
    if (name.size() > 4 && vid != 0 && pid != 0) {
        const std::u16string upper = Upper(name.substr(4));
        expected = upper.find(HexId(u"VID_", vid)) != std::u16string::npos &&
                   upper.find(HexId(u"PID_", pid)) != std::u16string::npos;
    }
    NV_FUZZ_CHECK(isSensor == expected);
    return 0;
}
