// pwcn: writes a password hand-off file (pwcn.dat) for a user name and password, as the vendor's
// program does, and malformed ones for tests. The tool is this one function.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace pwcn {

enum ExitCode {
    kOk = 0,
    kUsage = 1,     // unknown option, missing argument
    kBadValue = 2,  // malformed number or text, text too long for its field
    kFileError = 3, // the file could not be written
};

// args without the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char kUsageText[];

} // namespace pwcn
