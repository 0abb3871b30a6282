#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

class Clock;

// stderr for a run on several pods at once: every pod's console and the run's own lines pass
// through here, one at a time, from whichever thread.
//
// While the run sets itself up (the file, the options, the sessions) the pods would all say
// the same: each line is said once, as a single run says it. While the boards run, on a
// terminal each pod has one line at the bottom, redrawn in place with what the pod shows
// last (its step and percentage, a message); elsewhere each line a pod prints is written
// out, prefixed with its serial number. A round ends with each board's result on its pod's
// line: on a terminal those lines stay where the pods' lines were.
class GangDisplay {
public:
    // A pod's console, or the run's own (kRun).
    static constexpr std::size_t kRun = static_cast<std::size_t>(-1);

    // The clock paces the redraws of a terminal's lines.
    GangDisplay(std::ostream& err, bool terminal, Clock& clock);

    // The pods of the run, in pod order; a pod's console is its index here.
    void SetPods(std::vector<std::string> serials);
    // From here on the pods speak for themselves.
    void EndSetUp();

    // A line a console has finished.
    void Line(std::size_t console, const std::string& text);
    // The line a console draws in place (a terminal's progress line), as it stands now.
    void Live(std::size_t console, const std::string& text);
    // A line of the run's own, between rounds.
    void Say(const std::string& text);

    // The boards of these pods start: on a terminal each pod gets its line.
    void OpenRound(const std::vector<std::size_t>& pods);
    // Each board's result, in the order OpenRound named the pods.
    void CloseRound(const std::vector<std::string>& results);

private:
    struct PodLine {
        std::size_t pod;
        std::string text;
    };

    std::string Prefixed(std::size_t pod, const std::string& text) const;
    // A pod's line of the open round; drawn at once, or when the last redraw is old enough.
    void SetLine(std::size_t pod, const std::string& text, bool now);
    void Redraw();
    // The text cut to the terminal's width, so that no line wraps and the lines stay
    // where the redraw expects them.
    std::string Fitted(const std::string& text) const;

    std::mutex mutex_;
    std::ostream& err_;
    bool terminal_;
    Clock& clock_;
    std::size_t columns_;
    std::vector<std::string> serials_;
    bool settingUp_ = true;
    std::set<std::string> said_;  // while setting up
    bool roundOpen_ = false;
    std::vector<PodLine> lines_;  // a terminal's lines of the open round
    std::size_t drawn_ = 0;       // how many of them are on the screen
    std::uint32_t drawnMs_ = 0;
};
