// CDlgMain: the main window (template 229). It owns every long-lived object of the program,
// shows how many fingers of the signed-in account are enrolled, runs the start-up checks once,
// and offers Enroll, Clear, minimise and close. Members are declared in construction order.
#pragma once

#include "app/StartupWork.h"
#include "base/Win32Handle.h"
#include "biometric/EnrollDialog.h"
#include "credentials/Logon.h"
#include "biometric/WbfInfo.h"
#include "database/TemplateDatabase.h"
#include "ui/DialogEx.h"
#include "ui/FontStatic.h"
#include "ui/HoverPicBtn.h"

#include <dbt.h>

inline constexpr UINT_PTR IDT_STARTUP_CHECKS = 0xA002;
inline constexpr UINT kStartupDelayMs = 500;

class CDlgMain : public CDialogEx {
public:
    // logon: how the start-up work asks Windows about passwords (LogonUserW itself by default).
    explicit CDlgMain(LogonFunction logon = &LogonUserW, HWND parent = nullptr);
    ~CDlgMain() override;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnPaint(HDC dc) override;
    void OnLookChanged() override;
    void OnTimer(UINT_PTR id) override;
    bool OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnRegisteredMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    //--- Layout and display state (DlgMain.cpp)
    void LayoutMainWindow();
    void RefreshFingerCount();
    void UpdateCommandLabels();
    // Busy or not; readers hear when the commands come and go.
    void SetUIEnabled(bool enabled);
    // A command runs only while nothing of ours is under way and the administrator program does
    // not hold the window.
    bool IsHeld() const { return m_bBusy || m_bAdminHold; }
    void HideControl(int id);

    //--- Keyboard and screen-reader access to the commands (DlgMainAccess.cpp)
    void SetUpCommandAccess();

    //--- Commands (DlgMain.cpp)
    void OnEnrollTextClicked();
    void OnClearTextClicked();
    void OnMinimize();
    void OnCloseButton();

    //--- Start-up checks and system events (DlgMainStartup.cpp)
    void RegisterForDeviceNotifications();
    // The tick: starts the work that waits on others (CheckStoredAccounts and the password
    // check's logon) off the window's thread; the chain goes on in ContinueStartupChecks once
    // that work reports back.
    void RunStartupChecks();
    void CheckStoredAccounts();
    void ContinueStartupChecks();
    // WM_STARTUP_WORK_DONE: true when it was that.
    bool OnStartupMessage(UINT message);
    void CheckSensorDevice();
    void CheckWindowsPassword();
    void CheckOSVersion();
    // Dims the window and shows an information box; the caller ends the dialog afterwards.
    void ShowStartupMessage(UINT textId, UINT titleId);
    BOOL OnDeviceChange(WPARAM eventType, LPARAM data);
    bool IsSensorRemoval(const DEV_BROADCAST_HDR* data) const;

    CTemplateDatabase m_TemplateDatabase;
    CWbfInfo m_WbfInfo;
    int m_nFingerCount = 0;
    BOOL m_bBusy = FALSE;
    // Between "RegMsgAdminStart" and "RegMsgAdminStop". Apart from the busy flag, which our own
    // work clears when it ends: the administrator program's work is not ours to end.
    bool m_bAdminHold = false;
    UINT_PTR m_nStartupTimer = 0;
    // From the window's creation to the end of the start-up chain: the app-starting cursor.
    bool m_bStartingUp = true;
    // Set once the sensor's removal is being told: whatever reports back after that goes no
    // further than the box that is up.
    bool m_bEnding = false;
    LogonFunction m_logon;
    CStartupWork m_startupWork;
    CDlgEnroll m_dlgEnroll;
    RECT m_rcEnrollPanel = {};
    RECT m_rcClearPanel = {};
    int m_nOSClass;

    CHoverPicBtn m_btnMinimize;
    CHoverPicBtn m_btnClose;

    CFontStatic m_stTitle;         // 1220
    CFontStatic m_stEnrollCaption; // 1203
    CFontStatic m_stAdminCaption;  // 1204
    CFontStatic m_stCount;         // 1207
    CFontStatic m_stCountText;     // 1208
    CFontStatic m_stEnrollHint;    // 1209
    CFontStatic m_stHelloText;     // 1210
    CFontStatic m_stHelloName;     // 1211
    CFontStatic m_stHelloLink;     // 1212
    CFontStatic m_stPbaText;       // 1213
    CFontStatic m_stImport;        // 1214
    CFontStatic m_stSettings;      // 1215
    CFontStatic m_stBattery;       // 1216
    CFontStatic m_stPlugAc;        // 1217
    CFontStatic m_stUpToDate;      // 1225
    CFontStatic m_stClearHint;     // 1222
    CFontStatic m_stEnroll;        // 1223
    CFontStatic m_stClear;         // 1224

    CHoverPicBtn m_picEnroll; // 1205
    CHoverPicBtn m_picAdmin;  // 1206
    CHoverPicBtn m_picSide;   // 1232

    nvwin::DeviceNotify m_hDevNotify;
    HICON m_hIcon;

    GUID m_guidDevInterface = {};
};
