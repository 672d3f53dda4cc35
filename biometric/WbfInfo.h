// CWbfInfo: the program's access to the Windows Biometric Framework. Sensor discovery, sessions,
// asynchronous enrolment and identification reported to the notification window, enumeration
// and deletion of the account's templates. Every operation returns the framework's HRESULT.
#pragma once

#include "biometric/FingerIds.h"
#include "biometric/WbfMessages.h"
#include "biometric/WinBio.h"

class CWbfInfo {
public:
    // Runs discovery: m_UnitId, m_Vid and m_Pid come from EnumSensors.
    CWbfInfo();
    // Closes the session and clears the process-wide notification window.
    ~CWbfInfo();
    CWbfInfo(const CWbfInfo&) = delete;
    CWbfInfo& operator=(const CWbfInfo&) = delete;

    //--- Sensor discovery and sessions

    // Enumerates the fingerprint units; on success sets m_Vid/m_Pid from the first unit whose
    // device instance id yields both ids and *pUnitId to the unit chosen. On failure m_Vid,
    // m_Pid and *pUnitId keep their values. *pUnitCount is the framework's count.
    HRESULT EnumSensors(SIZE_T* pUnitCount, WINBIO_UNIT_ID* pUnitId);
    // Opens a session on all units of the system pool; an open session is reused. Every attempt to
    // open a new one, refused or not, gets a new m_nSessionTag.
    HRESULT OpenSession();
    // S_OK when there is none; the handle is forgotten even when the close fails.
    HRESULT CloseSession();
    // Completes the outstanding asynchronous operation with WINBIO_E_CANCELED; S_OK without a session.
    HRESULT CancelOperation();
    // The window that receives WM_ENROLL_EVENT, WM_IDENTIFY_EVENT and WM_WBF_TRACE (null ignored).
    static void SetNotifyWindow(HWND hWnd);
    static HWND GetNotifyWindow();

    //--- Enrolment and identification (on the caller's open session)

    // Begins an enrolment at the sub-factor and requests the first capture. Nothing is posted
    // when either fails: the caller acts on the result. The events of this request and of the
    // identification carry m_nSessionTag (WbfMessages.h).
    HRESULT EnrollFingerPrint_WithCallback(WINBIO_BIOMETRIC_SUBTYPE subFactor);
    // Commits the captured enrolment; posts (2, 0) or (3, HRESULT) and returns the HRESULT.
    HRESULT EnrollCommit();
    // Starts one identification against the whole pool.
    HRESULT IdentifyFingerPrint_WithCallback();

    // The context of both callbacks is the request's session handle and session tag packed into
    // the pointer: nothing shared that a later request could overwrite before a late callback.
    static VOID CALLBACK EnrollCaptureCallback(PVOID EnrollCallbackContext, HRESULT OperationStatus,
                                               WINBIO_REJECT_DETAIL RejectDetail);
    static VOID CALLBACK IdentifyCallback(PVOID IdentifyCallbackContext, HRESULT OperationStatus,
                                          WINBIO_UNIT_ID UnitId, WINBIO_IDENTITY* Identity,
                                          WINBIO_BIOMETRIC_SUBTYPE SubFactor,
                                          WINBIO_REJECT_DETAIL RejectDetail);

    //--- Enumeration and deletion (each opens and closes its own session)

    // Flags of the identity's enrolled fingers on m_UnitId. WINBIO_E_UNKNOWN_ID (no enrolment)
    // clears all flags; any other failure leaves them as they were.
    // The inner variants, which take an explicit identity, keep the product's leading-underscore
    // names: reserved in principle, but no header this code includes defines them.
    // NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
    HRESULT _EnumFingerPrint(FingerFlags& flags, WINBIO_IDENTITY identity);
    HRESULT EnumFingerPrint(FingerFlags& flags);
    HRESULT _DeleteFingerTemplate(WINBIO_IDENTITY identity, WINBIO_BIOMETRIC_SUBTYPE subFactor);
    // Deletes every enrolled finger of the identity in finger-index order; stops at the first failure.
    HRESULT _DeleteAll(WINBIO_IDENTITY identity);
    // NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
    HRESULT DeleteAll();

    static WINBIO_BIOMETRIC_SUBTYPE FingerIndex2Factor(std::uint32_t _nFingerIndex);

    WINBIO_UNIT_ID m_UnitId = 0;
    WINBIO_SESSION_HANDLE m_SessionHandle = 0;
    USHORT m_Vid = 0;
    USHORT m_Pid = 0;
    // Which session of the process m_SessionHandle is, or was last: a serial number of the process
    // (never 0, never repeated), where a handle the framework gives may come again.
    std::uint32_t m_nSessionTag = 0;

    // Process-wide: set on the GUI thread before the first capture, then only by the callback.
    static LONG TouchCount;
};
