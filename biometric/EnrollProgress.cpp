// The enrolment dialog's picture table and its choice of position.
#include "biometric/EnrollProgress.h"

#include "resources/StringIds.h"

#include <array>

namespace {
// Indexed by state + 1: the print fills in steps, stepping back one now and then, so the
// picture moves with every sample while the framework decides how many it needs.
constexpr std::array<int, 20> kProgressBitmaps = {288, 289, 290, 291, 292, 291, 292, 293, 292, 293,
                                                  294, 293, 294, 295, 294, 295, 296, 295, 296, 297};
} // namespace

int EnrollProgressBitmap(int state) {
    if (state < kEnrollStateOutline || state > kEnrollStateComplete)
        return 0;
    const int index = state - kEnrollStateOutline;
    return kProgressBitmaps[static_cast<std::size_t>(index)];
}

int EnrollProgressStep(int bitmap) {
    const int step = bitmap - kProgressBitmaps[1];
    return step >= 0 && step <= kEnrollProgressSteps ? step : -1;
}

int EnrollSampleState(long long sampleNumber) {
    if (sampleNumber >= 18)
        return static_cast<int>(16 + sampleNumber % 2);
    return static_cast<int>(sampleNumber);
}

std::uint8_t NextWindowsHelloSubFactor(const FingerFlags& flags, std::uint8_t previous) {
    for (std::uint32_t index = kFirstWindowsHelloIndex; index < kFingerIndexCount; ++index) {
        if (flags[index] == 0)
            return FingerIndex2Factor(index);
    }
    return previous;
}

bool HasFreeWindowsHelloPosition(const FingerFlags& flags) {
    for (std::uint32_t index = kFirstWindowsHelloIndex; index < kFingerIndexCount; ++index)
        if (flags[index] == 0)
            return true;
    return false;
}

int WindowsHelloPosition(std::uint8_t subFactor) {
    return static_cast<int>(subFactor) - 0xF4;
}

unsigned int RefusedSampleHint(unsigned long rejectDetail) {
    // Indexed by the detail: where the finger was, then how it was held.
    static constexpr std::array<unsigned int, 11> kHints = {
        IDS_HINT_AGAIN,    IDS_HINT_LOWER,  IDS_HINT_HIGHER,     IDS_HINT_RIGHT,
        IDS_HINT_LEFT,     IDS_HINT_LONGER, IDS_HINT_SOONER,     IDS_HINT_FLAT,
        IDS_HINT_STRAIGHT, IDS_HINT_COVER,  IDS_HINT_SAME_FINGER};
    return rejectDetail < kHints.size() ? kHints[rejectDetail] : IDS_HINT_AGAIN;
}
