#include "SimPodFirmware.h"

#include "SimEeprom.h"
#include "SimTarget.h"
#include "SimTiming.h"

namespace {

SimPodFirmware::Reply Ack(std::uint64_t workUs) {
    return {std::string(1, SimPodFirmware::kAck), workUs, false};
}

SimPodFirmware::Reply Verdict(bool equal, std::uint64_t workUs) {
    return {std::string(1, equal ? SimPodFirmware::kAck : SimPodFirmware::kMismatch), workUs,
            false};
}

SimPodFirmware::Reply Silence() {
    return {};
}

}  // namespace

SimPodFirmware::SimPodFirmware(SimTarget& target, SimEeprom& eeprom)
    : target_(target), eeprom_(eeprom) {}

SimPodFirmware::Reply SimPodFirmware::Handle(const SimFrame& frame) {
    if (frame.letter == 'T') {
        return Word(static_cast<std::uint16_t>(frame.Field(0)));
    }
    if (frame.letter == 'S') {
        collected_.clear();
        streamOpen_ = true;
        spoiled_ = false;
        objected_ = false;
        return Silence();
    }
    streamOpen_ = false;
    objected_ = false;
    switch (frame.letter) {
        case 'I':
            return Ack(0);
        case 'R':
            target_.Reset();
            return Ack(SimTiming::kTargetResetUs);
        case 'G':
            return target_.EnterDebugMode(frame.Field(0)) ? Ack(SimTiming::kDebugEntryUs)
                                                          : Silence();
        case 'M':
            return target_.DownloadFirmware(frame.Field(0), frame.Field(1))
                       ? Ack(SimTiming::kFirmwareDownloadUs)
                       : Silence();
        case 'X': {
            const auto work = target_.Erase(frame.Field(0), frame.Field(1), frame.Field(2));
            return work ? Ack(*work) : Silence();
        }
        case 'W':
            return Write(frame);
        case 'P':
        case 'V':
            return Compare(frame.letter == 'P', frame.Field(0));
        case 'K':
            eeprom_.BeginSession();
            return Silence();
        case 'N':
            return StoreBlock(frame);
        case 'Q':
            return CompareBlock(frame);
        case 'Y':
            return eeprom_.SetRegionInfo(frame.Field(0), frame.Field(1), frame.Field(2),
                                         frame.Field(3))
                       ? Ack(SimTiming::EepromWriteUs(6))
                       : Silence();
        case 'Z':
            return eeprom_.SetImageInfo(frame.Field(0), frame.Field(1))
                       ? Ack(SimTiming::EepromWriteUs(3))
                       : Silence();
        case '?':
            eeprom_.Abort();
            return Silence();
        case 'L':
            eeprom_.EndSession();
            return Silence();
        case 'O': {
            const auto record = eeprom_.InfoReply();
            return {std::string(record.begin(), record.end()), SimTiming::kEepromReadUs, false};
        }
        default:
            return Silence();
    }
}

SimPodFirmware::Reply SimPodFirmware::HandleMalformed(char letter) {
    if (letter == 'T' || streamOpen_) {
        spoiled_ = streamOpen_ || spoiled_;
        return Object();
    }
    return Silence();
}

SimPodFirmware::Reply SimPodFirmware::Word(std::uint16_t word) {
    if (!streamOpen_) {
        return Object();
    }
    if (spoiled_) {
        return Silence();
    }
    if (collected_.size() >= kMaxCollectedWords) {
        spoiled_ = true;
        return Object();
    }
    collected_.push_back(word);
    return Silence();
}

SimPodFirmware::Reply SimPodFirmware::Object() {
    if (objected_) {
        return Silence();
    }
    objected_ = true;
    return {std::string(1, kObjection), 0, true};
}

bool SimPodFirmware::CollectionUsable(std::uint32_t count) const {
    return !spoiled_ && !collected_.empty() && count == collected_.size();
}

SimPodFirmware::Reply SimPodFirmware::Write(const SimFrame& frame) {
    // Fields: write code, start, count, program-RAM start, checksum, block parameter.
    if (!CollectionUsable(frame.Field(2))) {
        return Silence();
    }
    std::uint32_t sum = 0;
    for (const std::uint16_t word : collected_) {
        sum += word;
    }
    if ((sum & 0xFFFF) != frame.Field(4)) {
        return Silence();
    }
    const auto work =
        target_.Program(frame.Field(0), frame.Field(1), frame.Field(3), frame.Field(5), collected_);
    return work ? Ack(*work) : Silence();
}

SimPodFirmware::Reply SimPodFirmware::Compare(bool programSpace, std::uint32_t start) {
    if (spoiled_ || !target_.CanCompare()) {
        return Silence();
    }
    const bool equal = target_.Compare(programSpace, start, collected_);
    return Verdict(equal, SimTiming::kWordCompareUs * collected_.size());
}

SimPodFirmware::Reply SimPodFirmware::StoreBlock(const SimFrame& frame) {
    if (!CollectionUsable(frame.Field(2))) {
        return Silence();
    }
    const auto work = eeprom_.StoreBlock(frame.Field(0), frame.Field(1), collected_);
    return work ? Ack(*work) : Silence();
}

SimPodFirmware::Reply SimPodFirmware::CompareBlock(const SimFrame& frame) {
    if (!eeprom_.InSession() || !CollectionUsable(frame.Field(2)) ||
        !SimEeprom::ValidBlock(frame.Field(0), frame.Field(1), collected_.size())) {
        return Silence();
    }
    return Verdict(eeprom_.CompareBlock(frame.Field(0), frame.Field(1), collected_),
                   SimTiming::kEepromReadUs);
}
