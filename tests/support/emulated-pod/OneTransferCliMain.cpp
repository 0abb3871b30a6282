// vantix-cli whose libftdi1 backend keeps a single bulk IN transfer pending instead of two, for
// the tests and benchmarks that set the two against each other on a stalled or busy host.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "LibFtdiBus.h"
#include "LibFtdiLibrary.h"
#include "RunCli.h"

int main(int argc, char** argv) {
    CliEnvironment environment;
    environment.makeBackend = [](const BackendOptions& options, Clock& clock) {
        if (options.simulate) {
            return MakeD2xxBackend(options, clock);
        }
        D2xxBackend backend;
        backend.library = std::make_unique<LibFtdiLibrary>(
            clock, [](std::string& error) -> std::unique_ptr<FtdiBus> {
                return LibFtdiBus::Create(error, 1);
            });
        return backend;
    };
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunCli(args, std::cout, std::cerr, environment);
}
