#include <cstdint>

#include "CUsbPod.h"
#include "PagePieces.h"
#include "RegionProtocol.h"
#include "SFileImage.h"

PodResult CUsbPod::EraseTarget(const RegionSelection& selection, bool eraseAllBoot) {
    return RunTargetSequence(selection, true, [&](MemoryRegion region) {
        return RegionStep{EraseWholeRegion(region, eraseAllBoot)};
    });
}

PodResult CUsbPod::BlankCheckTarget(const RegionSelection& selection,
                                    std::vector<BlankRegion>& report) {
    report.clear();
    return RunTargetSequence(selection, false, [&](MemoryRegion region) {
        report.push_back({region});
        return BlankCheckRegion(region, report.back());
    });
}

// Target Write's erase step over the region's whole extent in the memory map.
PodResult CUsbPod::EraseWholeRegion(MemoryRegion region, bool eraseAllBoot) {
    const RegionProtocol& protocol = RegionProtocol::For(region);
    const AddressArea& area = image_.map.Region(region);
    if (area.size == 0) {
        return kPodOk;
    }
    ShowStatus(protocol.erasingText);
    ShowProgress(0);
    return EraseRegionPages(region, area.start, area.end, eraseAllBoot) ? kPodOk
                                                                        : protocol.eraseError;
}

// The pod compares a whole piece at once, so a piece that differs is all it can tell. Its
// answer other than "!" means the words differ and the pod is still in step; no answer, or a
// stream it objected to, ends the check.
CUsbPod::RegionStep CUsbPod::BlankCheckRegion(MemoryRegion region, BlankRegion& report) {
    const RegionProtocol& protocol = RegionProtocol::For(region);
    const AddressArea& area = image_.map.Region(region);
    if (area.size == 0) {
        report.checked = report.blank = true;
        return {};
    }
    ShowProgress(0);
    ShowRange(area.size);
    std::uint32_t done = 0;
    for (const PagePiece& piece : PagePieces(area.start, area.end)) {
        ShowStatus(protocol.verifyingText);
        ShowProgress(done);
        std::uint32_t progress = done;
        if (!StreamBlock(region, piece.first, piece.last, progress, true)) {
            return {protocol.verifyError, false};
        }
        replyBuffer_[0] = 0;
        if (!SendVerifyFrame(region, piece.first)) {
            if (replyBuffer_[0] == 0) {
                return {protocol.verifyError, false};
            }
            report.checked = true;
            report.differsFirst = piece.first;
            report.differsLast = piece.last;
            return {protocol.verifyError, true};
        }
        done += piece.WordCount();
    }
    ShowProgress(area.size);
    report.checked = report.blank = true;
    return {};
}
