// Our declarations of what the program uses from winbio.dll: the framework's types with their
// exact binary layout, its constants, and the signatures of the eleven functions. Shared by the
// wrapper and by the simulated service, which must agree with the real one byte for byte.
#pragma once

#include <windows.h>

#include <cstddef>

#include "biometric/WinBioErrors.h"

using WINBIO_UNIT_ID = ULONG;
using WINBIO_SESSION_HANDLE = ULONG;
using WINBIO_BIOMETRIC_TYPE = ULONG;
using WINBIO_POOL_TYPE = ULONG;
using WINBIO_SESSION_FLAGS = ULONG;
using WINBIO_BIOMETRIC_SENSOR_SUBTYPE = ULONG;
using WINBIO_CAPABILITIES = ULONG;
using WINBIO_REJECT_DETAIL = ULONG;
using WINBIO_IDENTITY_TYPE = ULONG;
using WINBIO_BIOMETRIC_SUBTYPE = UCHAR;

constexpr WINBIO_BIOMETRIC_TYPE WINBIO_TYPE_FINGERPRINT = 0x00000008;
constexpr WINBIO_POOL_TYPE WINBIO_POOL_UNKNOWN = 0;
constexpr WINBIO_POOL_TYPE WINBIO_POOL_SYSTEM = 1;
constexpr WINBIO_POOL_TYPE WINBIO_POOL_PRIVATE = 2;
constexpr WINBIO_SESSION_FLAGS WINBIO_FLAG_DEFAULT = 0;
constexpr WINBIO_BIOMETRIC_SENSOR_SUBTYPE WINBIO_FP_SENSOR_SUBTYPE_TOUCH = 2;
constexpr WINBIO_CAPABILITIES WINBIO_CAPABILITY_SENSOR = 0x00000001;
constexpr WINBIO_CAPABILITIES WINBIO_CAPABILITY_MATCHING = 0x00000002;
constexpr WINBIO_CAPABILITIES WINBIO_CAPABILITY_DATABASE = 0x00000004;
constexpr WINBIO_CAPABILITIES WINBIO_CAPABILITY_PROCESSING = 0x00000008;
constexpr WINBIO_BIOMETRIC_SUBTYPE WINBIO_SUBTYPE_NO_INFORMATION = 0x00;
constexpr WINBIO_BIOMETRIC_SUBTYPE WINBIO_SUBTYPE_ANY = 0xFF;

constexpr WINBIO_IDENTITY_TYPE WINBIO_ID_TYPE_NULL = 0;
constexpr WINBIO_IDENTITY_TYPE WINBIO_ID_TYPE_WILDCARD = 1;
constexpr WINBIO_IDENTITY_TYPE WINBIO_ID_TYPE_GUID = 2;
constexpr WINBIO_IDENTITY_TYPE WINBIO_ID_TYPE_SID = 3;

constexpr HRESULT WINBIO_I_MORE_DATA = winbio::kMoreData;
constexpr HRESULT WINBIO_E_UNSUPPORTED_FACTOR = winbio::kUnsupportedFactor;
constexpr HRESULT WINBIO_E_INVALID_UNIT = winbio::kInvalidUnit;
constexpr HRESULT WINBIO_E_UNKNOWN_ID = winbio::kUnknownId;
constexpr HRESULT WINBIO_E_CANCELED = winbio::kCanceled;
constexpr HRESULT WINBIO_E_ENROLLMENT_IN_PROGRESS = winbio::kEnrollmentInProgress;
constexpr HRESULT WINBIO_E_BAD_CAPTURE = winbio::kBadCapture;
constexpr HRESULT WINBIO_E_INVALID_DEVICE_STATE = winbio::kInvalidDeviceState;
constexpr HRESULT WINBIO_E_DEVICE_BUSY = winbio::kDeviceBusy;
constexpr HRESULT WINBIO_E_DUPLICATE_ENROLLMENT = winbio::kDuplicateEnrollment;
constexpr HRESULT WINBIO_E_DUPLICATE_TEMPLATE = winbio::kDuplicateTemplate;
constexpr HRESULT WINBIO_E_INVALID_SUBFACTOR = winbio::kInvalidSubFactor;

// WINBIO_STRING: 256 UTF-16 code units, terminator included.
constexpr std::size_t WINBIO_MAX_STRING_LEN = 256;
using WINBIO_STRING = WCHAR[WINBIO_MAX_STRING_LEN];

struct WINBIO_VERSION {
    DWORD MajorVersion;
    DWORD MinorVersion;
};

struct WINBIO_UNIT_SCHEMA {
    WINBIO_UNIT_ID UnitId;
    WINBIO_POOL_TYPE PoolType;
    WINBIO_BIOMETRIC_TYPE BiometricFactor;
    WINBIO_BIOMETRIC_SENSOR_SUBTYPE SensorSubType;
    WINBIO_CAPABILITIES Capabilities;
    WINBIO_STRING DeviceInstanceId;
    WINBIO_STRING Description;
    WINBIO_STRING Manufacturer;
    WINBIO_STRING Model;
    WINBIO_STRING SerialNumber;
    WINBIO_VERSION FirmwareVersion;
};

// Identity of a template's owner; this program only builds and compares the SID form.
constexpr std::size_t WINBIO_SID_DATA_SIZE = 68; // SECURITY_MAX_SID_SIZE
struct WINBIO_IDENTITY {
    WINBIO_IDENTITY_TYPE Type;
    union {
        ULONG Null;
        ULONG Wildcard;
        GUID TemplateGuid;
        struct {
            ULONG Size;
            UCHAR Data[WINBIO_SID_DATA_SIZE];
        } AccountSid;
    } Value;
};

static_assert(sizeof(WCHAR) == 2);
static_assert(sizeof(WINBIO_VERSION) == 8);
static_assert(sizeof(WINBIO_UNIT_SCHEMA) == 2588);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, PoolType) == 4);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, BiometricFactor) == 8);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, SensorSubType) == 12);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, Capabilities) == 16);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, DeviceInstanceId) == 20);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, Description) == 532);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, Manufacturer) == 1044);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, Model) == 1556);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, SerialNumber) == 2068);
static_assert(offsetof(WINBIO_UNIT_SCHEMA, FirmwareVersion) == 2580);
static_assert(sizeof(WINBIO_IDENTITY) == 76);
static_assert(offsetof(WINBIO_IDENTITY, Value) == 4);
static_assert(offsetof(WINBIO_IDENTITY, Value.AccountSid.Size) == 4);
static_assert(offsetof(WINBIO_IDENTITY, Value.AccountSid.Data) == 8);
static_assert(sizeof(WINBIO_BIOMETRIC_SUBTYPE) == 1);
static_assert(sizeof(WINBIO_SESSION_HANDLE) == 4 && sizeof(WINBIO_UNIT_ID) == 4);

// Completion routines of the asynchronous capture and identification, called on a thread of the
// framework, once per request.
using PWINBIO_ENROLL_CAPTURE_CALLBACK = VOID(CALLBACK*)(PVOID EnrollCallbackContext, HRESULT OperationStatus,
                                                        WINBIO_REJECT_DETAIL RejectDetail);
using PWINBIO_IDENTIFY_CALLBACK = VOID(CALLBACK*)(PVOID IdentifyCallbackContext, HRESULT OperationStatus,
                                                  WINBIO_UNIT_ID UnitId, WINBIO_IDENTITY* Identity,
                                                  WINBIO_BIOMETRIC_SUBTYPE SubFactor,
                                                  WINBIO_REJECT_DETAIL RejectDetail);

// The eleven functions, as winbio.dll exports them (undecorated names, WINAPI).
using PFN_WinBioEnumBiometricUnits = HRESULT(WINAPI*)(WINBIO_BIOMETRIC_TYPE Factor,
                                                      WINBIO_UNIT_SCHEMA** UnitSchemaArray,
                                                      SIZE_T* UnitCount);
using PFN_WinBioOpenSession = HRESULT(WINAPI*)(WINBIO_BIOMETRIC_TYPE Factor, WINBIO_POOL_TYPE PoolType,
                                               WINBIO_SESSION_FLAGS Flags, WINBIO_UNIT_ID* UnitArray,
                                               SIZE_T UnitCount, GUID* DatabaseId,
                                               WINBIO_SESSION_HANDLE* SessionHandle);
using PFN_WinBioCloseSession = HRESULT(WINAPI*)(WINBIO_SESSION_HANDLE SessionHandle);
using PFN_WinBioCancel = HRESULT(WINAPI*)(WINBIO_SESSION_HANDLE SessionHandle);
using PFN_WinBioEnrollBegin = HRESULT(WINAPI*)(WINBIO_SESSION_HANDLE SessionHandle,
                                               WINBIO_BIOMETRIC_SUBTYPE SubFactor, WINBIO_UNIT_ID UnitId);
using PFN_WinBioEnrollCaptureWithCallback = HRESULT(WINAPI*)(WINBIO_SESSION_HANDLE SessionHandle,
                                                             PWINBIO_ENROLL_CAPTURE_CALLBACK EnrollCallback,
                                                             PVOID EnrollCallbackContext);
using PFN_WinBioEnrollCommit = HRESULT(WINAPI*)(WINBIO_SESSION_HANDLE SessionHandle,
                                                WINBIO_IDENTITY* Identity, BOOLEAN* IsNewTemplate);
using PFN_WinBioIdentifyWithCallback = HRESULT(WINAPI*)(WINBIO_SESSION_HANDLE SessionHandle,
                                                        PWINBIO_IDENTIFY_CALLBACK IdentifyCallback,
                                                        PVOID IdentifyCallbackContext);
using PFN_WinBioEnumEnrollments = HRESULT(WINAPI*)(WINBIO_SESSION_HANDLE SessionHandle, WINBIO_UNIT_ID UnitId,
                                                   WINBIO_IDENTITY* Identity,
                                                   WINBIO_BIOMETRIC_SUBTYPE** SubFactorArray,
                                                   SIZE_T* SubFactorCount);
using PFN_WinBioDeleteTemplate = HRESULT(WINAPI*)(WINBIO_SESSION_HANDLE SessionHandle, WINBIO_UNIT_ID UnitId,
                                                  WINBIO_IDENTITY* Identity,
                                                  WINBIO_BIOMETRIC_SUBTYPE SubFactor);
using PFN_WinBioFree = HRESULT(WINAPI*)(PVOID Address);
