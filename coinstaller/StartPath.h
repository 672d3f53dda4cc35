// Whether an expanded path may be handed to the system to start a program. Portable so that every
// shape of path is tested under the sanitizers.
#pragma once

namespace coinst {

// True when path stands on a root of its own: a drive ("C:\...") or a UNC share
// ("\\server\share..."), with no '%' left over from an expansion. Anything else (a relative path,
// "C:x", "\x", an unexpanded variable) would be resolved against the current folder of whoever
// called the device installer, and what is started there runs with the installer's rights.
bool IsAbsoluteStartPath(const char16_t* path);

} // namespace coinst
