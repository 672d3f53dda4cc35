// Cipher tests that run once per path of CRijndael: the paths as test parameters, named after the
// path, skipped where this processor lacks one, and the path forced only for the test's duration.
#pragma once

#include "database/RijndaelPath.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace nvdb {

// Test names and failure messages show the path by name.
inline void PrintTo(RijndaelPath path, std::ostream* os) {
    *os << PathName(path);
}

} // namespace nvdb

namespace cipherpath {

// Forces a path for its lifetime, then puts back the one that was active.
class ForcedPath {
public:
    explicit ForcedPath(nvdb::RijndaelPath path)
        : m_before(nvdb::ActivePath()), m_forced(nvdb::ForcePath(path)) {}
    ~ForcedPath() { nvdb::ForcePath(m_before); }
    ForcedPath(const ForcedPath&) = delete;
    ForcedPath& operator=(const ForcedPath&) = delete;

    bool Forced() const { return m_forced; }

private:
    nvdb::RijndaelPath m_before;
    bool m_forced;
};

inline std::string TestName(nvdb::RijndaelPath path) {
    std::string name = nvdb::PathName(path);
    for (char& c : name)
        if (c == '-')
            c = '_';
    return name;
}

// The name generator of a suite instantiated over the paths.
inline std::string ParamName(const testing::TestParamInfo<nvdb::RijndaelPath>& param) {
    return TestName(param.param);
}

inline const auto kEveryPath = testing::ValuesIn(nvdb::kRijndaelPaths);

} // namespace cipherpath

// The first statement of a test body on `path`: skips the test where the processor lacks the path.
#define FORCE_RIJNDAEL_PATH_OR_SKIP(path)                                                                    \
    const cipherpath::ForcedPath forcedPath(path);                                                           \
    if (!forcedPath.Forced())                                                                                \
    GTEST_SKIP() << "this processor lacks the " << nvdb::PathName(path) << " path"
