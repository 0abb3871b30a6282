// The same faults seen through vantix-cli: a script must get exit status 1 when the pod
// fails a step and 3 when the pod cannot be reached, never 0. One fault per command letter
// of each command's conversation (the first frame with it), and a pulled plug at every call
// that finds, opens and identifies the pod.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "CliExit.h"
#include "CliTestSupport.h"
#include "CommandPositions.h"
#include "SweepRun.h"
#include "SweepScenarios.h"

namespace {

struct CliCommand {
    SweepCommand command;
    std::vector<std::string> args;
};

std::vector<CliCommand> Commands() {
    const auto with = [](const char* name, std::vector<std::string> options) {
        std::vector<std::string> args = {"--simulate", name, Example("dsp56f807.s"), "--cpu",
                                         "807"};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    };
    // The options of the window's scenario: whole boot flash erased, reset after writing.
    return {
        {SweepCommand::TargetWrite, with("write", {"--erase-all-boot", "--reset-after"})},
        {SweepCommand::TargetWriteVerify,
         with("write-verify", {"--erase-all-boot", "--reset-after"})},
        {SweepCommand::TargetVerify, with("verify", {"--reset-after"})},
        {SweepCommand::PodWrite, with("pod-write", {"--erase-all-boot", "--reset-after"})},
        {SweepCommand::PodVerify, with("pod-verify", {})},
        {SweepCommand::TargetReset, {"--simulate", "reset"}},
    };
}

// The pod as the command needs it (programmed target, stored image), then the fault.
ScriptedPod PodFor(const SweepScenario& s, const SweepFault& fault) {
    ScriptedPod scripted;
    scripted.script = [s, fault](SimulatedPod& pod) {
        if (!s.start.program.empty()) {
            pod.Target().RestoreSpaces(s.start.program, s.start.data);
        }
        if (s.start.eepromStored) {
            pod.Eeprom().Restore(s.start.record, s.start.blocks);
        }
        if (fault.kind == SweepFault::Kind::Silence) {
            pod.Faults().SilenceReply(fault.letter, fault.occurrence);
        } else if (fault.kind == SweepFault::Kind::Unplug) {
            pod.Faults().UnplugAtCall(fault.call);
        }
    };
    return scripted;
}

TEST(CliSweep, ExitStatusSaysFailedOrUnreachableNeverSuccess) {
    int runs = 0;
    for (const CliCommand& command : Commands()) {
        const SweepScenario s = MakeScenario(CpuType::DSP56F807, command.command);
        SCOPED_TRACE(s.name);
        ScriptedPod clean = PodFor(s, {});
        const CliRun ok = RunInProcess(command.args, clean.Environment());
        ASSERT_EQ(ok.status, kExitSuccess) << ok.err;

        // The conversation the window has with the pod is the command line's too.
        SweepRun window(s, {});
        ASSERT_TRUE(window.Execute().Ok());
        ASSERT_EQ(clean.pod->FrameLog(), window.sim.FrameLog());
        const std::vector<CommandPosition> positions =
            CommandPositions(window.tap.Calls(), *s.image);

        std::set<char> letters;
        for (const CommandPosition& p : positions) {
            if (ReplyTimeoutMs(p.letter) == 0 || !letters.insert(p.letter).second) {
                continue;
            }
            SweepFault fault{SweepFault::Kind::Silence, p.letter, p.occurrence, 0, 0};
            ScriptedPod faulty = PodFor(s, fault);
            const CliRun run = RunInProcess(command.args, faulty.Environment());
            // A silent first identify is asked again; every other silence fails the command.
            EXPECT_EQ(run.status, p.letter == 'I' ? kExitSuccess : kExitFailed)
                << p.letter << ": " << run.err;
            EXPECT_FALSE(faulty.pod->IsOpen());
            ++runs;
        }
        // Lost while being found, opened, configured or identified: unreachable.
        for (int call = 1; call <= positions.front().call; ++call) {
            SweepFault fault;
            fault.kind = SweepFault::Kind::Unplug;
            fault.call = call;
            ScriptedPod faulty = PodFor(s, fault);
            const CliRun run = RunInProcess(command.args, faulty.Environment());
            EXPECT_EQ(run.status, kExitUnreachable) << "call " << call << ": " << run.err;
            ++runs;
        }
    }
    std::cout << "fault sweep (vantix-cli): " << runs << " runs" << std::endl;
}

}  // namespace
