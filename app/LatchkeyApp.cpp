// The process entry of NorvikFingerprint.exe: the registered message ids, then the one
// application object (in this order, as static initialisation runs them).
#include "app/LatchkeyApp.h"

#include "app/AppMessages.h"
#include "app/DlgMain.h"

#include "ui/SystemDlls.h"

#include <memory>

// Made before WinMain by design; nothing of them throws (the C API does not, and the application
// object's constructor only sets a flag).
// NOLINTBEGIN(cert-err58-cpp)
const UINT g_nRegMsgAdminStart = RegisterWindowMessageW(L"RegMsgAdminStart");
const UINT g_nRegMsgAdminStop = RegisterWindowMessageW(L"RegMsgAdminStop");

CLatchkeyApp theApp;
// NOLINTEND(cert-err58-cpp)

CLatchkeyApp::CLatchkeyApp() {
    // Restart after an update or a crash; no recovery, no autosave.
    m_dwRestartManagerSupportFlags = nvui::kRestartManagerSupportRestart;
}

BOOL CLatchkeyApp::InitInstance() {
    nvui::InitCommonControlClasses(0xFF); // every classic common-control class

    CWinApp::InitInstance();

    // Per desktop session: the name has no namespace prefix, so each signed-in user gets one.
    HANDLE instanceMutex = CreateMutexW(nullptr, TRUE, kInstanceMutexName);
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        // On the heap: the dialog owns the enrolment dialog, the database object and two
        // wrappers, more than a thread's stack should carry. Every member has an initialiser, so
        // nothing starts out undefined.
        auto dialog = std::make_unique<CDlgMain>();
        dialog->DoModal();
    }
    // A second instance shows nothing and does not bring the first one forward.

    // The handle is left for the system; releasing ownership lets a later start in.
    if (instanceMutex != nullptr)
        ReleaseMutex(instanceMutex);
    return FALSE;
}
