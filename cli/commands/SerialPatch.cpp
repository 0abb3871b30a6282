#include "commands/SerialPatch.h"

#include <algorithm>
#include <cstdio>

#include "SFileImage.h"
#include "commandline/CliExit.h"
#include "commandline/CliOptions.h"
#include "commands/ConsoleUi.h"
#include "commands/ImageLoading.h"
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

// "REGION:ADDRESS", the address in hex with or without 0x.
bool ParseSerialAt(const std::string& text, MemoryRegion& region, std::uint32_t& address) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    const std::optional<MemoryRegion> named = RegionFromUserName(text.substr(0, colon));
    std::string digits = text.substr(colon + 1);
    if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0) {
        digits.erase(0, 2);
    }
    if (!named || digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    region = *named;
    address = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
    return true;
}

}  // namespace

int SerialPatch::Refuse(ConsoleUi& ui, const std::string& message) const {
    ui.Error("vantix-cli: " + message);
    return kExitInputError;
}

int SerialPatch::Prepare(const CliOptions& options, SFileImage& image, std::vector<RegionRow>& rows,
                         ConsoleUi& ui) {
    const std::pair<const char*, const std::optional<std::string>*> given[] = {
        {"--serial-at", &options.serialAt},
        {"--serial-words", &options.serialWords},
        {"--serial-counter", &options.serialCounter},
        {"--serial-start", &options.serialStart},
        {"--serial-value", &options.serialValue}};
    for (const auto& [name, value] : given) {
        if (*value && !options.serialAt) {
            return Refuse(ui, std::string(name) + " needs --serial-at REGION:ADDRESS");
        }
    }
    if (!options.serialAt) {
        return options.serialOverwrite
                   ? Refuse(ui, "--serial-overwrite needs --serial-at REGION:ADDRESS")
                   : kExitSuccess;
    }
    MemoryRegion region = MemoryRegion::PFLASH;
    if (!ParseSerialAt(*options.serialAt, region, address_)) {
        return Refuse(ui,
                      "--serial-at wants REGION:ADDRESS with the address in hex, for "
                      "example PFLASH:7FF0, not '" +
                          *options.serialAt + "'");
    }
    if (options.serialWords && *options.serialWords != "1" && *options.serialWords != "2") {
        return Refuse(ui, "--serial-words takes 1 or 2, not '" + *options.serialWords + "'");
    }
    words_ = options.serialWords && *options.serialWords == "2" ? 2 : 1;

    // Where the numbers come from: a check of one board, a shared counter or this run's count.
    const bool verify = options.command == CliCommand::Verify;
    const std::optional<std::string>& number = verify ? options.serialValue : options.serialStart;
    if (verify && !number) {
        return Refuse(ui, "--serial-at needs --serial-value N, the number the board holds");
    }
    if (!verify && options.serialCounter.has_value() == number.has_value()) {
        return Refuse(ui, number ? "--serial-counter and --serial-start exclude each other"
                                 : "--serial-at needs --serial-counter FILE or --serial-start N");
    }
    if (number && !ParseSerialNumber(*number, next_)) {
        return Refuse(ui, std::string(verify ? "--serial-value" : "--serial-start") +
                              " takes a decimal number, not '" + *number + "'");
    }
    if (number && next_ > Largest()) {
        return Refuse(ui, "serial number " + std::to_string(next_) + " does not fit " +
                              std::to_string(16 * words_) + " bits (--serial-words " +
                              std::to_string(words_) + ")");
    }
    // verify checks the number it is given; it never takes one.
    counterPath_ = verify ? std::string() : options.serialCounter.value_or("");
    counts_ = !verify && number.has_value();

    // The words must lie in the region of the CPU's map; PFLASH's first four words are the
    // vectors, which the file's boot flash image holds.
    const AddressArea& area = image.Area(region);
    const std::uint32_t lowest = area.start + (region == MemoryRegion::PFLASH ? 4 : 0);
    const bool mapped =
        area.size != 0 && CpuHasRegion(image.cpu, region);
    region_ = region;
    if (mapped && address_ >= lowest && address_ <= area.end && address_ + 1 > area.end &&
        words_ == 2) {
        region_.reset();
        return Refuse(ui, "a two-word serial number at " + AtTextFor(region, address_) +
                              " needs the word after it, " + Hex4(address_ + 1) +
                              ", which lies beyond the end of " + RegionName(region) + " (" +
                              Hex4(lowest) + "-" + Hex4(area.end) + ")");
    }
    if (!mapped || address_ < lowest || address_ + (words_ - 1) > area.end) {
        region_.reset();
        return Refuse(ui, "serial address " + *options.serialAt + " lies outside " +
                              RegionName(region) + " of the " + CpuName(image.cpu) +
                              (mapped ? " (" + Hex4(lowest) + "-" + Hex4(area.end) + ")"
                                      : std::string(", which has none")));
    }
    for (std::uint32_t a = address_; a < address_ + static_cast<std::uint32_t>(words_); ++a) {
        if (image.IsFilled(region, a) && !options.serialOverwrite) {
            region_.reset();
            return Refuse(ui, "serial address " + AtTextFor(region, a) +
                                  " holds data of the file; --serial-overwrite replaces it");
        }
    }
    RegionImage& words = image.Region(region);
    const auto first = static_cast<std::uint16_t>(address_);
    const auto last = static_cast<std::uint16_t>(address_ + words_ - 1);
    words.minAddress = words.loaded ? std::min(words.minAddress, first) : first;
    words.maxAddress = words.loaded ? std::max(words.maxAddress, last) : last;
    words.loaded = true;
    rows = ListPresentRegions(image);
    return kExitSuccess;
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

bool SerialPatch::NextBoard(SFileImage& image, ConsoleUi& ui) {
    if (!counterPath_.empty()) {
        std::string error;
        if (!TakeSerialNumber(counterPath_, Largest(), number_, error)) {
            Refuse(ui, error);
            return false;
        }
    } else {
        number_ = next_;
        if (number_ > Largest()) {
            Refuse(ui, "serial number " + std::to_string(number_) + " does not fit " +
                           std::to_string(16 * words_) + " bits (--serial-words " +
                           std::to_string(words_) + ")");
            return false;
        }
        next_ += counts_ ? 1 : 0;
    }
    // Low word first.
    std::uint16_t* words = image.Region(*region_).words + (address_ - image.Area(*region_).start);
    words[0] = static_cast<std::uint16_t>(number_ & 0xFFFF);
    if (words_ == 2) {
        words[1] = static_cast<std::uint16_t>(number_ >> 16);
    }
    return true;
}

std::string SerialPatch::AtText() const {
    return region_ ? AtTextFor(*region_, address_) : std::string();
}
