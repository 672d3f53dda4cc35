// The application object and the process entry.
#include "ui/WinApp.h"

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp() {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* CWinApp::GetApp() {
    return g_pApp;
}

BOOL CWinApp::InitInstance() {
    if (m_dwRestartManagerSupportFlags & nvui::kRestartManagerSupportRestart)
        m_bRestartRegistered = SUCCEEDED(RegisterApplicationRestart(nullptr, 0));
    return TRUE;
}

namespace nvui {

HINSTANCE ResourceInstance() {
    if (g_pApp != nullptr && g_pApp->m_hInstance != nullptr)
        return g_pApp->m_hInstance;
    return GetModuleHandleW(nullptr);
}

int RunApplication(HINSTANCE instance) {
    CWinApp* app = CWinApp::GetApp();
    if (app == nullptr)
        return 2;
    app->m_hInstance = instance;
    try {
        return app->InitInstance() ? 1 : 0;
    } catch (...) {
        return 3;
    }
}

} // namespace nvui
