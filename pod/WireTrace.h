#pragma once

#include <string>

// Receives one line per transfer on the wire, for a --trace log or a test:
//   "> 02 49 03"  the bytes of one WriteFrame,
//   "< 21"        the bytes of one completed ReadReply.
// Bytes are two upper-case hex digits separated by single spaces. A failed transfer adds
// " (failed: <reason>)" after the bytes that did go out or arrive, for example
// "< (failed: time-out, 0 of 1 bytes)" or "< 3F (failed: not acknowledged)".
// Lines that begin with "# " are remarks, not transfers, for example
// "# 1 stale byte waiting before G" when a command is not sent because its reply could not be
// told apart from a byte already waiting, or "# 62 stale bytes thrown away by the purge" when
// a purge of the receive side threw away bytes that had already reached the host.
class WireTrace {
public:
    virtual ~WireTrace() = default;
    virtual void Line(const std::string& line) = 0;
};
