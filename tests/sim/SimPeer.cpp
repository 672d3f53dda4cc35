// A second program of the prefix for the simulator's tests: reports, on standard output, what
// the program's own biometric wrapper sees from where it was started.
//   sim_peer module   -> "<hr of EnumSensors> <unit count> <path of the winbio.dll in use>"
//   sim_peer count    -> "<hr of EnumFingerPrint> <number of enrolled fingers>"
//   sim_peer all      -> the load result, then the HRESULT of every operation, one a line
#include "biometric/WbfInfo.h"
#include "biometric/WinBioTable.h"

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const std::wstring command = argv[1];
    CWbfInfo wbf;
    if (command == L"module") {
        SIZE_T count = 0;
        WINBIO_UNIT_ID unit = 0;
        const HRESULT hr = wbf.EnumSensors(&count, &unit);
        wchar_t path[MAX_PATH] = L"";
        WinBioModulePath(path, MAX_PATH);
        std::printf("0x%08lX %llu %ls\n", static_cast<unsigned long>(hr),
                    static_cast<unsigned long long>(count), path);
        return 0;
    }
    if (command == L"count") {
        FingerFlags flags = {};
        const HRESULT hr = wbf.EnumFingerPrint(flags);
        int enrolled = 0;
        for (int flag : flags)
            enrolled += flag;
        std::printf("0x%08lX %d\n", static_cast<unsigned long>(hr), enrolled);
        return 0;
    }
    if (command == L"all") {
        FingerFlags flags = {};
        SIZE_T count = 0;
        WINBIO_UNIT_ID unit = 0;
        const HRESULT results[] = {WinBioLoadResult(),         wbf.EnumSensors(&count, &unit),
                                   wbf.OpenSession(),          wbf.EnrollFingerPrint_WithCallback(0xF5),
                                   wbf.EnrollCommit(),         wbf.IdentifyFingerPrint_WithCallback(),
                                   wbf.CancelOperation(),      wbf.CloseSession(),
                                   wbf.EnumFingerPrint(flags), wbf.DeleteAll()};
        for (HRESULT hr : results)
            std::printf("0x%08lX\n", static_cast<unsigned long>(hr));
        return 0;
    }
    return 2;
}
