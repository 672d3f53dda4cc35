// The process-wide ids of the two messages the product's administrator program sends while it
// works ("RegMsgAdminStart", "RegMsgAdminStop"). Registered during static initialisation, before
// the application object; a failed registration leaves 0, which no message ever carries.
#pragma once

#include <windows.h>

extern const UINT g_nRegMsgAdminStart;
extern const UINT g_nRegMsgAdminStop;
