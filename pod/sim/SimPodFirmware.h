#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SimFrame.h"

class SimEeprom;
class SimTarget;
struct SimCounters;

// The pod's command interpreter: what it does with each frame and what it answers.
//
// Words of T frames are collected after S; S starts the collection afresh. W, P, V, N and Q
// use the collected words, which stay until the next S (W then P compare the same words).
// A T frame that comes while no stream is open (the last frame was neither S nor T), a
// malformed T frame, a malformed frame in the middle of a stream, or more than
// kMaxCollectedWords words make the pod object: it sends kObjection at once, once per run of
// bad frames, and refuses W, P, V, N and Q on that collection.
//
// A stream's words serve one purpose: W (optionally followed by one P or V on the same
// words), P or V alone, N or Q. After that they are used up until the next S; using them
// again is refused. Strictness beyond that (counted in SimCounters): W, P and V stay inside
// one 256-word page, a page erase names a page of its region, a whole-boot erase names page
// 0000, N blocks of a region come in order with 132 words each but the last, Y agrees with
// the blocks stored, Z names a known CPU and option code, and the host checks its receive
// queue at least every 50 T frames.
//
// Replies: "!" where the pod acknowledges; a compare that finds different words (P, V, Q)
// answers kMismatch so the host sees the failure at once; every other refusal (unknown
// command, wrong state, bad field) is silence.
class SimPodFirmware {
public:
    static constexpr std::size_t kMaxCollectedWords = 65536;
    // The host checks its receive queue after at most this many T frames.
    static constexpr int kHostBatchFrames = 50;
    static constexpr char kAck = '!';
    static constexpr char kMismatch = '?';
    static constexpr char kObjection = '?';

    struct Reply {
        std::string bytes;
        std::uint64_t workUs = 0;  // the pod is busy this long before the reply leaves
        bool objection = false;    // sent while the words still arrive, without work time
    };

    SimPodFirmware(SimTarget& target, SimEeprom& eeprom, SimCounters& counters);

    Reply Handle(const SimFrame& frame);
    // A frame that was cut short or did not decode; letter 0 when it had none.
    Reply HandleMalformed(char letter);
    // A T frame beyond kHostBatchFrames without a queue check: the words are lost.
    Reply RefuseBatch();

    const std::vector<std::uint16_t>& Collected() const { return collected_; }
    bool StreamOpen() const { return streamOpen_; }

private:
    // What the collected words have served so far.
    enum class WordsUse { None, Fresh, Written, UsedUp };

    // S: a new stream of words begins; what came before is gone.
    Reply OpenStream();
    Reply Word(std::uint16_t word);
    bool WordsFree(char letter);
    Reply UseWords(char letter, Reply reply);
    bool InsidePage(std::uint32_t start);
    Reply Erase(const SimFrame& frame);
    Reply StoreExtent(const SimFrame& frame);
    Reply StoreImageInfo(const SimFrame& frame);
    Reply Object();
    Reply Write(const SimFrame& frame);
    Reply Compare(bool programSpace, std::uint32_t start);
    Reply StoreBlock(const SimFrame& frame);
    Reply CompareBlock(const SimFrame& frame);
    bool CollectionUsable(std::uint32_t count) const;

    SimTarget& target_;
    SimEeprom& eeprom_;
    SimCounters& counters_;
    std::vector<std::uint16_t> collected_;
    WordsUse wordsUse_ = WordsUse::None;
    bool streamOpen_ = false;
    bool spoiled_ = false;   // the current collection lost words
    bool objected_ = false;  // already objected in this run of bad frames
};
