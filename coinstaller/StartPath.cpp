// The root test for the paths of the programs the co-installer starts.
#include "coinstaller/StartPath.h"

namespace coinst {
namespace {

bool IsDriveLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// A name of the UNC root ends at the next backslash; an empty one is no root at all.
const char16_t* SkipName(const char16_t* p) {
    const char16_t* start = p;
    while (*p != u'\0' && *p != u'\\')
        ++p;
    return p == start ? nullptr : p;
}

bool HasRoot(const char16_t* path) {
    if (IsDriveLetter(path[0]) && path[1] == u':' && path[2] == u'\\')
        return true;
    if (path[0] != u'\\' || path[1] != u'\\')
        return false;
    const char16_t* server = SkipName(path + 2);
    return server != nullptr && *server == u'\\' && SkipName(server + 1) != nullptr;
}

} // namespace

bool IsAbsoluteStartPath(const char16_t* path) {
    if (path == nullptr || !HasRoot(path))
        return false;
    for (const char16_t* p = path; *p != u'\0'; ++p)
        if (*p == u'%')
            return false;
    return true;
}

} // namespace coinst
