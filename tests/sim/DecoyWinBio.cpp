// A winbio.dll that must never be loaded: planted beside a program, every function answers with
// a code of its own, so a caller that picked it up can tell.
#include "biometric/WinBio.h"

namespace {
constexpr HRESULT kDecoy = static_cast<HRESULT>(0x8DEC0DE1);
}

extern "C" {
HRESULT WINAPI WinBioEnumBiometricUnits(WINBIO_BIOMETRIC_TYPE, WINBIO_UNIT_SCHEMA**, SIZE_T*) {
    return kDecoy;
}
HRESULT WINAPI WinBioOpenSession(WINBIO_BIOMETRIC_TYPE, WINBIO_POOL_TYPE, WINBIO_SESSION_FLAGS,
                                 WINBIO_UNIT_ID*, SIZE_T, GUID*, WINBIO_SESSION_HANDLE*) {
    return kDecoy;
}
HRESULT WINAPI WinBioCloseSession(WINBIO_SESSION_HANDLE) {
    return kDecoy;
}
HRESULT WINAPI WinBioCancel(WINBIO_SESSION_HANDLE) {
    return kDecoy;
}
HRESULT WINAPI WinBioEnrollBegin(WINBIO_SESSION_HANDLE, WINBIO_BIOMETRIC_SUBTYPE, WINBIO_UNIT_ID) {
    return kDecoy;
}
HRESULT WINAPI WinBioEnrollCaptureWithCallback(WINBIO_SESSION_HANDLE, PWINBIO_ENROLL_CAPTURE_CALLBACK,
                                               PVOID) {
    return kDecoy;
}
HRESULT WINAPI WinBioEnrollCommit(WINBIO_SESSION_HANDLE, WINBIO_IDENTITY*, BOOLEAN*) {
    return kDecoy;
}
HRESULT WINAPI WinBioIdentifyWithCallback(WINBIO_SESSION_HANDLE, PWINBIO_IDENTIFY_CALLBACK, PVOID) {
    return kDecoy;
}
HRESULT WINAPI WinBioEnumEnrollments(WINBIO_SESSION_HANDLE, WINBIO_UNIT_ID, WINBIO_IDENTITY*,
                                     WINBIO_BIOMETRIC_SUBTYPE**, SIZE_T*) {
    return kDecoy;
}
HRESULT WINAPI WinBioDeleteTemplate(WINBIO_SESSION_HANDLE, WINBIO_UNIT_ID, WINBIO_IDENTITY*,
                                    WINBIO_BIOMETRIC_SUBTYPE) {
    return kDecoy;
}
HRESULT WINAPI WinBioFree(PVOID) {
    return kDecoy;
}
}
