#include "commandline/GangOptions.h"

#include <algorithm>
#include <sstream>

#include "commandline/OptionReader.h"

constexpr OptionInfo kPodsRow = {
    Program::Cli, nullptr, "pods", false, ValueKind::PodList, "all|SERIAL,...",
    "run the command on several pods at once, a board on each: all\n"
    "(every pod list marks \"pod\", in the order of their serial\n"
    "numbers) or serial numbers separated by commas (in the order\n"
    "given). Each pod works under its own lock; a pod in use or\n"
    "missing is reported and the others go on. Each board has its\n"
    "record (--json: one array; --log: a line each) and its own\n"
    "serial number; --trace PATH writes PATH.SERIAL per pod and\n"
    "--board-id takes one id per pod, in pod order (A,B,...).\n"
    "stderr shows a line per pod, then one line per board and the\n"
    "tally. Exit 0 when every board passed, 1 when any failed, 3\n"
    "when no pod could be reached. With --repeat the prompt takes\n"
    "one board id per pod, in pod order, or x to leave out the\n"
    "pods whose board failed",
    0, 0, nullptr};

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
