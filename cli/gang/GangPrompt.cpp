#include "gang/GangPrompt.h"

#include "gang/GangDisplay.h"
#include "station/BoardPrompt.h"

namespace {

std::string Joined(const std::vector<std::string>& serials, const std::vector<bool>& chosen) {
    std::string text;
    for (std::size_t i = 0; i < serials.size(); ++i) {
        if (chosen[i]) {
            text += (text.empty() ? "" : ", ") + serials[i];
        }
    }
    return text;
}

// The prompt's own word for leaving pods out; never a board id, whatever the round offers.
bool IsLeaveOut(const std::string& line) {
    return line == "x" || line == "X";
}

}  // namespace

GangPrompt::GangPrompt(std::istream* input, const std::atomic<bool>* interrupted,
                       GangDisplay& display, bool quiet)
    : input_(input), interrupted_(interrupted), display_(display), quiet_(quiet) {}

bool GangPrompt::NextRound(const std::vector<std::string>& serials, std::vector<bool>& inRound,
                           const std::vector<bool>& failed, std::vector<std::string>& ids) {
    BoardPrompt prompt(input_, interrupted_);
    prompt.DiscardTypeAhead();
    for (;;) {
        std::vector<bool> leavable(serials.size(), false);
        for (std::size_t i = 0; i < serials.size(); ++i) {
            leavable[i] = inRound[i] && failed[i];
        }
        const std::string pods = Joined(serials, inRound);
        const std::string failing = Joined(serials, leavable);
        if (pods.empty()) {
            return false;
        }
        if (!quiet_) {
            display_.Say("Next boards on " + pods +
                         ": press Enter, or scan one board id per pod in this order (q and "
                         "Enter to stop" +
                         (failing.empty() ? "" : "; x and Enter leaves out " + failing) + ")");
        }
        std::string line;
        if (!prompt.NextBoardWanted(line)) {
            return false;
        }
        if (IsLeaveOut(line)) {
            if (failing.empty()) {
                display_.Say("vantix-cli: no pod's board failed in the last round, so x leaves "
                             "out none; x is a command, not a board id");
            }
            for (std::size_t i = 0; i < serials.size(); ++i) {
                inRound[i] = inRound[i] && !leavable[i];
            }
            continue;
        }
        ids.assign(serials.size(), std::string());
        bool first = true;
        for (std::size_t i = 0; i < serials.size() && !line.empty(); ++i) {
            if (!inRound[i]) {
                continue;
            }
            if (first) {
                ids[i] = line;
                first = false;
            } else if (!AskBoardId(prompt, serials[i], ids[i])) {
                return false;
            }
        }
        return true;
    }
}

bool GangPrompt::AskBoardId(BoardPrompt& prompt, const std::string& serial, std::string& id) {
    for (;;) {
        if (!prompt.NextBoardWanted(id)) {
            return false;
        }
        if (!IsLeaveOut(id)) {
            return true;
        }
        display_.Say("vantix-cli: x is a command, not a board id; scan the board id for " +
                     serial);
    }
}
