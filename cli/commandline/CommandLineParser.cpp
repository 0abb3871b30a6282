#include "commandline/CommandLineParser.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Utf8Path.h"
#include "commandline/CliHelpFormatter.h"
#include "commandline/CommandTable.h"
#include "records/SystemReason.h"

namespace {

const char* const kCpuChoices = "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803, 805, 807";
const char* const kGlobalGroup = "Options (before or after COMMAND)";
const char* const kGlobalPointer =
    "Global options (--pod, --log, --config, --simulate, --board-id, --quiet, ...) go\n"
    "before or after COMMAND: see 'vantix-cli --help'.";
constexpr int kMaxSimulatedPods = 64;

const char* const kToolDescription =
    "Programs the flash of Motorola DSP56F801/803/805/807 controllers through the USB\n"
    "programming pod, for scripts and production lines.";

const char* const kToolFooter =
    R"(Messages and progress go to stderr, data (info, dump, list, pod-info) to stdout.
A job file holds "name = value" lines: at the top for every command, under [COMMAND]
for that command; the command line overrides it. Quote values with blanks or commas.
Every flag has a --no-FLAG form that switches it off (--no-reset-after).

Exit status:
  0    success
  1    the operation ran and failed (an error result, a failed reset)
  2    command-line or input error (unknown option, unreadable file, no data,
       a DSP56F801 image for the pod, an unknown region, --strict findings,
       an output that is an input, several pods attached and no --pod)
  3    the pod cannot be reached (no driver library, no pod, open failure, the
       pod in use by another process; list: no FTDI device attached); with
       --repeat, a pod that has gone ends the run with 3
  4    the board ran, but its record could not be appended to the --log file
  130  interrupted (Ctrl+C); 143 SIGTERM, 129 SIGHUP; the pod is closed first

Example:
  vantix-cli write firmware.s --cpu 807 --reset-after

A serialised production run: stations share the counter and the log.
  vantix-cli write-verify firmware.s --cpu 807 --serial-at PFLASH:7FF0 \
    --serial-counter /srv/line/serial.txt --repeat --log /srv/line/boards.jsonl)";

// The options commands take, in the order their help lists them; a flag has no TYPE.
struct CommandOptionSpec {
    CommandOption bit;
    const char* names;
    const char* type;
    const char* description;
};

constexpr CommandOptionSpec kCommandOptions[] = {
    {kTakesCpu, "--cpu", "CPU",
     "DSP56F801, DSP56F803, DSP56F805, DSP56F807 or 801, 803,\n805, 807, in any letter case; a "
     "DSP56F801 file is read and\nviewed (info, dump), never programmed"},
    {kTakesRegion, "--region", "NAME",
     "PFLASH, P2FLASH, BFLASH or DFLASH (a region the file fills);\n"
     "default: the first region info lists"},
    {kTakesRegions, "--regions", "LIST",
     "comma-separated region names to process (PFLASH, P2FLASH,\n"
     "BFLASH, DFLASH, any letter case); default: every region the\n"
     "file fills (erase, blank-check: every region of the CPU's\n"
     "map). The regions always go in the order DFLASH, PFLASH,\nP2FLASH, BFLASH."},
    {kTakesEraseAllBoot, "--erase-all-boot,!--no-erase-all-boot", nullptr,
     "erase the whole boot flash before writing BFLASH (default),\n"
     "or only the boot flash pages the image touches"},
    {kTakesResetAfter, "--reset-after,!--no-reset-after", nullptr,
     "reset the target board after success"},
    {kTakesJson, "--json,!--no-json", nullptr,
     "print one JSON object on stdout: info's and list's listing, or\n"
     "the record of the run when a pod command ends, whatever the\n"
     "outcome (command, file, sha256, cpu, regions with crc32, pod,\n"
     "result, status, seconds, exit)"},
    {kTakesRepeat, "--repeat,!--no-repeat", nullptr,
     "board after board: after each one wait for Enter (q or the end\n"
     "of the input stops), print the tally \"boards: N passed, M\n"
     "failed\" and run again; exit 0 when every board passed. A line\n"
     "typed before Enter (a scanned barcode) is the next board's id;\n"
     "on a terminal, what is typed while a board runs is thrown\n"
     "away (piped input is read as given). A pod that has gone ends\nthe run with 3"},
    {kTakesSerialAt, "--serial-at", "REGION:ADDRESS",
     "write each board's serial number into the word at ADDRESS\n"
     "(hex) of REGION, patched into the loaded image (the file is\n"
     "not changed); refused when a record of the file fills it"},
    {kTakesSerialAt, "--serial-words", "1|2",
     "width of the serial number: 1 word (default) or 2, low word\nfirst"},
    {kTakesSerialAt, "--serial-overwrite,!--no-serial-overwrite", nullptr,
     "let the serial number replace words the file fills"},
    {kTakesSerialSource, "--serial-counter", "FILE",
     "take each number from FILE, a text file holding the next\n"
     "number, which stations may share; taken under a lock and\n"
     "written back before the board is touched, never reused"},
    {kTakesSerialSource, "--serial-start", "N",
     "number the boards of this run N, N+1, ... (--repeat)"},
    {kTakesSerialValue, "--serial-value", "N",
     "the serial number the board should hold at --serial-at"},
    {kTakesStrict, "--strict,!--no-strict", nullptr,
     "refuse a file with reader warnings (bad checksums, malformed\n"
     "records, words outside the CPU's flash): exit 2, before the\npod is touched"},
};

void SkipByteOrderMark(std::istream& input) {
    const std::istream::pos_type start = input.tellg();
    char mark[3] = {};
    if (!input.read(mark, 3) || mark[0] != '\xEF' || mark[1] != '\xBB' || mark[2] != '\xBF') {
        input.clear();
        input.seekg(start);
    }
}

// Job files as CLI11 reads them, but a UTF-8 byte-order mark in front (which Windows
// editors write) is not part of the first key.
class JobFileFormat : public CLI::ConfigTOML {
public:
    std::vector<CLI::ConfigItem> from_config(std::istream& input) const override {
        SkipByteOrderMark(input);
        return CLI::ConfigTOML::from_config(input);
    }
};

// Registers one command option on a command, or (hidden) on the tool itself, where it
// catches the option before the command and at the top of a job file.
CLI::Option* AddCommandOption(CLI::App& app, const CommandOptionSpec& spec) {
    const std::string description = spec.description;
    if (spec.type == nullptr) {
        return app.add_flag(spec.names, description);
    }
    CLI::Option* option = app.add_option(spec.names, CLI::callback_t{}, description);
    if (spec.bit == kTakesRegions) {
        // Every name counts, however the list is split: "A,B", a job file's array.
        option->delimiter(',')->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
    return option->type_name(spec.type);
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
    if (own == nullptr) {
        return nullptr;  // the command does not take it: a job file's top level is for others
    }
    const CLI::Option* wide = tool.get_option_no_throw(name);
    for (const CLI::Option* option : {OnCommandLine(command, own) ? own : nullptr,
                                      OnCommandLine(tool, wide) ? wide : nullptr, own, wide}) {
        if (option != nullptr && option->count() > 0) {
            return option;
        }
    }
    return nullptr;
}

void Note(std::string& finding, const std::string& message) {
    if (finding.empty()) {
        finding = message;
    }
}

std::string EmptyValue(const std::string& name) {
    return "option '" + name + "' has an empty value";
}

// The pod programs boards on its own with one stored image: no serial number can go in.
bool IsPodSerial(const std::string& command, const std::string& option) {
    return (command == "pod-write" || command == "pod-verify") && option.rfind("serial-", 0) == 0;
}

std::string PodTakesNoSerial(const std::string& command, const std::string& option) {
    return "'" + command + "' takes no serial number (" + option +
           "): the pod programs boards on its own, with one image";
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
    app.config_formatter(std::make_shared<JobFileFormat>());
    app.footer(kToolFooter);
    AddGlobalOptions();
    for (const CommandOptionSpec& option : kCommandOptions) {
        AddCommandOption(app, option)->group("");
    }
    for (const CommandSpec& spec : Commands()) {
        CLI::App* command = app.add_subcommand(spec.name, spec.summary);
        command->group("Commands")
            ->footer(std::string("Example:\n  ") + spec.example + "\n\n" + kGlobalPointer);
        if (spec.needsFile) {
            command->add_option("FILE", CLI::callback_t{}, "the S-record file");
        }
        if (spec.command == CliCommand::Help) {
            command->add_option("COMMAND", CLI::callback_t{}, "the command to explain");
        }
        for (const CommandOptionSpec& option : kCommandOptions) {
            if ((spec.options & option.bit) != 0) {
                CLI::Option* added = AddCommandOption(*command, option);
                if (option.bit == kTakesJson && spec.command == CliCommand::List) {
                    added->description("print the listing as one JSON array on stdout");
                }
            }
        }
    }
}

CommandLineParser::~CommandLineParser() = default;

void CommandLineParser::AddGlobalOptions() {
    // One line per option; CLI11 writes the value straight into the parsed options.
    CLI::App& app = *app_;
    CliOptions& o = result_.options;
    app.add_flag("--simulate,!--no-simulate", o.simulate,
                 "use the simulated pod, at instant pace, instead of a real one\n"
                 "(stderr says \"simulated pod: no board is programmed\");\n"
                 "--no-simulate: the real pod, whatever the --sim-* options say");
    app.add_flag("--sim-realtime,!--no-sim-realtime", o.simRealtime,
                 "pace the simulated pod by its timing model on the real clock\n"
                 "(implies --simulate)");
    app.add_option("--sim-state", o.simStatePath,
                   "keep the simulated target memory and pod EEPROM in PATH\n"
                   "between runs (created when absent; implies --simulate)")
        ->type_name("PATH");
    app.add_option("--sim-fill", simFill_,
                   "what a new simulated target holds: random (old firmware, the\n"
                   "default), erased, or four hex digits (that word in every cell);\n"
                   "unless erased, the new pod's EEPROM holds a stale image of\n"
                   "another CPU. Ignored when --sim-state names an existing file\n"
                   "(implies --simulate)")
        ->type_name("FILL");
    app.add_option("--trace", o.tracePath,
                   "write every transfer on the wire to PATH, one line each:\n"
                   "\"> 02 49 03\" sent, \"< 21\" received; made once the pod is\n"
                   "reached, so a refused run leaves the last trace as it was")
        ->type_name("PATH");
    app.add_option("--pod", o.podSerial,
                   "use the pod with this serial number (see list); needed when\n"
                   "several pods are attached. Each pod command locks its pod\n"
                   "against other processes while it works; a simulated pod's\n"
                   "lock is vantix-pod-VSIM0001-HASH.lock, HASH of the real path\n"
                   "of its state file.")
        ->type_name("SERIAL");
    app.add_option("--sim-pods", simPods_,
                   "attach N simulated pods, serial numbers VSIM0001 up, each with\n"
                   "its own state in PATH.SERIAL of --sim-state (implies --simulate)")
        ->type_name("N");
    app.add_option("--board-id", o.boardId,
                   "the board's identifier (a scanned barcode, a serial number),\n"
                   "written as \"board\" into its record (--json, --log); with\n"
                   "--repeat it names the first board")
        ->type_name("TEXT");
    app.add_option("--log", o.logPath,
                   "append each pod command's record (as --json prints it, with the\n"
                   "UTC time and the host name) to FILE, one JSON line a board")
        ->type_name("FILE");
    app.set_config("--config", "",
                   "read further options from FILE, an INI or TOML job file;\n"
                   "its relative paths are from its own folder")
        ->type_name("FILE");
    app.add_flag("-q,--quiet,!--no-quiet", quiet_,
                 "print errors only (and the boards: tally of --repeat)");
    app.add_flag("-v,--verbose,!--no-verbose", verbose_, "also print the transfers on stderr");
    app.add_flag("-h,--help", o.help, "show this text; \"COMMAND --help\" shows the command's");
    app.add_flag("--version", o.version, "print the version");
    app.add_flag("--udev-rule", o.udevRule,
                 "print the udev rule that gives users access to the pod");
    for (CLI::Option* option : app.get_options()) {
        option->group(kGlobalGroup);
    }
}

CliParseResult CommandLineParser::Parse(const std::vector<std::string>& args) {
    result_ = {};
    quiet_ = verbose_ = false;
    simFill_.clear();
    simPods_.clear();
    CliOptions& o = result_.options;
    // The first finding while reading the arguments; help still wins over it.
    std::string finding;
    std::vector<std::string> reversed = Prepare(args, finding);
    if (finding.empty()) {
        finding = CheckJobFile(reversed);  // not reversed yet
    }
    std::reverse(reversed.begin(), reversed.end());
    try {
        app_->parse(reversed);
    } catch (const CLI::ArgumentMismatch&) {
        // The only way to run short of a value: the option ends the command line.
        Note(finding, "option '" + NameOf(args.back()) + "' needs a value");
    } catch (const CLI::FileError&) {
        const std::string path = app_->get_config_ptr()->as<std::string>();
        Note(finding, "cannot read the job file " + path + SystemReason(path));
    } catch (const CLI::ParseError& error) {
        Note(finding, JobFileError(error));
    }
    const std::vector<CLI::App*> chosen = app_->get_subcommands();
    const CLI::App* command = chosen.empty() ? nullptr : chosen.front();
    std::string stray;
    for (const std::string& left : app_->remaining(true)) {
        if (IsOption(left) && finding.empty()) {
            finding = "unknown option '" + NameOf(left) + "'";
        } else if (!IsOption(left) && left != "--" && stray.empty()) {
            stray = left;
        }
    }
    // Arguments after an error were never read; help among them still counts.
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    o.help = o.help || std::find_if(args.begin(), optionsEnd, [](const std::string& arg) {
                           return arg == "--help" || arg == "-h";
                       }) != optionsEnd;
    if (!finding.empty() && !o.help) {
        return Fail(finding);
    }
    // An unknown command is reported even when help was asked for: help about what?
    if (command == nullptr && !stray.empty()) {
        return Fail("unknown command '" + stray + "'");
    }
    if (command != nullptr && command->get_name() == "help") {
        // "help --help" is about the help command itself.
        o.helpTopic = o.help ? CliCommand::Help : CliCommand::None;
        o.help = true;
        if (const CLI::Option* topic = command->get_option("COMMAND"); topic->count() > 0) {
            const CommandSpec* spec = FindCommand(topic->as<std::string>());
            if (spec == nullptr) {
                return Fail("unknown command '" + topic->as<std::string>() + "'");
            }
            o.helpTopic = spec->command;
        }
        return result_;
    }
    if (o.help) {
        o.helpTopic = command ? FindCommand(command->get_name())->command : CliCommand::None;
        return result_;
    }
    if (o.version || o.udevRule) {
        return result_;
    }
    if (command == nullptr) {
        return Fail("no command given");
    }
    ReadGlobals();
    if (!simFill_.empty()) {
        const std::optional<SimFill> fill = SimFill::Parse(simFill_);
        if (!fill) {
            return Fail("option '--sim-fill' wants erased, random or four hex digits, not '" +
                        simFill_ + "'");
        }
        o.simFill = *fill;
        o.simFillGiven = true;
    }
    if (!simPods_.empty()) {
        const int count = std::atoi(simPods_.c_str());
        if (count < 1 || count > kMaxSimulatedPods ||
            simPods_.find_first_not_of("0123456789") != std::string::npos) {
            return Fail("--sim-pods takes a number from 1 to " + std::to_string(kMaxSimulatedPods));
        }
        o.simPods = count;
    }
    o.command = FindCommand(command->get_name())->command;
    return ReadCommand(*command, args, stray);
}

std::vector<std::string> CommandLineParser::Prepare(const std::vector<std::string>& args,
                                                    std::string& finding) const {
    // CLI11 reads "--name=" as "--name" followed by the next argument; here it is an empty
    // value. A flag given a value is refused, as CLI11 would take "--json=no" for false.
    std::vector<std::string> prepared;
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    for (auto arg = args.begin(); arg != args.end(); ++arg) {
        const std::size_t equals = arg->find('=');
        const CLI::Option* option = nullptr;
        if (arg < optionsEnd && arg->rfind("--", 0) == 0 && equals != std::string::npos) {
            option = AnyOption(arg->substr(0, equals));
        }
        if (option != nullptr && option->get_expected_max() == 0) {
            Note(finding, "option '" + arg->substr(0, equals) + "' takes no value");
            prepared.push_back(arg->substr(0, equals));
        } else if (option != nullptr && equals + 1 == arg->size()) {
            Note(finding, EmptyValue(arg->substr(0, equals)));
            prepared.push_back(arg->substr(0, equals));
            prepared.emplace_back();
        } else {
            const CLI::Option* takesValue =
                arg < optionsEnd && arg + 1 != args.end() ? KnownOption(*arg) : nullptr;
            if (takesValue != nullptr && takesValue->get_expected_max() != 0) {
                const std::string& value = *(arg + 1);
                if (value.empty()) {
                    // "--pod ''" is no more a choice than "--pod=": a script's unset variable.
                    Note(finding, EmptyValue(*arg));
                } else if (arg + 1 < optionsEnd && KnownOption(NameOf(value)) != nullptr) {
                    // "--log $LOG --json" with LOG unset: the log is not to be called --json.
                    Note(finding, "option '" + *arg + "' needs a value, and '" + NameOf(value) +
                                      "' is an option");
                }
            }
            prepared.push_back(*arg);
        }
        if (arg < optionsEnd && NameOf(*arg) == "--regions") {
            const std::string value =
                equals != std::string::npos ? arg->substr(equals + 1)
                : arg + 1 != args.end()     ? *(arg + 1)
                                            : std::string();
            if (value.find(',') != std::string::npos &&
                value.find_first_not_of(", \t") == std::string::npos) {
                Note(finding, "option '--regions' names no region: '" + value + "'");
            }
        }
    }
    return prepared;
}

void CommandLineParser::ReadGlobals() {
    CliOptions& o = result_.options;
    if (const CLI::Option* job = app_->get_config_ptr(); job != nullptr && job->count() > 0) {
        o.jobFilePath = job->as<std::string>();
    }
    // A path the job file gives is a path from the job file's folder, wherever the station
    // was started.
    for (auto [name, path] : {std::pair{"--trace", &o.tracePath}, {"--sim-state", &o.simStatePath},
                              {"--log", &o.logPath}}) {
        const CLI::Option* option = app_->get_option(name);
        if (option->count() > 0 && !OnCommandLine(*app_, option)) {
            *path = FromJobFileFolder(*path);
        }
    }
    // --no-simulate means the real pod, whatever else the job file or the command line says
    // about the simulation; otherwise anything about the simulation means the simulated pod.
    if (const CLI::Option* simulate = app_->get_option("--simulate");
        simulate->count() > 0 && !o.simulate) {
        o.simRealtime = false;
        o.simStatePath.clear();
        o.simPods = 0;
        simFill_.clear();
        simPods_.clear();
    }
    o.simulate = o.simulate || o.simRealtime || !o.simStatePath.empty() || !simFill_.empty() ||
                 !simPods_.empty();
    // Of --quiet and --verbose the later one wins.
    o.verbosity = quiet_ ? CliVerbosity::Quiet : verbose_ ? CliVerbosity::Verbose : o.verbosity;
    // The option is the same for "--quiet" and "--no-quiet"; its last value is what counts.
    for (const CLI::Option* option : app_->parse_order()) {
        if (option->check_name("--quiet")) {
            o.verbosity = quiet_                               ? CliVerbosity::Quiet
                          : o.verbosity == CliVerbosity::Quiet ? CliVerbosity::Normal
                                                               : o.verbosity;
        } else if (option->check_name("--verbose")) {
            o.verbosity = verbose_                               ? CliVerbosity::Verbose
                          : o.verbosity == CliVerbosity::Verbose ? CliVerbosity::Normal
                                                                 : o.verbosity;
        }
    }
}

CliParseResult CommandLineParser::ReadCommand(const CLI::App& command,
                                              const std::vector<std::string>& args,
                                              const std::string& stray) {
    CliOptions& o = result_.options;
    const std::string& name = command.get_name();
    // A command option the command does not take, given on the command line, is refused in
    // the words it was typed in.
    for (const std::string& arg : args) {
        const CLI::Option* option =
            IsOption(arg) ? app_->get_option_no_throw(NameOf(arg)) : nullptr;
        if (option != nullptr && option->get_group().empty() && OnCommandLine(*app_, option) &&
            command.get_option_no_throw(NameOf(arg)) == nullptr) {
            if (IsPodSerial(name, NameOf(arg).substr(2))) {
                return Fail(PodTakesNoSerial(name, NameOf(arg)));
            }
            return Fail("unknown option '" + NameOf(arg) + "' for '" + name + "'");
        }
    }
    if (!stray.empty()) {
        return Fail("unexpected argument '" + stray + "' for '" + name + "'");
    }
    try {
        if (const CLI::Option* regions = Effective(*app_, command, "--regions")) {
            o.regions.emplace();
            for (const std::string& item : regions->as<std::vector<std::string>>()) {
                if (std::string region = CLI::detail::trim_copy(item); !region.empty()) {
                    o.regions->push_back(region);
                }
            }
        }
        if (const CLI::Option* region = Effective(*app_, command, "--region")) {
            o.dumpRegion = region->as<std::string>();
        }
        const auto flag = [&](const char* flagName, bool fallback) {
            const CLI::Option* option = Effective(*app_, command, flagName);
            try {
                return option != nullptr ? option->as<bool>() : fallback;
            } catch (const CLI::ConversionError&) {
                throw CLI::ConversionError(std::string("option '") + (flagName + 2) +
                                           "' takes true or false");
            }
        };
        o.json = flag("--json", false);
        o.strict = flag("--strict", false);
        o.eraseAllBoot = flag("--erase-all-boot", true);
        o.resetAfter = flag("--reset-after", false);
        o.repeat = flag("--repeat", false);
        o.serialOverwrite = flag("--serial-overwrite", false);
        const auto text = [&](const char* optionName) -> std::optional<std::string> {
            const CLI::Option* option = Effective(*app_, command, optionName);
            return option != nullptr ? std::optional(option->as<std::string>()) : std::nullopt;
        };
        o.serialAt = text("--serial-at");
        o.serialWords = text("--serial-words");
        o.serialCounter = text("--serial-counter");
        if (const CLI::Option* counter = Effective(*app_, command, "--serial-counter");
            counter != nullptr && !OnCommandLine(*app_, counter) &&
            !OnCommandLine(command, counter)) {
            o.serialCounter = FromJobFileFolder(*o.serialCounter);
        }
        o.serialStart = text("--serial-start");
        o.serialValue = text("--serial-value");
    } catch (const CLI::ConversionError& error) {
        // Only a job file can say "json = maybe".
        return Fail(JobFileError(error));
    }
    const CommandSpec& spec = SpecOf(o.command);
    if (!spec.needsFile && (spec.options & kTakesCpu) == 0) {
        return result_;
    }
    if (spec.needsFile) {
        const CLI::Option* file = command.get_option("FILE");
        if (file->count() == 0) {
            return Fail("'" + name + "' needs FILE, the S-record file");
        }
        o.file = file->as<std::string>();
    }
    const CLI::Option* cpu = Effective(*app_, command, "--cpu");
    if (cpu == nullptr) {
        return Fail("'" + name + "' needs --cpu CPU (" + kCpuChoices + ")");
    }
    o.cpu = CpuFromName(cpu->as<std::string>());
    if (!o.cpu) {
        return Fail("unknown CPU '" + cpu->as<std::string>() + "': use " + kCpuChoices);
    }
    return result_;
}

const CLI::Option* CommandLineParser::AnyOption(const std::string& name) const {
    if (name.rfind("--", 0) != 0) {
        return nullptr;
    }
    if (const CLI::Option* option = app_->get_option_no_throw(name)) {
        return option;
    }
    for (const CLI::App* command : app_->get_subcommands({})) {
        if (const CLI::Option* option = command->get_option_no_throw(name)) {
            return option;
        }
    }
    return nullptr;
}

const CLI::Option* CommandLineParser::KnownOption(const std::string& name) const {
    if (name.size() == 2 && name[0] == '-' && name[1] != '-') {
        return app_->get_option_no_throw(name);  // -q, -v, -h
    }
    return AnyOption(name);
}

std::string CommandLineParser::CheckJobFile(const std::vector<std::string>& prepared) const {
    // The job file the command line names, read once more through CLI11's own reader: its
    // items still say which section and key each value came from, and how often.
    std::string path;
    const auto optionsEnd = std::find(prepared.begin(), prepared.end(), "--");
    for (auto arg = prepared.begin(); arg != optionsEnd; ++arg) {
        if (*arg == "--config" && arg + 1 != optionsEnd) {
            path = *(arg + 1);
        } else if (arg->rfind("--config=", 0) == 0) {
            path = arg->substr(9);
        }
    }
    if (path.empty()) {
        return {};
    }
    std::vector<CLI::ConfigItem> items;
    try {
        items = app_->get_config_formatter_base()->from_file(path);
    } catch (const CLI::Error&) {
        return {};  // the parse reports an unreadable file in its own words
    }
    const std::string where = "in the job file " + path + ": ";
    // CLI11 joins a key given twice in a row into one list, as it does an array: the text
    // itself tells them apart.
    std::ifstream text(Utf8Path(path));
    SkipByteOrderMark(text);
    std::vector<std::string> seen;
    std::string section;
    for (std::string line; std::getline(text, line);) {
        line = CLI::detail::trim_copy(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            section = line;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = CLI::detail::trim_copy(line.substr(0, equals));
        const std::string value = CLI::detail::trim_copy(line.substr(equals + 1));
        if (!value.empty() && (value[0] == '"' || value[0] == '\'') &&
            (value.size() == 1 || value.back() != value[0])) {
            return where + "the value of option '" + key + "' opens a quote that is not closed";
        }
        if (std::find(seen.begin(), seen.end(), section + key) != seen.end()) {
            return where + "option '" + key + "' is given twice" +
                   (section.empty() ? "" : " under " + section);
        }
        seen.push_back(section + key);
    }
    for (const CLI::ConfigItem& item : items) {
        const CLI::App* scope = app_.get();
        if (!item.parents.empty()) {
            scope = FindCommand(item.parents.front()) != nullptr && item.parents.size() == 1
                        ? app_->get_subcommand(item.parents.front())
                        : nullptr;
            if (scope == nullptr) {
                return where + "unknown section [" + CLI::detail::join(item.parents, ".") + "]";
            }
        }
        if (item.name == "++" || item.name == "--") {
            continue;
        }
        const CLI::Option* option = scope->get_option_no_throw("--" + item.name);
        if (option == nullptr) {
            continue;  // an unknown key: the parse names it
        }
        const bool emptyValue =
            item.inputs.empty() || std::any_of(item.inputs.begin(), item.inputs.end(),
                                               [](const std::string& v) { return v.empty(); });
        if (option->get_expected_max() == 0) {
            // The README promises true and false; "yes", "1" or "maybe" are typing errors.
            if (item.inputs.size() != 1 ||
                (item.inputs[0] != "true" && item.inputs[0] != "false")) {
                return where + "option '" + item.name + "' takes true or false, not '" +
                       CLI::detail::join(item.inputs, ",") + "'";
            }
        } else if (emptyValue) {
            return where + EmptyValue(item.name);
        }
    }
    return {};
}

std::string CommandLineParser::JobFileError(const CLI::Error& error) const {
    // CLI11 names a key it does not know in words of its own.
    const std::string what = error.what();
    const std::string unknown = "INI was not able to parse ";
    const std::string key = what.rfind(unknown, 0) == 0 ? what.substr(unknown.size()) : "";
    const std::size_t dot = key.find('.');
    const std::string section = dot != std::string::npos ? key.substr(0, dot) : "";
    const std::string name = dot != std::string::npos ? key.substr(dot + 1) : "";
    return "in the job file " + app_->get_config_ptr()->as<std::string>() + ": " +
           (IsPodSerial(section, name) ? PodTakesNoSerial(section, name)
            : !key.empty()             ? "unknown option '" + key + "'"
                                       : what);
}

std::string CommandLineParser::FromJobFileFolder(const std::string& path) const {
    const std::filesystem::path named = Utf8Path(path);
    if (named.is_absolute() || named.has_root_name() || result_.options.jobFilePath.empty()) {
        return path;
    }
    const std::u8string joined =
        (Utf8Path(result_.options.jobFilePath).parent_path() / named).u8string();
    return std::string(joined.begin(), joined.end());
}

CliParseResult CommandLineParser::Fail(std::string message) {
    result_.error = std::move(message);
    return result_;
}

std::string CommandLineParser::Help(CliCommand topic) const {
    if (topic == CliCommand::None) {
        return app_->help();
    }
    return app_->get_subcommand(SpecOf(topic).name)->help("vantix-cli");
}
