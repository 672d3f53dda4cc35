// What the co-installer does around the driver's installation and removal: start the vendor's
// service program, run the vendor's uninstaller.
#pragma once

#include <windows.h>

#include <cstddef>

// Expanded paths and the uninstaller's command line live in buffers of this many units.
constexpr std::size_t kPathBufferUnits = 256;

// <Program Files>\tail into path, the 64-bit Program Files folder taken from the shell's known
// folders. False, with path emptied, when the folder is not known or the path does not fit with
// its terminator: such a path is never used.
bool ProductPath(const wchar_t* tail, wchar_t (&path)[kPathBufferUnits]);

namespace Installer {

// What follows a successful installation: traces its banner and runs Run_NVDService. Always 1.
int Setup();

// Starts <Program Files>\NorvikFP\NVDService.exe hidden in its folder, when it is there and its
// path is absolute and not on the network, asking for no error box, and does not wait for it.
// Always 1.
int Run_NVDService();

} // namespace Installer

// Runs <Program Files>\NorvikFP\NVDUninst.exe with "/s /DEL_UNINSTALL_REG" in the system
// directory and waits up to ten seconds for it. 0 when it was started, 1 when it could not be (or
// its path is not absolute, or on the network).
int Execute_NVDUninst();
