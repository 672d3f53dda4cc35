// The main window's start-up: device notifications, the one-shot timer and the chain of checks
// it runs, sensor removal and the administrator program's two messages.
#include "app/AppMessages.h"
#include "app/DlgMain.h"
#include "app/MainWindowRules.h"
#include "config/OsVersion.h"
#include "config/Registry.h"
#include "credentials/DlgWinPW.h"
#include "credentials/NoPasswordMessage.h"
#include "resources/StringIds.h"
#include "ui/DlgBlackWnd.h"
#include "ui/DlgMessageBox.h"
#include "ui/ResourceText.h"

#include <algorithm>
#include <iterator>

namespace {

// GUID_DEVINTERFACE_USB_DEVICE: every USB device, the sensor among them.
constexpr GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32, "the filter record as registered");
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) == mainwnd::kBroadcastNameOffset);
static_assert(sizeof(DEV_BROADCAST_HDR) == mainwnd::kBroadcastHeaderSize);
static_assert(DBT_DEVTYP_DEVICEINTERFACE == mainwnd::kDeviceTypeInterface);

} // namespace

BOOL CDlgMain::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_guidDevInterface = kUsbDeviceInterface;
    RegisterForDeviceNotifications();
    // Busy until the start-up chain has run: no command before the checks.
    SetUIEnabled(false);
    LayoutMainWindow();
    if (m_nStartupTimer == 0)
        m_nStartupTimer = SetTimer(m_hWnd, IDT_STARTUP_CHECKS, kStartupDelayMs, nullptr);
    return TRUE;
}

void CDlgMain::RegisterForDeviceNotifications() {
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = m_guidDevInterface;
    // Without it a removal goes unnoticed; nothing else depends on it.
    m_hDevNotify.Reset(RegisterDeviceNotificationW(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

void CDlgMain::OnTimer(UINT_PTR id) {
    if (id == IDT_STARTUP_CHECKS && m_nStartupTimer != 0)
        RunStartupChecks();
}

// The tick starts the chain. Its first steps wait on other programs (the database lock, held by
// another session's program perhaps) and on Windows logon (a domain controller out of reach): they
// run on a thread of their own, and the window stays busy, but answering, until they report.
void CDlgMain::RunStartupChecks() {
    if (m_nStartupTimer != 0) {
        KillTimer(m_hWnd, m_nStartupTimer);
        m_nStartupTimer = 0;
    }
    CheckStoredAccounts();
}

void CDlgMain::CheckStoredAccounts() {
    std::int32_t showWelcome = 1;
    GetShowWelcome(showWelcome);
    m_startupWork.Start(m_hWnd, showWelcome == 0, m_TemplateDatabase.m_szUserName, m_logon);
}

// Every step runs, whatever the one before it found: ending the dialog takes effect only once
// this handler returns, so a machine with several problems hears about each of them.
void CDlgMain::ContinueStartupChecks() {
    if (m_bEnding)
        return;
    RefreshFingerCount();
    UpdateCommandLabels();
    CheckSensorDevice();
    CheckWindowsPassword();
    CheckOSVersion();
    m_bStartingUp = false;
    SetUIEnabled(true);
}

void CDlgMain::ShowStartupMessage(UINT textId, UINT titleId) {
    CDlgBlackWnd overlay;
    overlay.Cover(m_hWnd);
    const std::wstring text = nvui::LoadResourceString(textId);
    const std::wstring title = titleId != 0 ? nvui::LoadResourceString(titleId) : std::wstring();
    CDlgMessageBox box;
    box.ShowMessage(text.c_str(), MSGBOX_ICON_INFO, title.c_str());
}

void CDlgMain::CheckSensorDevice() {
    // Only the ids are re-checked: the unit the wrapper works with stays the one it chose.
    SIZE_T units = 0;
    WINBIO_UNIT_ID unitId = 0;
    m_WbfInfo.EnumSensors(&units, &unitId);
    if (m_WbfInfo.m_Vid == mainwnd::kSensorVendorId && m_WbfInfo.m_Pid != 0)
        return;
    ShowStartupMessage(IDS_NO_DEVICE_TEXT, IDS_NO_DEVICE_TITLE);
    EndDialog(IDCANCEL);
}

// The logon was made by the start-up work; what it found is told here, in the chain's order.
void CDlgMain::CheckWindowsPassword() {
    if (m_startupWork.PasswordSet())
        return;
    NoPasswordMessageOver(m_hWnd)();
    EndDialog(IDCANCEL);
}

void CDlgMain::CheckOSVersion() {
    if (m_nOSClass != kOsClassUnsupported)
        return;
    ShowStartupMessage(IDS_OS_UNSUPPORTED, 0);
    EndDialog(IDCANCEL);
}

//--- System events

bool CDlgMain::IsSensorRemoval(const DEV_BROADCAST_HDR* data) const {
    return mainwnd::IsSensorBroadcast(reinterpret_cast<const unsigned char*>(data), m_WbfInfo.m_Vid,
                                      m_WbfInfo.m_Pid);
}

BOOL CDlgMain::OnDeviceChange(WPARAM eventType, LPARAM data) {
    if (eventType != DBT_DEVICEREMOVECOMPLETE || data == 0 ||
        !IsSensorRemoval(reinterpret_cast<const DEV_BROADCAST_HDR*>(data)))
        return TRUE;
    // The system, or whoever sent the notice, goes on at once instead of waiting for the box.
    if (InSendMessage())
        ReplyMessage(TRUE);
    // The start-up work may finish while the box is up: the rest of the chain is not for a
    // program that is ending. The work itself goes on; the end stops it (see ~CStartupWork).
    m_bEnding = true;
    CDlgBlackWnd overlay;
    if (m_dlgEnroll.GetSafeHwnd() != nullptr) {
        // The enrolment dialog's overlay dims the window already. Its run ends only once this
        // handler has returned, so the cancel takes it (and a box it had up) off the screen now,
        // giving this window its input and the activation back for the box that follows.
        m_dlgEnroll.CancelEnroll();
    } else {
        overlay.Cover(m_hWnd);
    }
    const std::wstring text = nvui::LoadResourceString(IDS_DEVICE_REMOVED);
    CDlgMessageBox box;
    box.ShowMessage(text.c_str(), MSGBOX_ICON_INFO, L"");
    EndDialog(IDCANCEL);
    // This notice is sent, so it is handled inside a modal loop's wait for the next posted
    // message; without one to wake up to, that loop (the enrolment dialog's or ours) would not
    // see that its run has ended until the user moves the mouse.
    if (HWND enroll = m_dlgEnroll.GetSafeHwnd())
        PostMessageW(enroll, WM_NULL, 0, 0);
    PostMessageW(m_hWnd, WM_NULL, 0, 0);
    return TRUE;
}

bool CDlgMain::OnStartupMessage(UINT message) {
    if (message != WM_STARTUP_WORK_DONE)
        return false;
    ContinueStartupChecks();
    return true;
}

bool CDlgMain::OnRegisteredMessage(UINT message, WPARAM, LPARAM, LRESULT* result) {
    // Either may come at any time, from any sender; they only hold the commands back, for as
    // long as the administrator program works, whatever of ours ends meanwhile.
    if (message == g_nRegMsgAdminStart && message != 0) {
        m_bAdminHold = true;
        nvui::RecheckCommands(m_hWnd);
        *result = 1;
        return true;
    }
    if (message == g_nRegMsgAdminStop && message != 0) {
        m_bAdminHold = false;
        nvui::RecheckCommands(m_hWnd);
        *result = 1;
        return true;
    }
    return false;
}
