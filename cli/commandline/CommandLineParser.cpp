#include "commandline/CommandLineParser.h"

#include <algorithm>

#include <CLI/CLI.hpp>

#include "OptionTable.h"
#include "commandline/CliHelpFormatter.h"
#include "commandline/CommandTable.h"
#include "commandline/GangOptions.h"
#include "commandline/GlobalOptions.h"
#include "commandline/ImageFileOptions.h"
#include "commandline/JobFiles.h"
#include "commandline/OptionReader.h"
#include "commandline/OptionValues.h"
#include "commandline/RunOutputOptions.h"
#include "commandline/ToolHelpText.h"
#include "records/SystemReason.h"

namespace {

const char* const kGlobalGroup = "Options (before or after COMMAND)";

// Registers one option of the table: a command's own, or (hidden) the tool's copy of it,
// which catches the option before the command and at the top of a job file.
CLI::Option* AddOption(CLI::App& app, const OptionInfo& row, const std::string& description) {
    const std::string longName = std::string("--") + row.longName;
    if (longName == "--config") {
        // Read by JobFiles, every one given, in order; never named in a job file.
        return app.add_option(longName, CLI::callback_t{}, description)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->configurable(false)
            ->type_name(row.valueName);
    }
    const std::string names = (row.shortName ? std::string("-") + row.shortName + "," : "") +
                              longName + (row.negatable ? ",!--no-" + longName.substr(2) : "");
    if (row.kind == ValueKind::Flag) {
        return app.add_flag(names, description);
    }
    CLI::Option* option = app.add_option(names, CLI::callback_t{}, description);
    if (row.kind == ValueKind::RegionList) {
        // Every name counts, however the list is split: "A,B", a job file's array.
        option->delimiter(',')->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
    return option->type_name(row.valueName);
}

void AddCommand(CLI::App& app, const CommandInfo& info) {
    CLI::App* command = app.add_subcommand(info.name, info.summary);
    command->group("Commands")
        ->footer(std::string("Example:\n  ") + info.example + "\n\n" + kGlobalPointer);
    if (info.needsFile) {
        command->add_option("FILE", CLI::callback_t{}, "the S-record file");
    }
    for (const OperandInfo& operand : info.operands) {
        CLI::Option* option = command->add_option(operand.name, CLI::callback_t{},
                                                  operand.description);
        if (operand.many) {
            option->expected(-1);
        }
    }
    for (const OptionUse& use : info.options) {
        AddOption(*command, *use.row, DescriptionOf(use));
    }
}

// "--name=value" and "-x" name options; "-" alone is a file (stdin by convention).
bool IsOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && arg != "--";
}

std::string NameOf(const std::string& arg) {
    return arg.substr(0, arg.find('='));
}

void Note(std::string& finding, const std::string& message) {
    if (finding.empty()) {
        finding = message;
    }
}

std::string EmptyValue(const std::string& name) {
    return "option '" + name + "' has an empty value";
}

// For --verbose: where an option's value came from, without the value, which may hold a
// password ("--station-db: from the job file /etc/line/station.toml, line 4").
std::string SourceText(const JobFiles::Applied& applied) {
    const JobFileSetting& setting = applied.second;
    const std::vector<std::string>& names = applied.first->get_lnames();
    const std::string name = names.empty() ? setting.key : "--" + names.front();
    return name + ": from the job file " + setting.file +
           (setting.line != 0 ? ", line " + std::to_string(setting.line) : "") +
           (setting.section.empty() ? "" : " [" + setting.section + "]");
}

}  // namespace

CommandLineParser::CommandLineParser(std::span<const CommandInfo> commands)
    : commands_(commands), app_(std::make_unique<CLI::App>(kToolDescription, "vantix-cli")) {
    CLI::App& app = *app_;
    // Set before the commands are added, which inherit them.
    app.formatter(std::make_shared<CliHelpFormatter>(commands_));
    app.set_help_flag();  // help is an ordinary flag here: it must win over every error
    app.allow_extras();   // leftovers are reported in this tool's words
    app.allow_windows_style_options(false);  // "/path" is a file on every system
    app.fallthrough();
    app.require_subcommand(0, 1);
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.footer(ToolFooter());
    for (const OptionInfo* row : GlobalOptionRows()) {
        AddOption(app, *row, row->description)->group(kGlobalGroup);
    }
    for (const OptionInfo* row : commands_.CommandRows()) {
        AddOption(app, *row, row->description)->group("");
    }
    for (const CommandInfo& info : commands_.All()) {
        AddCommand(app, info);
    }
}

CommandLineParser::~CommandLineParser() = default;

CliParseResult CommandLineParser::Parse(const std::vector<std::string>& args) {
    result_ = {};
    stray_.clear();
    const std::string finding = ReadArguments(args);
    ToolRequest& o = result_.tool;
    const std::vector<CLI::App*> chosen = app_->get_subcommands();
    const CLI::App* command = chosen.empty() ? nullptr : chosen.front();
    // Arguments after an error were never read; help among them still counts.
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    o.help = (readToTheEnd_ && Flag("--help")) ||
             std::find_if(args.begin(), optionsEnd, [](const std::string& arg) {
                 return arg == "--help" || arg == "-h";
             }) != optionsEnd;
    if (!finding.empty() && !o.help) {
        return Fail(finding);
    }
    // An unknown command is reported even when help was asked for: help about what?
    if (command == nullptr && !stray_.empty()) {
        return Fail("unknown command '" + stray_ + "'");
    }
    if (command != nullptr && command->get_name() == "help") {
        if (!stray_.empty()) {
            return Fail("unexpected argument '" + stray_ + "' for 'help'");
        }
        return ReadHelpTopic(*command);
    }
    if (o.help) {
        o.helpTopic = command ? commands_.Find(command->get_name())->command : CliCommand::None;
        return result_;
    }
    o.version = Flag("--version");
    o.udevRule = Flag("--udev-rule");
    if (o.version || o.udevRule) {
        return result_;
    }
    if (command == nullptr) {
        return Fail("no command given");
    }
    if (const std::string refusal = ReadGlobals(); !refusal.empty()) {
        return Fail(refusal);
    }
    result_.command = commands_.Find(command->get_name())->command;
    return ReadCommand(*command, args);
}

std::string CommandLineParser::ReadArguments(const std::vector<std::string>& args) {
    const PreparedArguments prepared = Prepare(args);
    std::string finding = prepared.finding;
    JobFiles jobFiles(commands_);
    const std::string jobFault = jobFiles.Read(*app_, JobFilePaths(prepared.args));
    Note(finding, jobFault);
    Note(finding, prepared.missingValue);
    std::vector<std::string> reversed(prepared.args.rbegin(), prepared.args.rend());
    readToTheEnd_ = false;
    try {
        app_->parse(reversed);
        readToTheEnd_ = true;
    } catch (const CLI::ParseError&) {
        // What stops CLI11 is an option without its value at the end, found above.
        Note(finding, "the command line cannot be read as options");
    }
    if (readToTheEnd_ && jobFault.empty()) {
        const std::vector<CLI::App*> chosen = app_->get_subcommands();
        jobSettings_ = jobFiles.Apply(*app_, chosen.empty() ? nullptr : chosen.front());
    }
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    for (const std::string& left : app_->remaining(true)) {
        if (IsOption(left) && std::find(args.begin(), optionsEnd, left) == optionsEnd &&
            optionsEnd != args.end()) {
            // Only after "--", where every argument is a file name and none an option.
            Note(finding, "'" + left + "' after '--' is taken as a file name");
        } else if (IsOption(left)) {
            Note(finding, "unknown option '" + NameOf(left) + "'");
        } else if (left != "--" && stray_.empty()) {
            stray_ = left;
        }
    }
    return finding;
}

CommandLineParser::PreparedArguments CommandLineParser::Prepare(
    const std::vector<std::string>& args) const {
    PreparedArguments prepared;
    for (auto arg = args.begin(); arg != args.end(); ++arg) {
        PrepareOne(arg, args, prepared);
    }
    return prepared;
}

void CommandLineParser::PrepareOne(std::vector<std::string>::const_iterator arg,
                                   const std::vector<std::string>& args,
                                   PreparedArguments& prepared) const {
    // CLI11 reads "--name=" as "--name" followed by the next argument; here it is an empty
    // value. A flag given a value is refused, as CLI11 would take "--json=no" for false.
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    const std::size_t equals = arg->find('=');
    const CLI::Option* option = nullptr;
    if (arg < optionsEnd && arg->rfind("--", 0) == 0 && equals != std::string::npos) {
        option = AnyOption(arg->substr(0, equals));
    }
    std::string& finding = prepared.finding;
    if (option != nullptr && option->get_expected_max() == 0) {
        Note(finding, "option '" + arg->substr(0, equals) + "' takes no value");
        prepared.args.push_back(arg->substr(0, equals));
    } else if (option != nullptr && equals + 1 == arg->size()) {
        Note(finding, EmptyValue(arg->substr(0, equals)));
        prepared.args.push_back(arg->substr(0, equals));
        prepared.args.emplace_back();
    } else {
        const CLI::Option* named = arg < optionsEnd ? KnownOption(*arg) : nullptr;
        if (named != nullptr && named->get_expected_max() != 0 && arg + 1 == args.end()) {
            prepared.missingValue = "option '" + NameOf(*arg) + "' needs a value";
        } else if (named != nullptr && named->get_expected_max() != 0) {
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
        prepared.args.push_back(*arg);
    }
    if (arg < optionsEnd && NameOf(*arg) == "--regions") {
        const std::string value = equals != std::string::npos ? arg->substr(equals + 1)
                                  : arg + 1 != args.end()     ? *(arg + 1)
                                                              : std::string();
        if (value.find(',') != std::string::npos &&
            value.find_first_not_of(", \t") == std::string::npos) {
            Note(finding, "option '--regions' names no region: '" + value + "'");
        }
    }
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

bool CommandLineParser::Flag(const char* name) const {
    const CLI::Option* option = app_->get_option(name);
    return option->count() > 0 && option->as<bool>();
}

CliParseResult CommandLineParser::ReadHelpTopic(const CLI::App& help) {
    ToolRequest& o = result_.tool;
    // "help --help" is about the help command itself.
    o.helpTopic = o.help ? CliCommand::Help : CliCommand::None;
    o.help = true;
    if (const CLI::Option* topic = help.get_option("COMMAND"); topic->count() > 0) {
        const CommandInfo* info = commands_.Find(topic->as<std::string>());
        if (info == nullptr) {
            return Fail("unknown command '" + topic->as<std::string>() + "'");
        }
        o.helpTopic = info->command;
    }
    return result_;
}

std::string CommandLineParser::ReadGlobals() {
    GlobalOptions& o = result_.global;
    const auto text = [this](const char* name) {
        const CLI::Option* option = app_->get_option(name);
        return option->count() > 0 ? option->as<std::string>() : std::string();
    };
    if (const CLI::Option* config = app_->get_option("--config"); config->count() > 0) {
        o.jobFiles.paths = config->results();
    }
    for (const JobFiles::Applied& applied : jobSettings_) {
        o.jobFiles.sources.push_back(SourceText(applied));
    }
    o.pod.sim.simulate = Flag("--simulate");
    o.pod.sim.realtime = Flag("--sim-realtime");
    o.pod.sim.statePath = text("--sim-state");
    o.pod.tracePath = text("--trace");
    o.pod.serial = text("--pod");
    o.records.boardId = text("--board-id");
    o.records.logPath = text("--log");
    o.records.stationDb = text("--station-db");
    o.records.station = text("--station");
    std::string simFill = text("--sim-fill");
    std::string simPods = text("--sim-pods");
    // A path the job file gives is a path from the job file's folder, wherever the station
    // was started.
    for (auto [name, path] : {std::pair{"--trace", &o.pod.tracePath},
                              {"--sim-state", &o.pod.sim.statePath},
                              {"--log", &o.records.logPath}}) {
        const CLI::Option* option = app_->get_option(name);
        *path = FromJobFileFolder(*path, option, jobSettings_);
    }
    // --no-simulate means the real pod, whatever else the job file or the command line says
    // about the simulation; otherwise anything about the simulation means the simulated pod.
    if (app_->get_option("--simulate")->count() > 0 && !o.pod.sim.simulate) {
        o.pod.sim.realtime = false;
        o.pod.sim.statePath.clear();
        simFill.clear();
        simPods.clear();
    }
    o.pod.sim.simulate = o.pod.sim.simulate || o.pod.sim.realtime || !o.pod.sim.statePath.empty() ||
                         !simFill.empty() || !simPods.empty();
    ReadVerbosity();
    if (!simFill.empty()) {
        const std::optional<SimFill> fill = SimFill::Parse(simFill);
        if (!fill) {
            return Refusal(kSimFillRow, simFill);
        }
        o.pod.sim.fill = *fill;
        o.pod.sim.fillGiven = true;
    }
    if (!simPods.empty()) {
        const std::optional<std::uint64_t> count = ReadCount(kSimPodsRow, simPods);
        if (!count) {
            return Refusal(kSimPodsRow, simPods);
        }
        o.pod.sim.pods = static_cast<int>(*count);
    }
    return {};
}

void CommandLineParser::ReadVerbosity() {
    GlobalOptions& o = result_.global;
    const bool quiet = Flag("--quiet");
    const bool verbose = Flag("--verbose");
    // Of --quiet and --verbose the later one wins.
    o.verbosity = quiet ? CliVerbosity::Quiet : verbose ? CliVerbosity::Verbose : o.verbosity;
    // The option is the same for "--quiet" and "--no-quiet"; its last value is what counts.
    for (const CLI::Option* option : app_->parse_order()) {
        if (option->check_name("--quiet")) {
            o.verbosity = quiet                                ? CliVerbosity::Quiet
                          : o.verbosity == CliVerbosity::Quiet ? CliVerbosity::Normal
                                                               : o.verbosity;
        } else if (option->check_name("--verbose")) {
            o.verbosity = verbose                                ? CliVerbosity::Verbose
                          : o.verbosity == CliVerbosity::Verbose ? CliVerbosity::Normal
                                                                 : o.verbosity;
        }
    }
}

CliParseResult CommandLineParser::ReadCommand(const CLI::App& command,
                                              const std::vector<std::string>& args) {
    const CommandInfo& info = commands_.Of(result_.command);
    if (const std::string refusal = RefuseForeignOptions(info, args); !refusal.empty()) {
        return Fail(refusal);
    }
    if (!stray_.empty()) {
        return Fail("unexpected argument '" + stray_ + "' for '" + command.get_name() + "'");
    }
    const OptionReader reader(*app_, command, jobSettings_, result_.global);
    std::unique_ptr<CommandOptions> own;
    const std::string refusal = info.read != nullptr ? info.read(reader, own) : std::string();
    result_.options = std::move(own);
    if (!refusal.empty()) {
        NoteFileAndCpu(info, reader);
        return Fail(refusal);
    }
    return result_;
}

void CommandLineParser::NoteFileAndCpu(const CommandInfo& info, const OptionReader& reader) {
    // As a command reads them: FILE first, and --cpu only once there is a FILE.
    RefusedRun& refused = result_.refused;
    refused.file = info.needsFile ? reader.Operand("FILE") : std::nullopt;
    const std::optional<std::string> cpu = reader.Text(kCpuRow);
    if (info.needsCpu && cpu && (refused.file || !info.needsFile)) {
        refused.cpu = CpuFromName(*cpu);
    }
}

std::string CommandLineParser::RefuseForeignOptions(const CommandInfo& command,
                                                    const std::vector<std::string>& args) const {
    // A command option the command does not take, given on the command line, is refused in
    // the words it was typed in.
    const CLI::App& own = *app_->get_subcommand(command.name);
    for (const std::string& arg : args) {
        const CLI::Option* option =
            IsOption(arg) ? app_->get_option_no_throw(NameOf(arg)) : nullptr;
        if (option != nullptr && option->get_group().empty() && OnCommandLine(*app_, option) &&
            own.get_option_no_throw(NameOf(arg)) == nullptr) {
            const std::string refusal =
                command.refuseForeign ? command.refuseForeign(NameOf(arg)) : std::string();
            return !refusal.empty()
                       ? refusal
                       : "unknown option '" + NameOf(arg) + "' for '" + command.name + "'";
        }
    }
    return {};
}

CliParseResult CommandLineParser::Fail(std::string message) {
    result_.error = std::move(message);
    // A refused command line is still a run of its command: with --json it gets a record.
    const std::vector<CLI::App*> chosen = app_->get_subcommands();
    if (const CommandInfo* info =
            chosen.empty() ? nullptr : commands_.Find(chosen.front()->get_name())) {
        result_.refused.command = info->command;
        try {
            const OptionReader reader(*app_, *chosen.front(), jobSettings_, result_.global);
            result_.refused.json = reader.Flag(kJsonRow, false);
            result_.refused.manyPods = reader.Text(kPodsRow).has_value();
        } catch (const CLI::Error&) {
            // A flag whose value cannot be read is the error being reported.
        }
    }
    return result_;
}

std::string CommandLineParser::Help(CliCommand topic) const {
    if (topic == CliCommand::None) {
        return app_->help();
    }
    return app_->get_subcommand(commands_.Of(topic).name)->help("vantix-cli");
}
