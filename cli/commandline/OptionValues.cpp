#include "commandline/OptionValues.h"

#include <charconv>

namespace {

constexpr const char* kBlanks = " \t\n\v\f\r";

}  // namespace

std::string Refusal(const OptionInfo& option, const std::string& value) {
    switch (option.kind) {
        case ValueKind::Cpu:
            return "unknown CPU '" + value + "': use " + kCpuChoices;
        case ValueKind::RegionName:
        case ValueKind::RegionList:
            return UnknownRegionText(value);
        default:
            break;
    }
    std::string text = option.refusal != nullptr ? option.refusal : "";
    if (const std::size_t at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

std::optional<std::vector<MemoryRegion>> ReadRegionList(const std::vector<std::string>& names,
                                                        std::string& unknown) {
    std::vector<MemoryRegion> regions;
    for (const std::string& item : names) {
        const std::size_t first = item.find_first_not_of(kBlanks);
        if (first == std::string::npos) {
            continue;
        }
        const std::string name = item.substr(first, item.find_last_not_of(kBlanks) - first + 1);
        const std::optional<MemoryRegion> region = RegionFromUserName(name);
        if (!region) {
            unknown = name;
            return std::nullopt;
        }
        regions.push_back(*region);
    }
    return regions;
}

std::optional<SerialAddress> ReadSerialAddress(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::optional<MemoryRegion> region = RegionFromUserName(text.substr(0, colon));
    std::string digits = text.substr(colon + 1);
    if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0) {
        digits.erase(0, 2);
    }
    if (!region || digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return std::nullopt;
    }
    return SerialAddress{*region, static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16)), text};
}

std::optional<std::uint64_t> ReadCount(const OptionInfo& option, const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        read.ec != std::errc() || read.ptr != end || value < option.least || value > option.most) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> ReadSha256(const std::string& text) {
    std::string sha256 = text;
    for (char& c : sha256) {
        c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    }
    if (sha256.size() != 64 || sha256.find_first_not_of("0123456789abcdef") != std::string::npos) {
        return std::nullopt;
    }
    return sha256;
}
