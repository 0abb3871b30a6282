// Writes the manual pages and the shell completions from the programs' option tables, so
// that they never name an option --help does not, nor miss one.
// Usage: vantix-docgen OUTPUT-FOLDER DATE
#include <cstdio>
#include <fstream>
#include <sstream>

#include "CompletionWriter.h"
#include "ManPageWriter.h"
#include "ProgramUsage.h"
#include "commandline/CommandLineParser.h"
#include "commands/CommandList.h"

namespace {

bool Write(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file) {
        std::fprintf(stderr, "vantix-docgen: cannot write %s\n", path.c_str());
    }
    return static_cast<bool>(file);
}

// The examples the manual gives must be command lines the program takes.
bool ExamplesParse(const ProgramUsage& usage) {
    bool sound = true;
    for (const UsageEntry& example : usage.examples) {
        std::istringstream lines(example.text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::vector<std::string> args;
            for (std::string word; words >> word;) {
                args.push_back(word);
            }
            args.erase(args.begin());
            const CliParseResult parsed = CommandLineParser(CliCommands()).Parse(args);
            if (!parsed.error.empty()) {
                std::fprintf(stderr, "vantix-docgen: example '%s': %s\n", line.c_str(),
                             parsed.error.c_str());
                sound = false;
            }
        }
    }
    return sound;
}

// podLister: the program whose "list" names the pods, as the completion calls it.
bool WriteProgram(const std::string& folder, const ProgramUsage& usage, const std::string& date,
                  const std::string& podLister) {
    const ValueChoices choices = Choices();
    const std::string source = std::string("Vantix ") + VANTIX_VERSION;
    return Write(folder + "/" + usage.name + ".1", ManPage(usage, date, source)) &&
           Write(folder + "/" + usage.name + ".bash", BashCompletion(usage, choices, podLister)) &&
           Write(folder + "/" + usage.name + ".fish", FishCompletion(usage, choices, podLister));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vantix-docgen OUTPUT-FOLDER DATE\n");
        return 2;
    }
    const ProgramUsage cli = CliUsage();
    if (!ExamplesParse(cli) || !WriteProgram(argv[1], cli, argv[2], "${words[0]}")) {
        return 1;
    }
#ifdef VANTIX_DOCGEN_WINDOW
    if (!WriteProgram(argv[1], WindowUsage(), argv[2], "vantix-cli")) {
        return 1;
    }
#endif
    return 0;
}
