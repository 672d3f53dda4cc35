// The biometric framework's status codes that this program and the simulated service exchange.
// Plain 32-bit values so that portable code can use them too; winbio_err.h has the same numbers.
#pragma once

#include <cstdint>

namespace winbio {

// Builds a negative HRESULT from its unsigned spelling without a narrowing warning.
constexpr std::int32_t Status(std::uint32_t code) {
    return static_cast<std::int32_t>(code);
}

constexpr std::int32_t kOk = 0;                                    // S_OK
constexpr std::int32_t kMoreData = Status(0x00090001);             // WINBIO_I_MORE_DATA
constexpr std::int32_t kUnsupportedFactor = Status(0x80098001);    // WINBIO_E_UNSUPPORTED_FACTOR
constexpr std::int32_t kInvalidUnit = Status(0x80098002);          // WINBIO_E_INVALID_UNIT
constexpr std::int32_t kUnknownId = Status(0x80098003);            // WINBIO_E_UNKNOWN_ID
constexpr std::int32_t kCanceled = Status(0x80098004);             // WINBIO_E_CANCELED
constexpr std::int32_t kEnrollmentInProgress = Status(0x80098007); // WINBIO_E_ENROLLMENT_IN_PROGRESS
constexpr std::int32_t kBadCapture = Status(0x80098008);           // WINBIO_E_BAD_CAPTURE
constexpr std::int32_t kInvalidDeviceState = Status(0x8009800F);   // WINBIO_E_INVALID_DEVICE_STATE
constexpr std::int32_t kDeviceBusy = Status(0x80098010);           // WINBIO_E_DEVICE_BUSY
// "The specified identity and sub-factor are already enrolled."
constexpr std::int32_t kDuplicateEnrollment = Status(0x8009801C); // WINBIO_E_DUPLICATE_ENROLLMENT
// "The data in a biometric template matches another template already in the database": what a
// commit returns for a finger that is enrolled already, for whichever identity.
constexpr std::int32_t kDuplicateTemplate = Status(0x8009802B); // WINBIO_E_DUPLICATE_TEMPLATE
constexpr std::int32_t kInvalidSubFactor = Status(0x8009804B);  // WINBIO_E_INVALID_SUBFACTOR

// Generic COM codes the framework uses for bad arguments and handles.
constexpr std::int32_t kFail = Status(0x80004005);        // E_FAIL
constexpr std::int32_t kPointer = Status(0x80004003);     // E_POINTER
constexpr std::int32_t kInvalidArg = Status(0x80070057);  // E_INVALIDARG
constexpr std::int32_t kHandle = Status(0x80070006);      // E_HANDLE
constexpr std::int32_t kOutOfMemory = Status(0x8007000E); // E_OUTOFMEMORY
// HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED): the sensor has been unplugged.
constexpr std::int32_t kDeviceNotConnected = Status(0x8007048F);

// Reject details of a bad fingerprint capture (WINBIO_FP_*).
constexpr std::uint32_t kRejectTooHigh = 1;
constexpr std::uint32_t kRejectPoorQuality = 7;
constexpr std::uint32_t kRejectMergeFailure = 10;

} // namespace winbio
