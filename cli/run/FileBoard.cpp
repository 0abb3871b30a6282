#include "run/FileBoard.h"

#include <utility>

#include "CliExit.h"
#include "ResolvedPath.h"
#include "SFileImage.h"
#include "records/ImageDigests.h"
#include "run/CliEnvironment.h"
#include "run/ConsoleUi.h"
#include "run/ImageLoading.h"
#include "run/PodRun.h"
#include "run/ReleaseCheck.h"
#include "run/RunRecorder.h"

FileBoard::FileBoard(FileLoad load, std::optional<RegionList> regions,
                     std::optional<SerialNumbering> numbering, std::optional<SerialCheck> check,
                     const BoardParts& parts)
    : load_(std::move(load)),
      regions_(std::move(regions)),
      numbering_(std::move(numbering)),
      check_(std::move(check)),
      environment_(parts.environment),
      ui_(parts.ui),
      recorder_(parts.recorder) {}

int FileBoard::Prepare(PodRun& run) {
    RunRecord& record = run.Record();
    SFileImage& image = run.Image();
    record.file = AbsolutePath(load_.image.path);
    std::string sha256;
    int status = LoadImageFile(load_.image.path, load_.image.cpu, load_.strict, image, rows_, ui_,
                               &sha256);
    if (!sha256.empty()) {
        record.sha256 = sha256;
    }
    record.warnings = image.diagnostics.Count();
    if (status == kExitSuccess) {
        status = CheckExpectedImage(record);
    }
    if (status == kExitSuccess) {
        status = PrepareSerial(image);
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

int FileBoard::PrepareSerial(SFileImage& image) {
    if (numbering_) {
        return serial_.Prepare(*numbering_, image, rows_, ui_);
    }
    return check_ ? serial_.Prepare(*check_, image, rows_, ui_) : kExitSuccess;
}

int FileBoard::CheckExpectedImage(RunRecord& record) const {
    if (!load_.expected) {
        return kExitSuccess;
    }
    const std::string& expected = load_.expected->sha256;
    const std::string actual = record.sha256.value_or("");
    if (actual == expected) {
        record.release = kExpectedSha256Release;
        return kExitSuccess;
    }
    const std::string source = load_.expected->fromJobFile ? "the job file" : "--expect-sha256";
    ui_.Error("vantix-cli: " + load_.image.path + " is not the expected image: " +
              (actual.empty() ? "its SHA-256 cannot be computed"
                              : "its SHA-256 is " + ShortSha256(actual, expected)) +
              ", " + source + " expects " + ShortSha256(expected, actual));
    return kExitInputError;
}

int FileBoard::CheckRelease(PodRun& run) {
    RunRecord& record = run.Record();
    StationDb* database = recorder_.Database();
    const std::optional<std::string> series = numbering_ ? numbering_->series : std::nullopt;
    if (!series || database == nullptr) {
        return kExitSuccess;
    }
    // Asked for every board: an image withdrawn while the line runs goes onto no further one.
    record.release.reset();
    const StationDbOutcome outcome =
        ReleaseCheck(*database, *series, load_.image.path, record.sha256.value_or(""),
                     record.cpu.value_or(""));
    if (!outcome.Ok()) {
        for (const std::string& line : outcome.Lines()) {
            ui_.Error("vantix-cli: " + line);
        }
        return outcome.status;
    }
    record.release = SeriesRelease(*series);
    return kExitSuccess;
}

bool FileBoard::BuildRegionList(std::string& error) {
    items_.clear();
    std::vector<bool> ticked(rows_.size(), !regions_.has_value());
    for (const MemoryRegion region : regions_.value_or(RegionList{})) {
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

void FileBoard::RecordRegions(PodRun& run) const {
    std::vector<RunRecord::Region>& used = run.Record().regions;
    used.clear();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (items_[i].ticked) {
            used.push_back(RegionRecord(run.Image(), rows_[i]));
        }
    }
}

bool FileBoard::TakeSerial(PodRun& run, SerialPatch& numbers) {
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

void FileBoard::Step(const char* step) const {
    if (environment_.atStep) {
        environment_.atStep(step);
    }
}
