// The few functions of oleacc.dll and comctl32.dll that the presentation layer calls, taken from
// the System32 copies on first use rather than imported: an import is resolved before the
// program's first instruction, through a search that starts in the program's folder, where
// anybody who can write that folder (a Downloads folder, an unzipped release) can put a DLL of
// the same name. Both are loaded after the entry has restricted the search to System32, so their
// own imports (uxtheme.dll among them) come from there as well. A call whose DLL or function could
// not be had fails the way the function reports failure.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

namespace nvui {

//--- oleacc.dll

// CreateStdAccessibleObject; HRESULT_FROM_WIN32 of the load error when oleacc is not there.
HRESULT CreateStandardAccessible(HWND hwnd, LONG objectId, REFIID riid, void** object);

// LresultFromObject; a negative HRESULT when oleacc is not there.
LRESULT ResultFromAccessible(REFIID riid, WPARAM wParam, IUnknown* object);

//--- comctl32.dll (the version 6 of the program's manifest, where there is one)

// InitCommonControlsEx with the given classes; false when it failed or comctl32 is not there.
bool InitCommonControlClasses(DWORD classes);

// SetWindowSubclass, RemoveWindowSubclass and DefSubclassProc. Without comctl32 nothing is
// subclassed (FALSE), so DefSubclassProc is never reached for such a window.
BOOL SetSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data);
BOOL RemoveSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id);
LRESULT DefaultSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace nvui
