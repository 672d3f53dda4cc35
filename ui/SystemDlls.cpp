// oleacc.dll and comctl32.dll from System32, loaded once each on first use.
#include "ui/SystemDlls.h"

#include "base/SystemLibrary.h"

#include <cstddef>

// The record InitCommonControlsEx reads: its size field says 8.
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8 && offsetof(INITCOMMONCONTROLSEX, dwICC) == 4,
              "INITCOMMONCONTROLSEX layout");

namespace nvui {
namespace {

// FARPROC to the exact function type: the one conversion a DLL export needs.
template <typename Function> Function Export(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

// Why a DLL could not be had, for the callers that report an HRESULT.
HRESULT LoadFailure(DWORD error) {
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// The modules stay loaded for the rest of the process: objects and subclassed windows made
// through them may outlive any owner we could give them.
struct Oleacc {
    decltype(&CreateStdAccessibleObject) createStdAccessibleObject = nullptr;
    decltype(&LresultFromObject) lresultFromObject = nullptr;
    DWORD loadError = 0;

    Oleacc() {
        HMODULE module = nvwin::LoadSystemLibrary(L"oleacc.dll", nvwin::kSystemLibraryLoader, L"SystemDlls");
        if (!module)
            loadError = GetLastError();
        createStdAccessibleObject =
            Export<decltype(createStdAccessibleObject)>(module, "CreateStdAccessibleObject");
        lresultFromObject = Export<decltype(lresultFromObject)>(module, "LresultFromObject");
    }
};

struct CommonControls {
    decltype(&InitCommonControlsEx) initCommonControlsEx = nullptr;
    decltype(&SetWindowSubclass) setWindowSubclass = nullptr;
    decltype(&RemoveWindowSubclass) removeWindowSubclass = nullptr;
    decltype(&DefSubclassProc) defSubclassProc = nullptr;

    CommonControls() {
        // The activation context of the program's manifest still picks the version 6 assembly:
        // that redirection comes before any folder is searched.
        HMODULE module =
            nvwin::LoadSystemLibrary(L"comctl32.dll", nvwin::kSystemLibraryLoader, L"SystemDlls");
        initCommonControlsEx = Export<decltype(initCommonControlsEx)>(module, "InitCommonControlsEx");
        setWindowSubclass = Export<decltype(setWindowSubclass)>(module, "SetWindowSubclass");
        removeWindowSubclass = Export<decltype(removeWindowSubclass)>(module, "RemoveWindowSubclass");
        defSubclassProc = Export<decltype(defSubclassProc)>(module, "DefSubclassProc");
    }
};

const Oleacc& OleaccDll() {
    static const Oleacc dll;
    return dll;
}

const CommonControls& CommonControlsDll() {
    static const CommonControls dll;
    return dll;
}

} // namespace

HRESULT CreateStandardAccessible(HWND hwnd, LONG objectId, REFIID riid, void** object) {
    const Oleacc& dll = OleaccDll();
    if (!dll.createStdAccessibleObject) {
        *object = nullptr;
        return LoadFailure(dll.loadError);
    }
    return dll.createStdAccessibleObject(hwnd, objectId, riid, object);
}

LRESULT ResultFromAccessible(REFIID riid, WPARAM wParam, IUnknown* object) {
    const Oleacc& dll = OleaccDll();
    if (!dll.lresultFromObject)
        return LoadFailure(dll.loadError);
    return dll.lresultFromObject(riid, wParam, object);
}

bool InitCommonControlClasses(DWORD classes) {
    const CommonControls& dll = CommonControlsDll();
    if (!dll.initCommonControlsEx)
        return false;
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = classes;
    return dll.initCommonControlsEx(&controls) != FALSE;
}

BOOL SetSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
    const CommonControls& dll = CommonControlsDll();
    return dll.setWindowSubclass ? dll.setWindowSubclass(hwnd, proc, id, data) : FALSE;
}

BOOL RemoveSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id) {
    const CommonControls& dll = CommonControlsDll();
    return dll.removeWindowSubclass ? dll.removeWindowSubclass(hwnd, proc, id) : FALSE;
}

LRESULT DefaultSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const CommonControls& dll = CommonControlsDll();
    return dll.defSubclassProc ? dll.defSubclassProc(hwnd, message, wParam, lParam)
                               : DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace nvui
