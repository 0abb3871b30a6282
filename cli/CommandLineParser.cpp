#include "CommandLineParser.h"

#include <optional>

#include "CommandTable.h"

namespace {

const char* const kCpuChoices = "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803, 805, 807";

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> names;
    std::size_t begin = 0;
    while (begin <= list.size()) {
        std::size_t end = list.find(',', begin);
        if (end == std::string::npos) {
            end = list.size();
        }
        std::string name = Trim(list.substr(begin, end - begin));
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
        begin = end + 1;
    }
    return names;
}

}  // namespace

CliParseResult CommandLineParser::Parse(const std::vector<std::string>& args) {
    result_ = {};
    operands_.clear();
    used_.clear();
    cpuText_.clear();
    cpuGiven_ = false;

    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool ok = true;
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            operands_.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg[1] == '-') {
            ok = ParseLong(arg, args, i);
        } else {
            ok = ParseShort(arg);
        }
        if (!ok && !result_.options.help) {
            // Keep scanning only to learn whether help was asked for.
            for (std::size_t j = i + 1; j < args.size(); ++j) {
                if (args[j] == "--help" || args[j] == "-h") {
                    result_.options.help = true;
                }
            }
            if (!result_.options.help) {
                return result_;
            }
        }
    }
    Validate();
    return result_;
}

bool CommandLineParser::ParseLong(const std::string& arg, const std::vector<std::string>& args,
                                  std::size_t& i) {
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (const auto equals = arg.find('='); equals != std::string::npos) {
        name = arg.substr(0, equals);
        inlineValue = arg.substr(equals + 1);
    }
    const std::string* given = inlineValue ? &*inlineValue : nullptr;
    CliOptions& o = result_.options;

    struct Flag {
        const char* name;
        bool* target;
        bool value;
    };
    const Flag flags[] = {
        {"--simulate", &o.simulate, true},
        {"--sim-realtime", &o.simRealtime, true},
        {"--help", &o.help, true},
        {"--version", &o.version, true},
        {"--udev-rule", &o.udevRule, true},
        {"--json", &o.json, true},
        {"--strict", &o.strict, true},
        {"--erase-all-boot", &o.eraseAllBoot, true},
        {"--no-erase-all-boot", &o.eraseAllBoot, false},
        {"--reset-after", &o.resetAfter, true},
    };
    for (const Flag& flag : flags) {
        if (name == flag.name) {
            if (given) {
                return Fail("option '" + name + "' takes no value");
            }
            *flag.target = flag.value;
            if (name == "--json") {
                used_.push_back({name, kTakesJson});
            } else if (name == "--strict") {
                used_.push_back({name, kTakesStrict});
            } else if (name == "--erase-all-boot" || name == "--no-erase-all-boot") {
                used_.push_back({name, kTakesEraseAllBoot});
            } else if (name == "--reset-after") {
                used_.push_back({name, kTakesResetAfter});
            }
            return true;
        }
    }
    if (name == "--quiet") {
        o.verbosity = CliVerbosity::Quiet;
        return given ? Fail("option '--quiet' takes no value") : true;
    }
    if (name == "--verbose") {
        o.verbosity = CliVerbosity::Verbose;
        return given ? Fail("option '--verbose' takes no value") : true;
    }

    std::string value;
    if (name == "--sim-state") {
        return TakeValue(name, given, args, i, o.simStatePath);
    }
    if (name == "--sim-fill") {
        if (!TakeValue(name, given, args, i, value)) {
            return false;
        }
        const std::optional<SimFill> fill = SimFill::Parse(value);
        if (!fill) {
            return Fail("option '--sim-fill' wants erased, random or four hex digits, not '" +
                        value + "'");
        }
        o.simFill = *fill;
        o.simFillGiven = true;
        return true;
    }
    if (name == "--trace") {
        return TakeValue(name, given, args, i, o.tracePath);
    }
    if (name == "--cpu") {
        used_.push_back({name, kTakesCpu});
        cpuGiven_ = true;
        return TakeValue(name, given, args, i, cpuText_);
    }
    if (name == "--regions") {
        used_.push_back({name, kTakesRegions});
        if (!TakeValue(name, given, args, i, value)) {
            return false;
        }
        o.regions = SplitList(value);
        return true;
    }
    if (name == "--region") {
        used_.push_back({name, kTakesRegion});
        return TakeValue(name, given, args, i, o.dumpRegion);
    }
    return Fail("unknown option '" + name + "'");
}

bool CommandLineParser::ParseShort(const std::string& arg) {
    CliOptions& o = result_.options;
    for (std::size_t k = 1; k < arg.size(); ++k) {
        switch (arg[k]) {
            case 'q':
                o.verbosity = CliVerbosity::Quiet;
                break;
            case 'v':
                o.verbosity = CliVerbosity::Verbose;
                break;
            case 'h':
                o.help = true;
                break;
            default:
                return Fail("unknown option '-" + std::string(1, arg[k]) + "'");
        }
    }
    return true;
}

bool CommandLineParser::TakeValue(const std::string& name, const std::string* inlineValue,
                                  const std::vector<std::string>& args, std::size_t& i,
                                  std::string& value) {
    if (inlineValue) {
        value = *inlineValue;
        return true;
    }
    if (i + 1 >= args.size()) {
        return Fail("option '" + name + "' needs a value");
    }
    value = args[++i];
    return true;
}

bool CommandLineParser::Fail(std::string message) {
    if (result_.error.empty()) {
        result_.error = std::move(message);
    }
    return false;
}

void CommandLineParser::Validate() {
    CliOptions& o = result_.options;
    // Anything about the simulation means the simulated pod.
    if (o.simRealtime || !o.simStatePath.empty() || o.simFillGiven) {
        o.simulate = true;
    }
    if (!operands_.empty()) {
        const CommandSpec* spec = FindCommand(operands_.front());
        if (spec == nullptr) {
            result_.error = "unknown command '" + operands_.front() + "'";
            o.help = false;
            return;
        }
        o.command = spec->command;
        operands_.erase(operands_.begin());
    }
    if (o.command == CliCommand::Help) {
        // "help --help" is about the help command itself.
        o.helpTopic = o.help ? CliCommand::Help : CliCommand::None;
        o.help = true;
        if (!operands_.empty()) {
            const CommandSpec* topic = FindCommand(operands_.front());
            if (topic == nullptr) {
                result_.error = "unknown command '" + operands_.front() + "'";
                o.help = false;
                return;
            }
            o.helpTopic = topic->command;
        }
        return;
    }
    if (o.help) {
        o.helpTopic = o.command;
        result_.error.clear();
        return;
    }
    if (o.version || o.udevRule || !result_.error.empty()) {
        return;
    }
    if (o.command == CliCommand::None) {
        result_.error = "no command given";
        return;
    }
    const CommandSpec& spec = SpecOf(o.command);
    ValidateCommandOptions(spec.options, spec.name);
    if (result_.error.empty()) {
        ValidateOperands();
    }
}

void CommandLineParser::ValidateCommandOptions(unsigned accepted, const char* commandName) {
    for (const CommandOptionUse& use : used_) {
        if ((accepted & use.kind) == 0) {
            Fail("unknown option '" + use.name + "' for '" + commandName + "'");
            return;
        }
    }
}

void CommandLineParser::ValidateOperands() {
    CliOptions& o = result_.options;
    const CommandSpec& spec = SpecOf(o.command);
    const std::size_t wanted = spec.needsFile ? 1 : 0;
    if (operands_.size() > wanted) {
        Fail("unexpected argument '" + operands_[wanted] + "' for '" + spec.name + "'");
        return;
    }
    if (!spec.needsFile) {
        return;
    }
    if (operands_.empty()) {
        Fail(std::string("'") + spec.name + "' needs FILE, the S-record file");
        return;
    }
    o.file = operands_.front();
    if (!cpuGiven_) {
        Fail(std::string("'") + spec.name + "' needs --cpu CPU (" + kCpuChoices + ")");
        return;
    }
    o.cpu = CpuFromName(cpuText_);
    if (!o.cpu) {
        Fail("unknown CPU '" + cpuText_ + "': use " + kCpuChoices);
    }
}
