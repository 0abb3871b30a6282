#pragma once

#include <atomic>
#include <istream>
#include <string>
#include <vector>

class BoardPrompt;
class GangDisplay;

// Between the rounds of --repeat on several pods: one prompt for the next board of every
// pod. A plain Enter starts them without ids. A line of text is the first pod's board id,
// and one more line is read for each further pod, in pod order, as a scanner sends one line
// per barcode. "x" leaves out the pods whose board failed, as an operator sets such a
// fixture aside; "q", the end of the input or Ctrl+C ends the run. Both words are commands
// in every round: x with no failed board to leave out is refused, never taken for an id.
class GangPrompt {
public:
    // input: as BoardPrompt's (null: the process's standard input).
    GangPrompt(std::istream* input, const std::atomic<bool>* interrupted, GangDisplay& display,
               bool quiet);

    // serials: every pod of the run; inRound: which take the next round (the operator may
    // leave some out); failed: whose board failed in the last round. On true, ids holds the
    // next board's id for each pod of the round (empty: none).
    bool NextRound(const std::vector<std::string>& serials, std::vector<bool>& inRound,
                   const std::vector<bool>& failed, std::vector<std::string>& ids);

private:
    // The next line that is a board id for the pod; false when the run ends instead.
    bool AskBoardId(BoardPrompt& prompt, const std::string& serial, std::string& id);

    std::istream* input_;
    const std::atomic<bool>* interrupted_;
    GangDisplay& display_;
    bool quiet_;
};
