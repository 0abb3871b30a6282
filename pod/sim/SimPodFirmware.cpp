#include "SimPodFirmware.h"

#include "SimCounters.h"
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

SimPodFirmware::SimPodFirmware(SimTarget& target, SimEeprom& eeprom, SimCounters& counters)
    : target_(target), eeprom_(eeprom), counters_(counters) {}

SimPodFirmware::Reply SimPodFirmware::Handle(const SimFrame& frame) {
    if (frame.letter == 'T') {
        return Word(static_cast<std::uint16_t>(frame.Field(0)));
    }
    if (frame.letter == 'S') {
        return OpenStream();
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
        case 'X':
            return Erase(frame);
        case 'W':
            return WordsFree('W') ? UseWords('W', Write(frame)) : Silence();
        case 'P':
        case 'V':
            return WordsFree(frame.letter)
                       ? UseWords(frame.letter, Compare(frame.letter == 'P', frame.Field(0)))
                       : Silence();
        case 'K':
            eeprom_.BeginSession();
            return Silence();
        case 'N':
            return WordsFree('N') ? UseWords('N', StoreBlock(frame)) : Silence();
        case 'Q':
            return WordsFree('Q') ? UseWords('Q', CompareBlock(frame)) : Silence();
        case 'Y':
            return StoreExtent(frame);
        case 'Z':
            return StoreImageInfo(frame);
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

SimPodFirmware::Reply SimPodFirmware::OpenStream() {
    collected_.clear();
    wordsUse_ = WordsUse::Fresh;
    streamOpen_ = true;
    spoiled_ = false;
    objected_ = false;
    return Silence();
}

SimPodFirmware::Reply SimPodFirmware::HandleMalformed(char letter) {
    if (letter == 'T' || streamOpen_) {
        spoiled_ = streamOpen_ || spoiled_;
        return Object();
    }
    return Silence();
}

SimPodFirmware::Reply SimPodFirmware::RefuseBatch() {
    ++counters_.oversizedBatches;
    spoiled_ = true;
    return Object();
}

// W takes fresh words; P or V fresh words or those W just wrote; N and Q fresh words only.
// Words are used once a frame has done its work with them; a refused frame uses nothing.
bool SimPodFirmware::WordsFree(char letter) {
    const bool compareAfterWrite =
        (letter == 'P' || letter == 'V') && wordsUse_ == WordsUse::Written;
    if (wordsUse_ == WordsUse::None || wordsUse_ == WordsUse::Fresh || compareAfterWrite) {
        return true;  // with nothing collected the frame is refused further on, as ever
    }
    ++counters_.reusedWords;
    return false;
}

SimPodFirmware::Reply SimPodFirmware::UseWords(char letter, Reply reply) {
    if (!reply.bytes.empty()) {
        wordsUse_ = letter == 'W' ? WordsUse::Written : WordsUse::UsedUp;
    }
    return reply;
}

// A block programs or compares inside one 256-word page.
bool SimPodFirmware::InsidePage(std::uint32_t start) {
    if (collected_.empty() || (start & 0xFF) + collected_.size() <= 0x100) {
        return true;
    }
    ++counters_.pageCrossings;
    return false;
}

SimPodFirmware::Reply SimPodFirmware::Erase(const SimFrame& frame) {
    if (frame.Field(0) == SimTarget::kEraseWholeBoot && frame.Field(1) != 0) {
        ++counters_.wholeBootPageFields;
        return Silence();
    }
    if (target_.PageOutsideRegion(frame.Field(0), frame.Field(1), frame.Field(2))) {
        ++counters_.erasePagesOutside;
        return Silence();
    }
    const auto work = target_.Erase(frame.Field(0), frame.Field(1), frame.Field(2));
    return work ? Ack(*work) : Silence();
}

// Y: the extent must be the blocks this session stored for the region, in words.
SimPodFirmware::Reply SimPodFirmware::StoreExtent(const SimFrame& frame) {
    const std::uint32_t region = frame.Field(0);
    const std::uint32_t start = frame.Field(1);
    const std::uint32_t end = frame.Field(2);
    const std::uint32_t length = frame.Field(3);
    if (eeprom_.InSession() && region < SimEeprom::kRegionCount) {
        const std::uint32_t stored = eeprom_.WordsStored(region);
        const bool agrees = length == 0
                                ? stored == 0
                                : end >= start && end - start + 1 == length && stored == length;
        if (!agrees) {
            ++counters_.eepromExtents;
            return Silence();
        }
    }
    return eeprom_.SetRegionInfo(region, start, end, length) ? Ack(SimTiming::EepromWriteUs(6))
                                                             : Silence();
}

SimPodFirmware::Reply SimPodFirmware::StoreImageInfo(const SimFrame& frame) {
    if (frame.Field(0) > 3 || frame.Field(1) > 3) {
        ++counters_.imageInfoCodes;
        return Silence();
    }
    return eeprom_.SetImageInfo(frame.Field(0), frame.Field(1)) ? Ack(SimTiming::EepromWriteUs(3))
                                                                : Silence();
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
    if (!CollectionUsable(frame.Field(2)) || !InsidePage(frame.Field(1))) {
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
    if (spoiled_ || !target_.CanCompare() || !InsidePage(start)) {
        return Silence();
    }
    const bool equal = target_.Compare(programSpace, start, collected_);
    return Verdict(equal, SimTiming::kWordCompareUs * collected_.size());
}

SimPodFirmware::Reply SimPodFirmware::StoreBlock(const SimFrame& frame) {
    if (!spoiled_ && !collected_.empty() &&
        (frame.Field(2) != collected_.size() || collected_.size() > SimEeprom::kBlockWords)) {
        ++counters_.eepromBlockSizes;
        return Silence();
    }
    if (!CollectionUsable(frame.Field(2))) {
        return Silence();
    }
    if (eeprom_.InSession() && frame.Field(0) < SimEeprom::kRegionCount &&
        eeprom_.NextBlockIndex(frame.Field(0)) != frame.Field(1)) {
        ++counters_.eepromBlockOrder;
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
