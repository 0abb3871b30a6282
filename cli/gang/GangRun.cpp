#include "gang/GangRun.h"

#include <sstream>
#include <thread>

#include "AttachedDevices.h"
#include "CUsbPod.h"
#include "CliExit.h"
#include "commandline/GlobalOptions.h"
#include "gang/GangPrompt.h"
#include "records/RunRecord.h"
#include "run/BoardCommand.h"
#include "run/BoardLoop.h"
#include "run/CliContext.h"
#include "run/CliEnvironment.h"
#include "run/OutputFailure.h"

int RunOnPods(const GlobalOptions& globals, const BoardCommand& board,
              const std::optional<PodList>& pods, const CliContext& context) {
    if (pods) {
        return GangRun(globals, board, *pods, context.environment, context.err, context.out).Run();
    }
    return RunOnOnePod(globals, board, context.environment, context.ui, context.out);
}

GangRun::GangRun(const GlobalOptions& globals, const BoardCommand& board,
                 const std::vector<std::string>& pods, const CliEnvironment& environment,
                 std::ostream& err, std::ostream& out)
    : globals_(globals),
      board_(board),
      named_(pods),
      environment_(environment),
      out_(out),
      display_(err, environment.stderrIsTerminal, clock_) {}

GangRun::~GangRun() = default;

int GangRun::Run() {
    if (const int status = SetUp(); status != kExitSuccess) {
        return status;
    }
    std::vector<bool> inRound(pods_.size(), true);
    GangPrompt prompt(environment_.input, environment_.interrupted, display_,
                      globals_.verbosity == CliVerbosity::Quiet);
    for (;;) {
        RunRound(inRound);
        if (!board_.repeat || Interrupted() || noNumber_ != kExitSuccess || recordLost_) {
            break;
        }
        // A pod that has gone (or is in use) takes no further board; the others go on.
        for (std::size_t i = 0; i < pods_.size(); ++i) {
            inRound[i] = inRound[i] && !pods_[i]->Unreached();
        }
        if (!prompt.NextRound(serials_, inRound, failed_, ids_)) {
            break;
        }
        // Records that would go nowhere: no further round starts.
        if (board_.PrintsOnStdout() && environment_.outputClosed && environment_.outputClosed()) {
            display_.Say(
                "vantix-cli: the standard output is closed (its reader has gone); no "
                "board starts");
            recordLost_ = true;
            break;
        }
    }
    return Finish();
}

int GangRun::SetUp() {
    // The command's checks of the file and the options, once, as a single run makes them.
    setUp_ = std::make_unique<GangPod>(globals_, board_, "", "", GangDisplay::kRun, environment_,
                                       display_);
    if (const int status = setUp_->CheckFiles(); status != kExitSuccess) {
        return Refused(*setUp_, status);
    }
    if (const int status = setUp_->Prepare(); status != kExitSuccess) {
        return Refused(*setUp_, status);
    }
    if (const int status = FindPods(serials_); status != kExitSuccess) {
        return status;
    }
    if (!SplitBoardIds(serials_.size(), ids_)) {
        return Refused(*setUp_, kExitInputError);
    }
    // Each pod's own run, all set up before the first pod is touched; what they all say
    // the display says once.
    display_.SetPods(serials_);
    for (std::size_t i = 0; i < serials_.size(); ++i) {
        pods_.push_back(std::make_unique<GangPod>(globals_, board_, serials_[i], ids_[i], i,
                                                  environment_, display_));
        GangPod& pod = *pods_.back();
        if (const int status = pod.CheckFiles(); status != kExitSuccess) {
            return Refused(pod, status);
        }
        for (const auto step : {&GangPod::Prepare, &GangPod::Start}) {
            if (const int status = (pod.*step)(); status != kExitSuccess) {
                return Refused(pod, status);
            }
        }
    }
    failed_.assign(pods_.size(), false);
    display_.EndSetUp();
    return kExitSuccess;
}

int GangRun::FindPods(std::vector<std::string>& serials) {
    if (!named_.empty()) {
        serials = named_;
        return kExitSuccess;
    }
    // All: the pods list marks "pod".
    if (const int status = setUp_->Start(); status != kExitSuccess) {
        return Refused(*setUp_, status);
    }
    std::vector<AttachedDevice> devices;
    std::string error;
    const bool listed = ListAttachedDevices(setUp_->Session().Library(), devices, error);
    for (const AttachedDevice& device : devices) {
        if (device.problem.empty() && device.description == CUsbPod::kPodDescription) {
            serials.push_back(device.serial);
        }
    }
    if (serials.empty()) {
        setUp_->Console().Error("vantix-cli: " + (listed ? "no pod is attached" : error));
        PrintBoards({});
        return kExitUnreachable;
    }
    return kExitSuccess;
}

bool GangRun::SplitBoardIds(std::size_t pods, std::vector<std::string>& ids) {
    ids.assign(pods, std::string());
    const std::string& given = globals_.records.boardId;
    if (given.empty()) {
        return true;
    }
    std::vector<std::string> named;
    std::istringstream list(given);
    for (std::string id; std::getline(list, id, ',');) {
        named.push_back(id);
    }
    if (given.back() == ',') {
        named.emplace_back();
    }
    if (named.size() != pods) {
        setUp_->Console().Error("vantix-cli: --board-id names " + std::to_string(named.size()) +
                                " board" + (named.size() == 1 ? "" : "s") + " for " +
                                std::to_string(pods) + " pod" + (pods == 1 ? "" : "s") +
                                "; give one id per pod, in pod order, separated by commas");
        return false;
    }
    ids = named;
    return true;
}

int GangRun::Refused(GangPod& pod, int status) {
    pod.Refuse(status);
    PrintBoards({&pod});
    return pod.Status();
}

void GangRun::RunRound(const std::vector<bool>& inRound) {
    std::vector<GangPod*> round;
    std::vector<std::size_t> consoles;
    for (std::size_t i = 0; i < pods_.size(); ++i) {
        if (inRound[i]) {
            round.push_back(pods_[i].get());
            consoles.push_back(i);
        }
    }
    display_.OpenRound(consoles);
    // Each board's id and serial number in pod order, then every board at once.
    std::vector<GangPod*> started;
    for (std::size_t k = 0; k < round.size(); ++k) {
        if (round[k]->BeginBoard(ids_[consoles[k]], setUp_->Numbers())) {
            started.push_back(round[k]);
        } else {
            noNumber_ = round[k]->BoardStatus();
        }
    }
    std::vector<std::thread> threads;
    for (GangPod* pod : started) {
        threads.emplace_back([pod] { pod->RunBoard(); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::vector<std::string> results;
    for (std::size_t k = 0; k < round.size(); ++k) {
        // The board's own result, apart from what became of its record.
        const int status = round[k]->BoardStatus();
        tally_.Count(status == kExitSuccess, round[k]->Fate());
        unreached_ += status == kExitUnreachable ? 1 : 0;
        failed_[consoles[k]] = status != kExitSuccess;
        recordLost_ = recordLost_ || round[k]->RecordLost();
        results.push_back(round[k]->Record().status);
    }
    display_.CloseRound(results);
    PrintBoards(round);
    display_.Say(tally_.Text());
}

void GangRun::PrintBoards(const std::vector<GangPod*>& pods) {
    if (board_.json) {
        std::string array;
        for (GangPod* pod : pods) {
            array += (array.empty() ? "" : ",") + RunRecordJson(pod->Record());
        }
        out_ << '[' << array << "]\n";
    } else {
        for (GangPod* pod : pods) {
            std::istringstream lines(pod->TakeData());
            for (std::string line; std::getline(lines, line);) {
                out_ << pod->Serial() << "  " << line << '\n';
            }
        }
    }
    // The boards' records that did not arrive: the line stops, as for a lost log line.
    if (const std::string failure = OutputFailure(out_); !failure.empty() && !pods.empty()) {
        if (!recordLost_) {
            display_.Say("vantix-cli: " + failure);
        }
        recordLost_ = true;
    }
}

int GangRun::Finish() {
    int ended = kExitSuccess;
    if (board_.repeat) {
        for (const std::unique_ptr<GangPod>& pod : pods_) {
            if (const int status = pod->End(); status != kExitSuccess) {
                ended = status;
            }
        }
    }
    if (Interrupted()) {
        return InterruptedExit(environment_);
    }
    if (recordLost_) {
        return kExitRecordLost;
    }
    if (noNumber_ != kExitSuccess) {
        return noNumber_;
    }
    if (tally_.Boards() > 0 && unreached_ == tally_.Boards()) {
        return kExitUnreachable;
    }
    return tally_.Passed() == tally_.Boards() && ended == kExitSuccess ? kExitSuccess
                                                                       : kExitFailed;
}

bool GangRun::Interrupted() const {
    return environment_.interrupted != nullptr && environment_.interrupted->load();
}
