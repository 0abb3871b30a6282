#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "run/CliEnvironment.h"

// The whole command line: args without the program name; data on out, messages on err.
// Returns the exit status (CliExit.h).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment = {});
