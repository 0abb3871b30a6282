#include "run/SerialPatch.h"

#include <algorithm>
#include <cstdio>

#include "CliExit.h"
#include "SFileImage.h"
#include "commandline/SerialOptions.h"
#include "run/ConsoleUi.h"
#include "run/ImageLoading.h"
#include "run/RunRecorder.h"
#include "station/SerialCounter.h"

namespace {

std::string Hex4(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

std::string AtTextFor(MemoryRegion region, std::uint32_t address) {
    return std::string(RegionName(region)) + ":" + Hex4(address);
}

}  // namespace

int SerialPatch::Refuse(ConsoleUi& ui, const std::string& message) const {
    ui.Error("vantix-cli: " + message);
    return kExitInputError;
}

int SerialPatch::Prepare(const SerialNumbering& numbering, SFileImage& image,
                         std::vector<RegionRow>& rows, ConsoleUi& ui) {
    next_ = numbering.start.value_or(0);
    counterPath_ = numbering.counter.value_or("");
    series_ = numbering.series;
    counts_ = numbering.start.has_value();
    takes_ = true;
    return Place(numbering.place, image, rows, ui);
}

int SerialPatch::Prepare(const SerialCheck& check, SFileImage& image,
                         std::vector<RegionRow>& rows, ConsoleUi& ui) {
    next_ = check.value;
    return Place(check.place, image, rows, ui);
}

int SerialPatch::Place(const SerialPlace& place, SFileImage& image, std::vector<RegionRow>& rows,
                       ConsoleUi& ui) {
    // The options were read and checked together with the command line.
    const MemoryRegion region = place.at.region;
    address_ = place.at.address;
    words_ = place.words;
    if (const std::string problem = CheckPlace(place, image); !problem.empty()) {
        return Refuse(ui, problem);
    }
    region_ = region;
    RegionImage& words = image.Region(region);
    const auto first = static_cast<std::uint16_t>(address_);
    const auto last = static_cast<std::uint16_t>(address_ + words_ - 1);
    words.minAddress = words.loaded ? std::min(words.minAddress, first) : first;
    words.maxAddress = words.loaded ? std::max(words.maxAddress, last) : last;
    words.loaded = true;
    rows = ListPresentRegions(image);
    return kExitSuccess;
}

std::string SerialPatch::CheckPlace(const SerialPlace& place, const SFileImage& image) const {
    // The words must lie in the region of the CPU's map; PFLASH's first four words are the
    // vectors, which the file's boot flash image holds.
    const MemoryRegion region = place.at.region;
    const AddressArea& area = image.Area(region);
    // P:0000-0003 are kept in the first four words of BFLASH: no name may reach them there
    // either, whatever --serial-overwrite says.
    const AddressArea& boot = image.Area(MemoryRegion::BFLASH);
    if (region == MemoryRegion::BFLASH && address_ >= boot.start && address_ < boot.start + 4) {
        return "serial address " + place.at.text + " lies on the vectors (P:0000-0003), " +
               "which BFLASH of the " + CpuName(image.cpu) + " holds at " + Hex4(boot.start) + "-" +
               Hex4(boot.start + 3);
    }
    const std::uint32_t lowest = area.start + (region == MemoryRegion::PFLASH ? 4 : 0);
    const bool mapped = area.size != 0 && CpuHasRegion(image.cpu, region);
    if (mapped && address_ >= lowest && address_ <= area.end && address_ + 1 > area.end &&
        words_ == 2) {
        return "a two-word serial number at " + AtTextFor(region, address_) +
               " needs the word after it, " + Hex4(address_ + 1) +
               ", which lies beyond the end of " + RegionName(region) + " (" + Hex4(lowest) +
               "-" + Hex4(area.end) + ")";
    }
    if (!mapped || address_ < lowest || address_ + (words_ - 1) > area.end) {
        return "serial address " + place.at.text + " lies outside " +
               RegionName(region) + " of the " + CpuName(image.cpu) +
               (mapped ? " (" + Hex4(lowest) + "-" + Hex4(area.end) + ")"
                       : std::string(", which has none"));
    }
    for (std::uint32_t a = address_; a < address_ + static_cast<std::uint32_t>(words_); ++a) {
        if (image.IsFilled(region, a) && !place.overwrite) {
            return "serial address " + AtTextFor(region, a) +
                   " holds data of the file; --serial-overwrite replaces it";
        }
    }
    return {};
}

int SerialPatch::CheckTicked(const std::vector<RegionListItem>& items, ConsoleUi& ui) const {
    if (!region_) {
        return kExitSuccess;
    }
    for (const RegionListItem& item : items) {
        if (item.ticked && item.name == RegionName(*region_)) {
            return kExitSuccess;
        }
    }
    return Refuse(ui, "serial address " + AtText() + " lies in " + RegionName(*region_) +
                          ", which --regions leaves out");
}

bool SerialPatch::TakeFromSeries(ConsoleUi& ui, RunRecorder& recorder) {
    StationDbOutcome taken{kExitInputError, "--serial-series needs --station-db URL"};
    if (StationDb* database = recorder.Database()) {
        taken = database->TakeNumber(*series_, recorder.RunId(), recorder.Station(),
                                     recorder.BoardId(), number_);
    }
    if (taken.Ok() && number_ > LargestSerial(words_)) {
        taken = {kExitInputError, SerialTooLargeText(number_, words_)};
    }
    failureStatus_ = taken.status;
    if (!taken.Ok()) {
        Refuse(ui, taken.message + "; the board is not touched");
    }
    return taken.Ok();
}

bool SerialPatch::NextBoard(SFileImage& image, ConsoleUi& ui, RunRecorder& recorder,
                            const std::function<bool()>& noted) {
    failureStatus_ = kExitInputError;
    const auto note = [&] {
        Patch(image);
        return !noted || noted();
    };
    if (series_) {
        if (!TakeFromSeries(ui, recorder)) {
            return false;
        }
        Patch(image);
        return true;
    }
    if (!counterPath_.empty()) {
        std::string error;
        bool interrupted = false;
        const auto beforeMoving = [&](std::uint64_t number) {
            number_ = number;
            return note();
        };
        if (!TakeSerialNumber(counterPath_, LargestSerial(words_), number_, error,
                              recorder.Waiting(), interrupted, beforeMoving)) {
            // Interrupted while another station held the counter: nothing taken, nothing
            // touched, and the signal's status.
            if (interrupted) {
                failureStatus_ = recorder.Waiting().InterruptedStatus();
            } else if (!error.empty()) {
                Refuse(ui, error);
            }
            return false;
        }
        return true;
    }
    number_ = next_;
    if (number_ > LargestSerial(words_)) {
        Refuse(ui, SerialTooLargeText(number_, words_));
        return false;
    }
    if (!note()) {
        return false;
    }
    next_ += counts_ ? 1 : 0;
    return true;
}

void SerialPatch::Patch(SFileImage& image) const {
    std::uint16_t* words = image.Region(*region_).words + (address_ - image.Area(*region_).start);
    words[0] = static_cast<std::uint16_t>(number_ & 0xFFFF);
    if (words_ == 2) {
        words[1] = static_cast<std::uint16_t>(number_ >> 16);
    }
}

std::string SerialPatch::AtText() const {
    return region_ ? AtTextFor(*region_, address_) : std::string();
}
