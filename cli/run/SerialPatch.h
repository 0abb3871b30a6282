#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "MemoryRegion.h"
#include "ProgrammerCommands.h"
#include "RegionRows.h"

class ConsoleUi;
class RunRecorder;
class SFileImage;
struct SerialCheck;
struct SerialNumbering;
struct SerialPlace;

// Each board's serial number (--serial-at and the options with it): where in the loaded image
// it goes, which number comes next, and the checks made before the pod is touched. The number
// is patched into the image in memory, so the board's erase, write and verify cover it; the
// file is never changed.
class SerialPatch {
public:
    // Checks the address against the CPU's memory map and the words the file fills. A word
    // the file does not cover joins its region, whose extent grows to hold it, so its page is
    // erased and written like any other; the rows are listed again. kExitSuccess, or
    // kExitInputError after reporting. Each board takes a number of `numbering`; or each
    // board is checked to hold `check`'s.
    int Prepare(const SerialNumbering& numbering, SFileImage& image,
                std::vector<RegionRow>& rows, ConsoleUi& ui);
    int Prepare(const SerialCheck& check, SFileImage& image, std::vector<RegionRow>& rows,
                ConsoleUi& ui);
    bool Active() const { return region_.has_value(); }
    // The word's region must be one the command works on.
    int CheckTicked(const std::vector<RegionListItem>& items, ConsoleUi& ui) const;

    // Takes the next board's number (from the counter file, the station database's series
    // for the recorder's run, the run's count or --serial-value) and writes it into the
    // image. False after reporting when there is none to take; the board must then not be
    // touched, and the run ends with FailureStatus.
    //
    // `noted` runs once the number is in the image and before it counts as taken (while the
    // counter is still locked and at it, before the run's next number moves on): it keeps the
    // board's started entry, so no number is ever taken without one. False from it (after
    // reporting) takes nothing.
    bool NextBoard(SFileImage& image, ConsoleUi& ui, RunRecorder& recorder,
                   const std::function<bool()>& noted = {});
    // kExitInputError, or kExitUnreachable when the station database could not be reached.
    int FailureStatus() const { return failureStatus_; }
    // The board is refused for another reason, with that status.
    void FailWith(int status) { failureStatus_ = status; }
    // Each board takes a number of its own (write, write-verify), rather than checking one.
    bool Takes() const { return takes_; }
    // The numbers come from the station database's series, taken for the board's run.
    bool FromSeries() const { return series_.has_value(); }
    std::uint32_t Number() const { return static_cast<std::uint32_t>(number_); }
    // "PFLASH:0x7F00"
    std::string AtText() const;
    // The region the number goes into: "PFLASH"; empty without --serial-at.
    std::string Region() const { return region_ ? RegionName(*region_) : ""; }

private:
    int Refuse(ConsoleUi& ui, const std::string& message) const;
    // Makes room for the number where `place` says, once it is known to fit there.
    int Place(const SerialPlace& place, SFileImage& image, std::vector<RegionRow>& rows,
              ConsoleUi& ui);
    bool TakeFromSeries(ConsoleUi& ui, RunRecorder& recorder);
    // Why the serial number cannot go where --serial-at says; empty when it can.
    std::string CheckPlace(const SerialPlace& place, const SFileImage& image) const;
    // Writes number_ into the image, low word first.
    void Patch(SFileImage& image) const;

    std::optional<MemoryRegion> region_;
    std::uint32_t address_ = 0;
    int words_ = 1;
    std::string counterPath_;
    std::optional<std::string> series_;  // --serial-series
    int failureStatus_ = 2;
    std::uint64_t next_ = 0;  // --serial-start: the next board's; --serial-value: every board's
    bool counts_ = false;     // --serial-start: each board the next number
    bool takes_ = false;
    std::uint64_t number_ = 0;
};
