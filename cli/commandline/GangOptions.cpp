#include "commandline/GangOptions.h"

#include <algorithm>
#include <sstream>

#include "commandline/CliOptionRows.h"
#include "commandline/OptionReader.h"

namespace {

constexpr const char* kBlanks = " \t\n\v\f\r";

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool IsAll(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == "all";
}

}  // namespace

std::string ReadPodsOption(const OptionReader& reader, std::optional<PodList>& pods) {
    const std::optional<std::string> given = reader.Text(kPodsRow);
    if (!given) {
        return {};
    }
    if (!reader.Globals().pod.serial.empty()) {
        return "--pod and --pods do not go together: --pods names every pod the command "
               "works on";
    }
    const std::string text = Trimmed(*given);
    std::vector<std::string> serials;
    if (IsAll(text)) {
        pods = serials;
        return {};
    }
    const std::string malformed =
        "--pods wants all or serial numbers separated by commas, not '" + *given + "'";
    if (text.empty() || text.back() == ',') {
        return malformed;
    }
    std::istringstream list(text);
    for (std::string item; std::getline(list, item, ',');) {
        const std::string serial = Trimmed(item);
        if (serial.empty()) {
            return malformed;
        }
        if (std::find(serials.begin(), serials.end(), serial) != serials.end()) {
            return "--pods names the pod " + serial + " twice";
        }
        serials.push_back(serial);
    }
    pods = serials;
    return {};
}
