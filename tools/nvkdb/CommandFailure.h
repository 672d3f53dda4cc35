// How a command of the tools fails: it throws a Failure with the exit code and the message, and
// the tool's Run turns that, or any other exception, into one "tool: message" line.
#pragma once

#include <exception>
#include <ostream>
#include <string>

namespace nvtools {

struct Failure {
    int code;
    std::string message;
};

// The command's exit code; a failure is reported on `err`, and an unexpected exception (a
// stream or allocation error) ends with `otherCode`.
template <typename Command>
int RunReportingFailure(const char* tool, int otherCode, std::ostream& err, Command&& command) {
    try {
        return command();
    } catch (const Failure& failure) {
        err << tool << ": " << failure.message << "\n";
        return failure.code;
    } catch (const std::exception& e) {
        err << tool << ": " << e.what() << "\n";
        return otherCode;
    }
}

} // namespace nvtools
