// NVDCoInstaller.dll's one export: the device installer calls it for every request on the sensor.
#include <windows.h>

#include <setupapi.h>

#include <cstddef>

#include "coinstaller/DebugTrace.h"
#include "coinstaller/Installer.h"

// Only these two fields of the context are read, at the offsets the device installer uses.
static_assert(offsetof(COINSTALLER_CONTEXT_DATA, PostProcessing) == 0);
static_assert(offsetof(COINSTALLER_CONTEXT_DATA, InstallResult) == 4);
static_assert(sizeof(DI_FUNCTION) == 4);

// Only the context is looked at, and only read: the device set and the device stay untouched.
extern "C" DWORD CALLBACK CoInstallerEntry(DI_FUNCTION InstallFunction, HDEVINFO /*DeviceInfoSet*/,
                                           PSP_DEVINFO_DATA /*DeviceInfoData*/,
                                           PCOINSTALLER_CONTEXT_DATA Context) {
    DebugTrace(L"<CoInstallerEntry> InstallFunction = 0x%X", static_cast<unsigned>(InstallFunction));

    switch (InstallFunction) {
    case DIF_INSTALLDEVICE:
        DebugTrace(L"<CoInstallerEntry> ##### DIF_INSTALLDEVICE #####");
        if (!Context->PostProcessing) {
            DebugTrace(L"<CoInstallerEntry> DIF_INSTALLDEVICE - return need post processing.");
            return ERROR_DI_POSTPROCESSING_REQUIRED;
        }
        if (Context->InstallResult != NO_ERROR) {
            DebugTrace(L"<CoInstallerEntry> DIF_INSTALLDEVICE PostProcessing on failure");
            return Context->InstallResult;
        }
        DebugTrace(L"<CoInstallerEntry> DIF_INSTALLDEVICE PostProcessing...");
        Installer::Setup();
        DebugTrace(L"<CoInstallerEntry> ##### Setup Finish #####");
        return NO_ERROR;

    case DIF_REMOVE:
        DebugTrace(L"<CoInstallerEntry> ##### DIF_REMOVE #####");
        DebugTrace(L"<CoInstallerEntry> Context->PostProcessing = %d",
                   static_cast<int>(Context->PostProcessing));
        DebugTrace(L"<CoInstallerEntry> Context->InstallResult = %d",
                   static_cast<int>(Context->InstallResult));
        if (!Context->PostProcessing) {
            DebugTrace(L"<CoInstallerEntry> DIF_REMOVE - return need post processing.");
            return ERROR_DI_POSTPROCESSING_REQUIRED;
        }
        if (Context->InstallResult != NO_ERROR) {
            DebugTrace(L"<CoInstallerEntry> DIF_REMOVE PostProcessing on failure");
            return Context->InstallResult;
        }
        DebugTrace(L"<CoInstallerEntry> DIF_REMOVE PostProcessing...");
        // Whether the uninstaller ran is traced inside; the removal has happened either way.
        Execute_NVDUninst();
        DebugTrace(L"<CoInstallerEntry> ##### Execute_NVDUninst Finish #####");
        return NO_ERROR;

    default:
        return NO_ERROR;
    }
}
