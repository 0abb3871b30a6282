#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SimFrame.h"

class SimEeprom;
class SimTarget;

// The pod's command interpreter: what it does with each frame and what it answers.
//
// Words of T frames are collected after S; S starts the collection afresh. W, P, V, N and Q
// use the collected words, which stay until the next S (W then P compare the same words).
// A T frame that comes while no stream is open (the last frame was neither S nor T), a
// malformed T frame, a malformed frame in the middle of a stream, or more than
// kMaxCollectedWords words make the pod object: it sends kObjection at once, once per run of
// bad frames, and refuses W, P, V, N and Q on that collection.
//
// Replies: "!" where the pod acknowledges; a compare that finds different words (P, V, Q)
// answers kMismatch so the host sees the failure at once; every other refusal (unknown
// command, wrong state, bad field) is silence.
class SimPodFirmware {
public:
    static constexpr std::size_t kMaxCollectedWords = 65536;
    static constexpr char kAck = '!';
    static constexpr char kMismatch = '?';
    static constexpr char kObjection = '?';

    struct Reply {
        std::string bytes;
        std::uint64_t workUs = 0;  // the pod is busy this long before the reply leaves
        bool objection = false;    // sent while the words still arrive, without work time
    };

    SimPodFirmware(SimTarget& target, SimEeprom& eeprom);

    Reply Handle(const SimFrame& frame);
    // A frame that was cut short or did not decode; letter 0 when it had none.
    Reply HandleMalformed(char letter);

    const std::vector<std::uint16_t>& Collected() const { return collected_; }
    bool StreamOpen() const { return streamOpen_; }

private:
    Reply Word(std::uint16_t word);
    Reply Object();
    Reply Write(const SimFrame& frame);
    Reply Compare(bool programSpace, std::uint32_t start);
    Reply StoreBlock(const SimFrame& frame);
    Reply CompareBlock(const SimFrame& frame);
    bool CollectionUsable(std::uint32_t count) const;

    SimTarget& target_;
    SimEeprom& eeprom_;
    std::vector<std::uint16_t> collected_;
    bool streamOpen_ = false;
    bool spoiled_ = false;   // the current collection lost words
    bool objected_ = false;  // already objected in this run of bad frames
};
