#include "CommandLineParser.h"

#include <algorithm>

#include "CliHelpFormatter.h"
#include "CommandTable.h"

namespace {

const char* const kCpuChoices = "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803, 805, 807";
const char* const kGlobalGroup = "Options (before or after COMMAND)";

const char* const kToolDescription =
    "Programs the flash of Motorola DSP56F801/803/805/807 controllers through the USB\n"
    "programming pod, for scripts and production lines.";

const char* const kToolFooter =
    R"(CPU is DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803, 805, 807, in any
letter case. Messages and progress go to stderr, data (info, dump, list, pod-info)
to stdout. "COMMAND --help" shows a command's options.

A job file (--config FILE) holds options as "name = value" lines, INI or TOML: those
at the top apply to every command, those under [COMMAND] to that command only, and
the command line overrides both. Quote values with spaces or commas.

Exit status:
  0    success
  1    the operation ran and failed (an error result, a failed reset)
  2    command-line or input error (unknown option, unreadable file, no data,
       a DSP56F801 image for the pod, an unknown region, --strict findings)
  3    the pod cannot be reached (no driver library, no pod, open failure)
  130  interrupted (Ctrl+C); the pod is closed first

Example:
  vantix-cli write firmware.s --cpu 807 --reset-after)";

constexpr CommandOption kCommandOptions[] = {kTakesCpu,       kTakesJson,   kTakesStrict,
                                             kTakesRegions,   kTakesRegion, kTakesEraseAllBoot,
                                             kTakesResetAfter};

// A flag that only counts, with no variable behind it.
CLI::Option* AddFlag(CLI::App& app, const char* names, const std::string& description) {
    return app.add_flag(names, description);
}

// Registers one command option on a command, or (hidden) on the tool itself, where it
// catches the option before the command and at the top of a job file.
CLI::Option* AddCommandOption(CLI::App& app, CommandOption option) {
    switch (option) {
        case kTakesCpu:
            return app
                .add_option("--cpu", CLI::callback_t{},
                            "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803,\n"
                            "805, 807, in any letter case")
                ->type_name("CPU");
        case kTakesJson:
            return AddFlag(app, "--json", "print one JSON object instead (see above)");
        case kTakesStrict:
            return AddFlag(app, "--strict",
                           "refuse a file with reader warnings (bad checksums, malformed\n"
                           "records, words outside the CPU's flash): exit 2, before the\n"
                           "pod is touched");
        case kTakesRegions:
            // A job file may give the list as an array; its items join up again.
            return app
                .add_option("--regions", CLI::callback_t{},
                            "comma-separated region names to process (PFLASH, P2FLASH,\n"
                            "BFLASH, DFLASH, any letter case); default: every region the\n"
                            "file fills. The regions always go in the order DFLASH,\n"
                            "PFLASH, P2FLASH, BFLASH.")
                ->type_name("LIST")
                ->delimiter(',')
                ->multi_option_policy(CLI::MultiOptionPolicy::Join);
        case kTakesRegion:
            return app
                .add_option("--region", CLI::callback_t{},
                            "PFLASH, P2FLASH, BFLASH or DFLASH (a region the file fills);\n"
                            "default: the first region info lists")
                ->type_name("NAME");
        case kTakesEraseAllBoot:
            return AddFlag(app, "--erase-all-boot,!--no-erase-all-boot",
                           "erase the whole boot flash before writing BFLASH (default),\n"
                           "or only the boot flash pages the image touches");
        case kTakesResetAfter:
            return AddFlag(app, "--reset-after", "reset the target board after success");
    }
    return nullptr;
}

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

// "--name=value" and "-x" name options; "-" alone is a file (stdin by convention).
bool IsOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && arg != "--";
}

std::string NameOf(const std::string& arg) {
    return arg.substr(0, arg.find('='));
}

bool OnCommandLine(const CLI::App& app, const CLI::Option* option) {
    const auto& order = app.parse_order();
    return option != nullptr && std::find(order.begin(), order.end(), option) != order.end();
}

// Where a command option's value comes from: the command line beats the job file, and the
// command's own option (after it, or under its [section]) the tool-wide one.
const CLI::Option* Effective(const CLI::App& tool, const CLI::App& command,
                             const std::string& name) {
    const CLI::Option* own = command.get_option_no_throw(name);
    const CLI::Option* wide = tool.get_option_no_throw(name);
    if (OnCommandLine(command, own)) {
        return own;
    }
    if (OnCommandLine(tool, wide)) {
        return wide;
    }
    if (own != nullptr && own->count() > 0) {
        return own;
    }
    return wide != nullptr && wide->count() > 0 ? wide : nullptr;
}

}  // namespace

CommandLineParser::CommandLineParser()
    : app_(std::make_unique<CLI::App>(kToolDescription, "vantix-cli")) {
    CLI::App& app = *app_;
    // Set before the commands are added, which inherit them.
    app.formatter(std::make_shared<CliHelpFormatter>());
    app.set_help_flag();  // help is an ordinary flag here: it must win over every error
    app.allow_extras();   // leftovers are reported in this tool's words
    app.allow_windows_style_options(false);  // "/path" is a file on every system
    app.allow_config_extras(CLI::config_extras_mode::error);
    app.fallthrough();
    app.require_subcommand(0, 1);
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.footer(kToolFooter);
    AddGlobalOptions();
    for (const CommandOption option : kCommandOptions) {
        AddCommandOption(app, option)->group("");
    }
    for (const CommandSpec& spec : Commands()) {
        AddCommand(spec);
    }
}

CommandLineParser::~CommandLineParser() = default;

void CommandLineParser::AddGlobalOptions() {
    CLI::App& app = *app_;
    CliOptions& o = result_.options;
    app.add_flag("--simulate", o.simulate,
                 "use the simulated pod, at instant pace, instead of a real one");
    app.add_flag("--sim-realtime", o.simRealtime,
                 "pace the simulated pod by its timing model on the real clock\n"
                 "(implies --simulate)");
    app.add_option("--sim-state", o.simStatePath,
                   "keep the simulated target memory and pod EEPROM in PATH\n"
                   "between runs (created when absent; implies --simulate)")
        ->type_name("PATH");
    app.add_option("--trace", o.tracePath,
                   "write every transfer on the wire to PATH, one line each:\n"
                   "\"> 02 49 03\" sent, \"< 21\" received")
        ->type_name("PATH");
    app.set_config("--config", "", "read further options from FILE, an INI or TOML job file")
        ->type_name("FILE");
    app.add_flag("-q,--quiet", quiet_, "print errors only");
    app.add_flag("-v,--verbose", verbose_, "also print the transfers on stderr");
    app.add_flag("-h,--help", o.help, "show this text; \"COMMAND --help\" shows the command's");
    app.add_flag("--version", o.version, "print the version");
    app.add_flag("--udev-rule", o.udevRule,
                 "print the udev rule that gives users access to the pod");
    for (CLI::Option* option : app.get_options()) {
        option->group(kGlobalGroup);
    }
}

void CommandLineParser::AddCommand(const CommandSpec& spec) {
    CLI::App* command = app_->add_subcommand(spec.name, spec.description);
    command->group("Commands");
    command->footer(std::string("Example:\n  ") + spec.example);
    if (spec.needsFile) {
        command->add_option("FILE", CLI::callback_t{}, "the S-record file");
    }
    if (spec.command == CliCommand::Help) {
        command->add_option("COMMAND", CLI::callback_t{}, "the command to explain");
    }
    for (const CommandOption option : kCommandOptions) {
        if ((spec.options & option) != 0) {
            AddCommandOption(*command, option);
        }
    }
}

CliParseResult CommandLineParser::Parse(const std::vector<std::string>& args) {
    result_ = {};
    quiet_ = false;
    verbose_ = false;
    finding_.clear();
    findingAt_ = args.size();

    std::vector<std::string> reversed = Prepare(args);
    std::reverse(reversed.begin(), reversed.end());
    try {
        app_->parse(reversed);
    } catch (const CLI::ArgumentMismatch&) {
        // The only way to run short of a value: the option ends the command line.
        Note(args.size() - 1, "option '" + NameOf(args.back()) + "' needs a value");
    } catch (const CLI::FileError&) {
        Note(0, "cannot read the job file " + app_->get_config_ptr()->as<std::string>());
    } catch (const CLI::ConfigError& error) {
        // CLI11 names a key it does not know in words of its own.
        const std::string what = error.what();
        const std::string unknown = "INI was not able to parse ";
        Note(0, "in the job file " + app_->get_config_ptr()->as<std::string>() + ": " +
                    (what.rfind(unknown, 0) == 0
                         ? "unknown option '" + what.substr(unknown.size()) + "'"
                         : what));
    } catch (const CLI::ParseError& error) {
        Note(0,
             "in the job file " + app_->get_config_ptr()->as<std::string>() + ": " + error.what());
    }
    ReadGlobals();
    CliOptions& o = result_.options;

    const std::vector<CLI::App*> chosen = app_->get_subcommands();
    const CLI::App* command = chosen.empty() ? nullptr : chosen.front();
    std::string stray;
    for (const std::string& left : app_->remaining(true)) {
        if (IsOption(left)) {
            const auto at = std::find(args.begin(), args.end(), left) - args.begin();
            Note(static_cast<std::size_t>(at), "unknown option '" + NameOf(left) + "'");
        } else if (left != "--" && stray.empty()) {
            stray = left;
        }
    }
    o.help = o.help || AskedForHelp(args);
    if (!finding_.empty() && !o.help) {
        result_.error = finding_;
        return result_;
    }
    // An unknown command is reported even when help was asked for: help about what?
    if (command == nullptr && !stray.empty()) {
        result_.error = "unknown command '" + stray + "'";
        o.help = false;
        return result_;
    }
    if (command != nullptr && command->get_name() == "help") {
        // "help --help" is about the help command itself.
        o.helpTopic = o.help ? CliCommand::Help : CliCommand::None;
        o.help = true;
        const CLI::Option* topic = command->get_option("COMMAND");
        if (topic->count() > 0) {
            const CommandSpec* spec = FindCommand(topic->as<std::string>());
            if (spec == nullptr) {
                result_.error = "unknown command '" + topic->as<std::string>() + "'";
                o.help = false;
                return result_;
            }
            o.helpTopic = spec->command;
        }
        return result_;
    }
    if (o.help) {
        o.helpTopic =
            command != nullptr ? FindCommand(command->get_name())->command : CliCommand::None;
        return result_;
    }
    if (o.version || o.udevRule) {
        return result_;
    }
    if (command == nullptr) {
        result_.error = "no command given";
        return result_;
    }
    o.command = FindCommand(command->get_name())->command;
    ReadCommand(*command, args);
    if (result_.error.empty() && !stray.empty()) {
        result_.error = "unexpected argument '" + stray + "' for '" + command->get_name() + "'";
    }
    if (!result_.error.empty()) {
        return result_;
    }
    const CommandSpec& spec = SpecOf(o.command);
    if (!spec.needsFile) {
        return result_;
    }
    const CLI::Option* file = command->get_option("FILE");
    if (file->count() == 0) {
        result_.error = std::string("'") + spec.name + "' needs FILE, the S-record file";
        return result_;
    }
    o.file = file->as<std::string>();
    const CLI::Option* cpu = Effective(*app_, *command, "--cpu");
    if (cpu == nullptr) {
        result_.error = std::string("'") + spec.name + "' needs --cpu CPU (" + kCpuChoices + ")";
        return result_;
    }
    const std::string cpuText = cpu->as<std::string>();
    o.cpu = CpuFromName(cpuText);
    if (!o.cpu) {
        result_.error = "unknown CPU '" + cpuText + "': use " + kCpuChoices;
    }
    return result_;
}

std::vector<std::string> CommandLineParser::Prepare(const std::vector<std::string>& args) {
    // CLI11 reads "--name=" as "--name" followed by the next argument; here it is an empty
    // value. A flag given a value is refused, as CLI11 would take "--json=no" for false.
    std::vector<std::string> prepared;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        optionsEnded = optionsEnded || arg == "--";
        const std::size_t equals = arg.find('=');
        const CLI::Option* option = nullptr;
        if (!optionsEnded && arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            option = app_->get_option_no_throw(arg.substr(0, equals));
        }
        if (option == nullptr) {
            prepared.push_back(arg);
        } else if (option->get_expected_max() == 0) {
            Note(i, "option '" + arg.substr(0, equals) + "' takes no value");
            prepared.push_back(arg.substr(0, equals));
        } else if (equals + 1 == arg.size()) {
            prepared.push_back(arg.substr(0, equals));
            prepared.emplace_back();
        } else {
            prepared.push_back(arg);
        }
    }
    return prepared;
}

void CommandLineParser::ReadGlobals() {
    CliOptions& o = result_.options;
    // Anything about the simulation means the simulated pod.
    if (o.simRealtime || !o.simStatePath.empty()) {
        o.simulate = true;
    }
    // Of --quiet and --verbose the later one wins.
    const CLI::Option* quiet = app_->get_option("--quiet");
    const CLI::Option* verbose = app_->get_option("--verbose");
    o.verbosity = quiet_     ? CliVerbosity::Quiet
                  : verbose_ ? CliVerbosity::Verbose
                             : CliVerbosity::Normal;
    for (const CLI::Option* option : app_->parse_order()) {
        if (option == quiet) {
            o.verbosity = CliVerbosity::Quiet;
        } else if (option == verbose) {
            o.verbosity = CliVerbosity::Verbose;
        }
    }
}

void CommandLineParser::ReadCommand(const CLI::App& command, const std::vector<std::string>& args) {
    CliOptions& o = result_.options;
    // A command option the command does not take, given on the command line, is refused in
    // the words the user typed it.
    for (const CLI::Option* option : app_->parse_order()) {
        // Hidden options have no name to show, only the names they answer to.
        if (option->get_group().empty() &&
            command.get_option_no_throw("--" + option->get_lnames().front()) == nullptr) {
            for (const std::string& arg : args) {
                if (IsOption(arg) && option->check_name(NameOf(arg))) {
                    result_.error =
                        "unknown option '" + NameOf(arg) + "' for '" + command.get_name() + "'";
                    return;
                }
            }
        }
    }
    if (const CLI::Option* regions = Effective(*app_, command, "--regions")) {
        o.regions = SplitList(regions->as<std::string>());
    }
    if (const CLI::Option* region = Effective(*app_, command, "--region")) {
        o.dumpRegion = region->as<std::string>();
    }
    const auto flag = [&](const char* name, bool fallback) {
        const CLI::Option* option = Effective(*app_, command, name);
        if (option == nullptr) {
            return fallback;
        }
        try {
            return option->as<bool>();
        } catch (const CLI::ConversionError&) {
            // Only a job file can say "json = maybe".
            result_.error = std::string("option '") + name + "' takes true or false";
            return fallback;
        }
    };
    o.json = flag("--json", false);
    o.strict = flag("--strict", false);
    o.eraseAllBoot = flag("--erase-all-boot", true);
    o.resetAfter = flag("--reset-after", false);
}

bool CommandLineParser::AskedForHelp(const std::vector<std::string>& args) const {
    // Arguments after an error were never read; help among them still counts.
    for (const std::string& arg : args) {
        if (arg == "--") {
            break;
        }
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

void CommandLineParser::Note(std::size_t position, std::string message) {
    if (finding_.empty() || position < findingAt_) {
        findingAt_ = position;
        finding_ = std::move(message);
    }
}

std::string CommandLineParser::Help(CliCommand topic) const {
    if (topic == CliCommand::None) {
        return app_->help();
    }
    return app_->get_subcommand(SpecOf(topic).name)->help("vantix-cli");
}
