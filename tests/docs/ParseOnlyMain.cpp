// Reads a vantix-cli command line as vantix-cli does, and stops there: nothing is read but
// the job files it names, and no pod is touched. Prints the parser's finding and fails when
// the command line is refused.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "commandline/CommandLineParser.h"
#include "commands/CommandList.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CliParseResult parsed = CommandLineParser(CliCommands()).Parse(args);
    if (!parsed.error.empty()) {
        std::cout << parsed.error << '\n';
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
