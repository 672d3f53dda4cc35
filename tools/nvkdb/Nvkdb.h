// nvkdb: creates, fills and inspects template database files, standing in for the vendor's
// programs that own them. The whole tool is this one function, so tests can run it in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace nvkdb {

// Exit codes a script can rely on.
enum ExitCode {
    kOk = 0,
    kUsage = 1,     // unknown command or option, missing argument
    kBadValue = 2,  // an argument out of range or malformed (index, text over 32 units, SID, number)
    kFileError = 3, // a file could not be read or written
    kMalformed = 4, // the database file has the wrong size
};

// args without the program name. Output to out, messages ("nvkdb: ...") to err.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char kUsageText[];

} // namespace nvkdb
