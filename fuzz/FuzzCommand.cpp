#include "FuzzCommand.h"

#include "FuzzImages.h"

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

FuzzRequest FuzzRequest::Decode(std::uint8_t commandByte, std::uint8_t imageByte) {
    FuzzRequest request;
    request.command = static_cast<FuzzCommand>(commandByte % kFuzzCommandCount);
    request.eraseAllBoot = (commandByte & 0x40) != 0;
    request.resetAfterWrite = (commandByte & 0x80) != 0;
    request.image = &FuzzImages::At(imageByte % FuzzImages::kCount);
    for (int r = 0; r < kRegionCount; ++r) {
        request.selection[static_cast<std::size_t>(r)] = (imageByte >> (4 + r)) & 1;
    }
    return request;
}
