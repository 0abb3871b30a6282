#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>

#include "NullDisplay.h"
#include "PodDisplays.h"
#include "ProgrammerCommands.h"
#include "commandline/Verbosity.h"

// The command line's displays: everything for people goes to stderr through here.
//
// Status texts are the phases of an operation. On a terminal each region or step (the
// status text's first word: "PFLASH", "Enter", "Flash" ...) gets one line, redrawn in place
// with a progress bar while its phases go by. Elsewhere (a log, a pipe) each status text is
// printed once, as a plain line, with no bar. Messages keep the window's colours as meaning:
// red ones are errors and always print; the rest are quiet in --quiet, except that a
// refusal can be reported afterwards.
class ConsoleUi final : public OperationUi,
                        private StatusDisplay,
                        private ProgressDisplay,
                        private MessageDisplay {
public:
    ConsoleUi(std::ostream& err, CliVerbosity verbosity, bool terminal);
    ~ConsoleUi() override;
    ConsoleUi(const ConsoleUi&) = delete;
    ConsoleUi& operator=(const ConsoleUi&) = delete;

    // OperationUi
    MessageDisplay& Messages() override { return *this; }
    StatusDisplay& Status() override { return *this; }
    ProgressDisplay& Progress() override { return *this; }
    LedDisplay& Led(int) override { return leds_; }
    void SetBusy(bool busy) override;

    void Error(const std::string& text);
    void Warning(const std::string& text);
    void Info(const std::string& text);
    // What the run waits for: shown in --quiet too, since a silent wait looks like a hang;
    // it is no message of the run's record.
    void Notice(const std::string& text) { Line(text); }
    // A wire trace line; shown only with --verbose.
    void Trace(const std::string& text);
    // In --quiet the blue refusal was held back; an outcome of Refused prints it.
    void ReportRefusal();
    // Whether a status text has already been shown as a line of this operation.
    bool ShowedStatus(const std::string& text) const { return shownStatus_.count(text) != 0; }
    // Ends an open progress line.
    void Finish();
    // The last message or error shown (without the program's name), for the run's record.
    const std::string& LastMessage() const { return lastMessage_; }
    // A new board: what the last one said is not this one's status.
    void ForgetLastMessage() { lastMessage_.clear(); }

    // Once this flag is set (Ctrl+C and the like), the failure of the step cut short is no
    // fault to report: its status text and red messages are not shown.
    void WatchInterruption(const std::atomic<bool>* interrupted) { interrupted_ = interrupted; }

    bool Quiet() const { return verbosity_ == CliVerbosity::Quiet; }
    bool Verbose() const { return verbosity_ == CliVerbosity::Verbose; }

private:
    // StatusDisplay
    void SetText(const char* text) override;
    void RepaintNow() override;
    // ProgressDisplay
    void SetRange(std::int32_t lower, std::int32_t upper) override;
    std::int32_t SetPos(std::int32_t position) override;
    // MessageDisplay
    void AddMessage(const char* text, std::uint32_t colour) override;

    void Line(const std::string& text);
    bool Interrupted() const { return interrupted_ != nullptr && interrupted_->load(); }
    void DrawProgress(bool force);

    std::ostream& err_;
    CliVerbosity verbosity_;
    bool terminal_;
    NullDisplay leds_;

    std::string pendingText_;
    std::string currentText_;
    std::set<std::string> shownStatus_;
    std::int32_t lower_ = 0;
    std::int32_t upper_ = 100;
    std::int32_t pos_ = 0;
    bool lineOpen_ = false;  // a progress line is drawn without its line end
    bool barShown_ = false;
    int drawnPercent_ = -1;
    std::size_t drawnLength_ = 0;
    std::string heldRefusal_;
    std::string lastMessage_;
    const std::atomic<bool>* interrupted_ = nullptr;
};
