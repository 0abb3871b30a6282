#include "SweepRun.h"

#include "CommandPositions.h"
#include "SFileImage.h"

SweepRun::SweepRun(const SweepScenario& s, const SweepFault& fault)
    : scenario(s), pod(tap, clock, *s.image), commands(pod, *s.image, clock, ui) {
    if (!s.start.program.empty()) {
        sim.Target().RestoreSpaces(s.start.program, s.start.data);
    }
    if (s.start.eepromStored) {
        sim.Eeprom().Restore(s.start.record, s.start.blocks);
    }
    SimFaults& faults = sim.Faults();
    switch (fault.kind) {
        case SweepFault::Kind::None:
            break;
        case SweepFault::Kind::Silence:
            faults.SilenceReply(fault.letter, fault.occurrence);
            break;
        case SweepFault::Kind::WrongByte:
            faults.WrongReply(fault.letter, fault.occurrence, '#');
            break;
        case SweepFault::Kind::Objection:
            faults.objectAfterTBatch = fault.batch;
            break;
        case SweepFault::Kind::Unplug:
            faults.UnplugAtCall(fault.call);
            break;
        case SweepFault::Kind::Late:
            // Past the host's whole wait: the first device read, then the reply time-out.
            faults.LateReply(fault.letter, fault.occurrence,
                             ReplyTimeoutMs(fault.letter) + kLateBeyondTimeoutMs);
            break;
        case SweepFault::Kind::Twice:
            faults.DoubleReply(fault.letter, fault.occurrence);
            break;
        case SweepFault::Kind::Stray:
            faults.StrayBeforeReply(fault.letter, fault.occurrence);
            break;
        case SweepFault::Kind::Cut:
            faults.CutReply(fault.letter, fault.occurrence);
            break;
    }
    pod.LoadDriverLibrary();
}

CommandOutcome SweepRun::Execute() {
    const std::uint64_t begin = clock.NowUs();
    CommandOutcome outcome;
    const SweepScenario& s = scenario;
    switch (s.command) {
        case SweepCommand::TargetWrite:
            outcome =
                commands.RunTarget(TargetCommand::Write, s.list, s.eraseAllBoot, s.resetAfterWrite);
            break;
        case SweepCommand::TargetWriteVerify:
            outcome = commands.RunTarget(TargetCommand::WriteVerify, s.list, s.eraseAllBoot,
                                         s.resetAfterWrite);
            break;
        case SweepCommand::TargetVerify:
            outcome = commands.RunTarget(TargetCommand::Verify, s.list, s.eraseAllBoot,
                                         s.resetAfterWrite);
            break;
        case SweepCommand::PodWrite:
            outcome = commands.RunPod(PodCommand::Write, s.list.size(), s.eraseAllBoot,
                                      s.resetAfterWrite);
            break;
        case SweepCommand::PodVerify:
            outcome = commands.RunPod(PodCommand::Verify, s.list.size(), s.eraseAllBoot,
                                      s.resetAfterWrite);
            break;
        case SweepCommand::TargetReset:
            outcome = commands.TargetReset();
            break;
    }
    elapsedUs = clock.NowUs() - begin;
    return outcome;
}

SweepPodState SweepRun::PodState() const {
    SweepPodState state;
    state.program = sim.Target().ProgramSpace();
    state.data = sim.Target().DataSpace();
    state.eepromStored = true;
    state.record = sim.EepromRecord();
    state.blocks = sim.StoredBlocks();
    return state;
}
