#pragma once

#include <ostream>

class ConsoleUi;
struct CliEnvironment;

// What a command runs in: the process around it, its console (stderr) and its two streams.
struct CliContext {
    const CliEnvironment& environment;
    ConsoleUi& ui;
    std::ostream& out;
    std::ostream& err;
};
