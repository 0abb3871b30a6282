#include "run/OutputFailure.h"

#include <cerrno>
#include <cstring>

#include "run/StdoutBuffer.h"

std::string OutputFailure(std::ostream& out) {
    errno = 0;
    out.flush();
    if (out) {
        return {};
    }
    // The program's own standard output knows what the system said; another stream only
    // that it failed.
    const auto* stdoutBuffer = dynamic_cast<const StdoutBuffer*>(out.rdbuf());
    const int code = stdoutBuffer != nullptr && stdoutBuffer->Failure() != 0
                         ? stdoutBuffer->Failure()
                     : errno != 0 ? errno
                                  : EIO;
    const std::string name = stdoutBuffer != nullptr ? stdoutBuffer->Name() : std::string();
    return "cannot write the standard output" + (name.empty() ? "" : " (" + name + ")") + ": " +
           std::strerror(code);
}
