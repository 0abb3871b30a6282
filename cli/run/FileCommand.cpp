#include "run/FileCommand.h"

#include "CliExit.h"
#include "ResolvedPath.h"
#include "SFileImage.h"
#include "commandline/CliOptions.h"
#include "records/ImageDigests.h"
#include "run/BoardCommandOf.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"
#include "run/ImageLoading.h"
#include "run/LineTally.h"
#include "run/PodRun.h"
#include "run/ReleaseCheck.h"
#include "run/RunRecorder.h"
#include "station/BoardPrompt.h"

FileCommand::FileCommand(const CliOptions& options, const CliEnvironment& environment,
                         ConsoleUi& ui, RunRecorder& recorder)
    : options_(options), environment_(environment), ui_(ui), recorder_(recorder) {}

int FileCommand::Run() {
    PodRun run(BoardCommandOf(options_), options_.pod, environment_, ui_, recorder_);
    if (const int status = Prepare(run); status != kExitSuccess) {
        return run.Refuse(status);
    }
    if (const int status = run.Start(); status != kExitSuccess) {
        return run.Refuse(status);
    }
    return options_.repeat ? RunBoardAfterBoard(run) : RunOneBoard(run);
}

int FileCommand::Prepare(PodRun& run) {
    RunRecord& record = run.Record();
    SFileImage& image = run.Image();
    record.file = AbsolutePath(*options_.file);
    std::string sha256;
    int status =
        LoadImageFile(*options_.file, *options_.cpu, options_.strict, image, rows_, ui_, &sha256);
    if (!sha256.empty()) {
        record.sha256 = sha256;
    }
    record.warnings = image.diagnostics.Count();
    if (status == kExitSuccess) {
        status = CheckExpectedImage(record);
    }
    if (status == kExitSuccess) {
        status = serial_.Prepare(options_, image, rows_, ui_);
    }
    if (status != kExitSuccess) {
        return status;
    }
    record.cpu = CpuName(image.cpu);
    if (std::string error; !BuildRegionList(error)) {
        ui_.Error("vantix-cli: " + error);
        return kExitInputError;
    }
    if (serial_.CheckTicked(items_, ui_) != kExitSuccess) {
        return kExitInputError;
    }
    RecordRegions(run);
    if (const int released = CheckRelease(run); released != kExitSuccess) {
        return released;
    }
    if (!rows_.empty()) {
        ui_.Info("Reading S File is OK !!!");
    }
    return kExitSuccess;
}

int FileCommand::CheckExpectedImage(RunRecord& record) const {
    if (!options_.expectSha256) {
        return kExitSuccess;
    }
    const std::string& expected = *options_.expectSha256;
    const std::string actual = record.sha256.value_or("");
    if (actual == expected) {
        record.release = kExpectedSha256Release;
        return kExitSuccess;
    }
    const std::string source = options_.expectFromJobFile ? "the job file" : "--expect-sha256";
    ui_.Error("vantix-cli: " + *options_.file + " is not the expected image: " +
              (actual.empty() ? "its SHA-256 cannot be computed"
                              : "its SHA-256 is " + ShortSha256(actual, expected)) +
              ", " + source + " expects " + ShortSha256(expected, actual));
    return kExitInputError;
}

int FileCommand::CheckRelease(PodRun& run) {
    RunRecord& record = run.Record();
    StationDb* database = recorder_.Database();
    if (!options_.serialSeries || database == nullptr) {
        return kExitSuccess;
    }
    // Asked for every board: an image withdrawn while the line runs goes onto no further one.
    record.release.reset();
    const StationDbOutcome outcome = ReleaseCheck(*database, *options_.serialSeries,
                                                  *options_.file, record.sha256.value_or(""),
                                                  record.cpu.value_or(""));
    if (!outcome.Ok()) {
        for (const std::string& line : outcome.Lines()) {
            ui_.Error("vantix-cli: " + line);
        }
        return outcome.status;
    }
    record.release = SeriesRelease(*options_.serialSeries);
    return kExitSuccess;
}

bool FileCommand::BuildRegionList(std::string& error) {
    items_.clear();
    std::vector<bool> ticked(rows_.size(), !options_.regions.has_value());
    for (const MemoryRegion region : options_.regions.value_or(std::vector<MemoryRegion>{})) {
        const RegionRow* row = FindRow(rows_, region);
        if (row == nullptr) {
            error = std::string("region ") + RegionName(region) +
                    " is not present in the file for this CPU";
            return false;
        }
        ticked[static_cast<std::size_t>(row - rows_.data())] = true;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        items_.push_back({rows_[i].name, ticked[i]});
    }
    return true;
}

void FileCommand::RecordRegions(PodRun& run) const {
    const bool onlyTicked = options_.command == CliCommand::Write ||
                            options_.command == CliCommand::WriteVerify ||
                            options_.command == CliCommand::Verify;
    std::vector<RunRecord::Region>& used = run.Record().regions;
    used.clear();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!onlyTicked || items_[i].ticked) {
            used.push_back(RegionRecord(run.Image(), rows_[i]));
        }
    }
}

bool FileCommand::TakeSerial(PodRun& run, SerialPatch& numbers) {
    if (!numbers.Active()) {
        return true;
    }
    RunRecord& record = run.Record();
    record.serial.reset();
    record.serialAt.reset();
    // Until the board has its number its image is not whole: the serial's region has no
    // figure of its own, and the last board's is not this one's.
    for (RunRecord::Region& region : record.regions) {
        if (region.name == numbers.Region()) {
            region.crc32.reset();
        }
    }
    // A number of a series goes only to a board whose image is released there still.
    if (const int released = CheckRelease(run); released != kExitSuccess) {
        numbers.FailWith(released);
        return false;
    }
    // A number from the series is committed with the run's UUID, so its started entry goes
    // first, and names the number once the run's UUID finds it; any other, once it is known.
    // Without the entry the board is not touched.
    if (numbers.Takes() && numbers.FromSeries()) {
        record.serialAt = numbers.AtText();
        const bool started = recorder_.Started(record);
        record.serialAt.reset();
        if (!started) {
            numbers.FailWith(kExitInputError);
            return false;
        }
    }
    // Any other number is written into the started entry before it counts as taken: a
    // station that dies at any moment leaves each number it took with a line.
    const auto noted = [&] {
        record.serial = numbers.Number();
        record.serialAt = numbers.AtText();
        RecordRegions(run);
        Step("number read");
        if (numbers.Takes() && !numbers.FromSeries() && !recorder_.Started(record)) {
            return false;
        }
        Step("started entry kept");
        return true;
    };
    if (!numbers.NextBoard(run.Image(), ui_, recorder_, noted)) {
        return false;
    }
    Step("number taken");
    if (numbers.FromSeries()) {
        record.serial = numbers.Number();
        record.serialAt = numbers.AtText();
        RecordRegions(run);
    }
    return true;
}

void FileCommand::Step(const char* step) const {
    if (environment_.atStep) {
        environment_.atStep(step);
    }
}

CommandOutcome FileCommand::RunOnce(ProgrammerCommands& operations) {
    changedPages_.clear();
    std::vector<ChangedPages>* changed = options_.onlyChanged ? &changedPages_ : nullptr;
    switch (options_.command) {
        case CliCommand::Write:
            return operations.RunTarget(TargetCommand::Write, items_, options_.eraseAllBoot,
                                        options_.resetAfter, changed);
        case CliCommand::WriteVerify:
            return operations.RunTarget(TargetCommand::WriteVerify, items_, options_.eraseAllBoot,
                                        options_.resetAfter, changed);
        case CliCommand::Verify:
            return operations.RunTarget(TargetCommand::Verify, items_, false, options_.resetAfter);
        case CliCommand::PodWrite:
            return operations.RunPod(PodCommand::Write, rows_.size(), options_.eraseAllBoot,
                                     options_.resetAfter);
        default:
            return operations.RunPod(PodCommand::Verify, rows_.size(), false, false);
    }
}

void FileCommand::ReportChangedPages(PodRun& run) const {
    if (!options_.onlyChanged) {
        return;
    }
    // A region the run did not reach compared nothing and wrote nothing.
    for (RunRecord::Region& region : run.Record().regions) {
        region.pages.emplace();
        for (const ChangedPages& counts : changedPages_) {
            if (region.name != RegionName(counts.region)) {
                continue;
            }
            region.pages = {counts.compared, counts.differed, counts.written};
            ui_.Info(region.name + ": " + std::to_string(counts.written) + " of " +
                     std::to_string(counts.pages) + " pages written");
        }
    }
}

int FileCommand::RunOneBoard(PodRun& run) {
    if (!TakeSerial(run)) {
        return run.Finish(serial_.FailureStatus(), nullptr);
    }
    const CommandOutcome outcome = RunOnce(run.Operations());
    Step("board done");
    const int status = run.ExitFor(outcome);
    ReportChangedPages(run);
    return run.Finish(status, &outcome);
}

int FileCommand::RunNextBoard(PodRun& run, CommandOutcome& outcome, bool& stateKept) {
    PodSession& session = run.Session();
    outcome = RunOnce(run.Operations());
    int status = run.ExitFor(outcome);
    ReportChangedPages(run);
    session.ReleasePod();
    // A simulated board is its state: one that cannot be kept fails, and so would every
    // board after it.
    stateKept = session.SaveState();
    if (!stateKept && status == kExitSuccess) {
        status = kExitFailed;
    }
    if (session.Interrupted()) {
        status = InterruptedExit(environment_);
    }
    run.Conclude(&outcome);
    run.Keep(status);
    return status;
}

int FileCommand::RunBoardAfterBoard(PodRun& run) {
    // Board after board until the operator has had enough; each board is a record.
    BoardPrompt prompt(environment_.input, environment_.interrupted);
    PodSession& session = run.Session();
    LineTally tally;
    bool noNumber = false;
    int unreachable = kExitSuccess;  // the pod could not be reached (3) or chosen (2)
    for (;;) {
        ui_.ForgetLastMessage();
        run.BeginBoard();
        if (tally.Boards() > 0 && run.OutputGone()) {
            // The last board's record may not have reached anybody either.
            recorder_.MarkLost();
            break;
        }
        if (!TakeSerial(run)) {
            // No number for this board (counter unreadable, width used up, the station
            // database out of reach, its image no longer released): the line stops.
            noNumber = true;
            run.Conclude(nullptr);
            run.Keep(serial_.FailureStatus());
            break;
        }
        CommandOutcome outcome;
        bool stateKept = true;
        const int status = RunNextBoard(run, outcome, stateKept);
        tally.Count(status == kExitSuccess, recorder_.LastFate());
        ui_.Finish();
        ui_.Error(tally.Text());
        if ((outcome.kind == CommandOutcome::Kind::Unreachable || run.PodGone()) &&
            !session.Interrupted()) {
            // A pod that has gone (or was never there) programs no further board.
            unreachable = status;
            break;
        }
        if (session.Interrupted() || recorder_.RecordLost() || !stateKept) {
            break;
        }
        prompt.DiscardTypeAhead();
        ui_.Info("Next board: press Enter (q and Enter to stop)");
        if (!prompt.NextBoardWanted(recorder_.BoardId())) {
            break;
        }
    }
    // Every board passed: 0; any failed: 1; no serial number for a board: 2 (3 when the
    // station database was out of reach); the pod gone: 3 (or 2 when the options name no one
    // pod); a record lost: 4; a signal, at a board or at the prompt: 128 + the signal.
    const bool allPassed = tally.Passed() == tally.Boards();
    return session.Finish(recorder_.RecordLost()         ? kExitRecordLost
                          : noNumber                     ? serial_.FailureStatus()
                          : unreachable != kExitSuccess  ? unreachable
                          : allPassed                    ? kExitSuccess
                                                         : kExitFailed);
}
