// What the user sees when the account has no Windows password: the window behind dimmed and the
// "Set up Windows Password" box (strings 166 and 167), for CDlgWinPW to show before it fails.
#pragma once

#include "credentials/DlgWinPW.h"

#include <windows.h>

// The action shows the overlay over `over` (the main window), runs the box modally, and removes
// both before it returns. A null window gets the box without an overlay.
CDlgWinPW::TellUserAction NoPasswordMessageOver(HWND over);
