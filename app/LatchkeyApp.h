// CLatchkeyApp: the application object of NorvikFingerprint.exe. It allows one instance per
// desktop session and runs the main dialog modally; the process ends when InitInstance returns.
#pragma once

#include "ui/WinApp.h"

inline constexpr wchar_t kInstanceMutexName[] = L"Norvik Fingerprint";

class CLatchkeyApp : public CWinApp {
public:
    CLatchkeyApp();

    // Always FALSE: the run is over once the dialog has ended.
    BOOL InitInstance() override;
};
