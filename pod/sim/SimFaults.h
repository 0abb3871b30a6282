#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SimTiming.h"

// What a test scripts into the simulated pod: the attached devices and the faults to show.
struct SimFaults {
    enum class ReplyKind {
        Silence,    // the reply is lost; the command itself took effect
        WrongByte,  // the first reply byte is replaced
        Late,       // the pod works lateMs longer before it answers
        Twice,      // the reply goes out twice
        Stray,      // byte is readable as soon as the frame has arrived, before the reply
        Cut,        // only the first half of the reply goes out (O: 14 of 28 bytes)
    };
    struct ReplyFault {
        char letter = 0;
        int occurrence = 1;  // the k-th well-formed frame with this command character, from 1
        ReplyKind kind = ReplyKind::Silence;
        std::uint8_t byte = '#';
        std::uint32_t lateMs = 0;
    };

    // Device descriptions in list order. A device whose description begins with "USB POD"
    // in any letter case is a pod ("USB POD2" and "usb pod" answer the protocol but a host
    // looking for "USB POD" must not take them); any other device swallows what it is sent
    // and never answers. Empty: nothing attached.
    std::vector<std::string> devices = {"USB POD"};
    // Serial numbers in the same order; a device beyond the list has none (an empty one).
    std::vector<std::string> serials = {"VSIM0001"};
    std::vector<ReplyFault> replies;
    // The n-th FT_Write that carries T frames leaves an objection byte in the receive queue
    // (0: never).
    int objectAfterTBatch = 0;
    // The n-th call of any FT_ function, counted from 1 over the pod's life, reports
    // FT_IO_ERROR (0: never); with unplugged, every later call does too.
    int failCall = 0;
    bool unplugged = false;
    // The latency timer each open starts with.
    std::uint8_t initialLatencyMs = SimTiming::kDefaultLatencyMs;

    void SilenceReply(char letter, int occurrence = 1) {
        replies.push_back({letter, occurrence, ReplyKind::Silence, 0, 0});
    }
    void WrongReply(char letter, int occurrence, std::uint8_t byte) {
        replies.push_back({letter, occurrence, ReplyKind::WrongByte, byte, 0});
    }
    void LateReply(char letter, int occurrence, std::uint32_t lateMs) {
        replies.push_back({letter, occurrence, ReplyKind::Late, 0, lateMs});
    }
    void DoubleReply(char letter, int occurrence) {
        replies.push_back({letter, occurrence, ReplyKind::Twice, 0, 0});
    }
    void StrayBeforeReply(char letter, int occurrence, std::uint8_t byte = '!') {
        replies.push_back({letter, occurrence, ReplyKind::Stray, byte, 0});
    }
    void CutReply(char letter, int occurrence) {
        replies.push_back({letter, occurrence, ReplyKind::Cut, 0, 0});
    }
    void IgnoreFirstIdentify() { SilenceReply('I', 1); }
    void FailCall(int n) { failCall = n, unplugged = false; }
    void UnplugAtCall(int n) { failCall = n, unplugged = true; }
};
