#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "ProgrammerCommands.h"
#include "commandline/GlobalOptions.h"
#include "gang/GangConsoleOutput.h"
#include "run/BoardCommand.h"
#include "run/BoardWork.h"
#include "run/ConsoleUi.h"
#include "run/PodRun.h"
#include "run/RunRecorder.h"

class GangDisplay;
class SerialPatch;
struct CliEnvironment;

// One pod of a run on several pods, with all that a run of its own on that pod would have:
// the options that name it (--pod, its trace PATH.SERIAL, its board's id), its console
// (into the shared display), its recorder (its --log lines), its run (clock, backend,
// driver, lock and the board's record) and the command's own steps. Its boards run on a
// thread of their own; nothing of it is shared with another pod.
//
// Without a serial number it is the run's set-up: the command's checks of the file and the
// options, made once, and the session that lists the pods for --pods all.
class GangPod {
public:
    GangPod(const GlobalOptions& globals, const BoardCommand& board, const std::string& serial,
            const std::string& boardId, std::size_t console, const CliEnvironment& environment,
            GangDisplay& display);
    GangPod(const GangPod&) = delete;
    GangPod& operator=(const GangPod&) = delete;

    const std::string& Serial() const { return globals_.pod.serial; }

    // Before any pod is touched, as a single run does it: the files the run writes and the
    // log and the station database, the command's checks of the file and the options, and
    // the session. Each returns
    // kExitSuccess or the status of a refusal, after reporting it.
    int CheckFiles();
    int Prepare();
    int Start();
    // The run ends before the pod is touched: the record with that status.
    void Refuse(int status);

    // The next board, in the main thread and in pod order: its id and its serial number from
    // the run's series. False when there is no number for it (or its image is no longer
    // released for the series): its record is kept with the series' failure status (2, or 3
    // when the station database is out of reach).
    bool BeginBoard(const std::string& boardId, SerialPatch* numbers);
    // On the pod's own thread: the board's work and its record.
    void RunBoard();
    // After the last board of --repeat: the pod is closed and its state saved; the status
    // the run's end gives (0, 1 when the state cannot be saved, 128 + a signal).
    int End();

    // The exit status the board gives the run: its own, or kExitRecordLost when its record
    // could not be kept.
    int Status() const { return status_; }
    // How the board itself ended, as its record says.
    int BoardStatus() const { return boardStatus_; }
    RecordFate Fate() const { return recorder_.LastFate(); }
    // The pod could not be reached, or has gone.
    bool Unreached() const { return unreached_; }
    bool RecordLost() const { return recorder_.RecordLost(); }
    const RunRecord& Record() { return run_.Record(); }
    // What the board's command printed on stdout (blank-check's lines); read once.
    std::string TakeData();
    PodSession& Session() { return run_.Session(); }
    ConsoleUi& Console() { return ui_; }
    // The command's series of serial numbers; null for commands without a file.
    SerialPatch* Numbers() { return work_->Numbers(); }

private:
    CommandOutcome Work();

    const GlobalOptions globals_;
    const BoardCommand board_;
    const CliEnvironment& environment_;
    GangConsoleOutput output_;
    std::ostream err_;
    ConsoleUi ui_;
    std::ostringstream data_;
    RunRecorder recorder_;
    std::unique_ptr<BoardWork> work_;
    PodRun run_;
    int status_ = 0;
    int boardStatus_ = 0;
    bool unreached_ = false;
};
