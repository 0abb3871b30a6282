#include "PodRig.h"

#include "RegionSelection.h"

PodRig::PodRig(D2xxApi& device, VirtualClock& clock, const SFileImage& image)
    : counting_(device, &clock),
      library_(counting_),
      hostClock_(clock),
      pod_(library_, hostClock_, image) {
    opened_ = pod_.LoadDriverLibrary() && pod_.FindPod() && pod_.Open() == kPodOpenOk;
    ResetCounts();
}

PodResult PodRig::Run(Operation operation) {
    switch (operation) {
        case Operation::TargetWriteVerify:
            return pod_.ProgramAndVerifyTarget(RegionSelection{1, 1, 1, 1}, false);
        case Operation::PodWrite:
            return pod_.WritePodEeprom(false, false);
        case Operation::PodVerify:
            return pod_.VerifyPodEeprom();
    }
    return 0xFFFF;
}

void PodRig::ResetCounts() {
    counting_.Reset();
    hostClock_.Reset();
}

const char* PodRig::Name(Operation operation) {
    switch (operation) {
        case Operation::TargetWriteVerify:
            return "Target Write && Verify";
        case Operation::PodWrite:
            return "POD Write";
        case Operation::PodVerify:
            return "POD Verify";
    }
    return "";
}
