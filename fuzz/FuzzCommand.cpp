#include "FuzzCommand.h"

PodResult RunFuzzCommand(CUsbPod& pod, FuzzCommand command, const RegionSelection& selection,
                         bool eraseAllBoot, bool resetAfterWrite) {
    switch (command) {
        case FuzzCommand::Write:
            return pod.ProgramTarget(selection, eraseAllBoot);
        case FuzzCommand::WriteVerify:
            return pod.ProgramAndVerifyTarget(selection, eraseAllBoot);
        case FuzzCommand::Verify:
            return pod.VerifyTarget(selection);
        case FuzzCommand::Reset:
            return pod.ResetTarget() ? 0 : 1;
        case FuzzCommand::PodWrite:
            return pod.WritePodEeprom(eraseAllBoot, resetAfterWrite);
        case FuzzCommand::PodVerify:
            return pod.VerifyPodEeprom();
    }
    return 0xFFFF;
}
