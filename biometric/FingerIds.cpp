// Finger identifiers: the two mappings and the finger names.
#include "biometric/FingerIds.h"

#include "base/Trace.h"

namespace {
constexpr std::uint32_t kUnspecifiedOffset = kFirstUnspecifiedSubFactor - kFirstWindowsHelloIndex; // 235

constexpr const char16_t* kFingerNames[kFingerIndexCount] = {
    u"Right Hand Thumb",        u"Right Hand Index-Finger",  u"Right Hand Middle-Finger",
    u"Right Hand Ring-Finger",  u"Right Hand Little-Finger", u"Left Hand Thumb",
    u"Left Hand Index-Finger",  u"Left Hand Middle-Finger",  u"Left Hand Ring-Finger",
    u"Left Hand Little-Finger", u"Windows Hello Finger 1",   u"Windows Hello Finger 2",
    u"Windows Hello Finger 3",  u"Windows Hello Finger 4",   u"Windows Hello Finger 5",
    u"Windows Hello Finger 6",  u"Windows Hello Finger 7",   u"Windows Hello Finger 8",
    u"Windows Hello Finger 9",  u"Windows Hello Finger 10",
};
} // namespace

std::uint8_t FingerIndex2Factor(std::uint32_t fingerIndex) {
    if (fingerIndex < kFirstWindowsHelloIndex)
        return static_cast<std::uint8_t>(fingerIndex + kFirstNamedSubFactor);
    if (fingerIndex < kFingerIndexCount)
        return static_cast<std::uint8_t>(fingerIndex + kUnspecifiedOffset);
    return kSubFactorAny;
}

std::optional<std::uint32_t> Factor2FingerIndex(std::uint8_t subFactor) {
    if (subFactor >= kFirstNamedSubFactor && subFactor <= kLastNamedSubFactor)
        return subFactor - kFirstNamedSubFactor;
    if (subFactor >= kFirstUnspecifiedSubFactor && subFactor <= kLastUnspecifiedSubFactor)
        return subFactor - kUnspecifiedOffset;
    return std::nullopt;
}

const char16_t* Factor2StrFingerName(std::uint8_t subFactor) {
    if (const auto index = Factor2FingerIndex(subFactor))
        return kFingerNames[*index];
    nvtrace::Trace("(ERROR)(Factor2StrFingerName) UnDefine Factor: %d", static_cast<int>(subFactor));
    return u"UnDefine Finger";
}
