#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "D2xxApi.h"

class Clock;
class D2xxLibrary;
class WireTrace;

// The USB link to the pod: the D2XX calls, finding the pod by its description (and serial
// number), opening and configuring its port, framed writes and replies with time-outs, and
// the wire trace of every transfer.
class PodLink {
public:
    static constexpr std::size_t kMaxReplySize = 400;
    static constexpr std::size_t kDescriptionSize = 64;
    static constexpr const char* kPodDescription = "USB POD";

    // How a read ended: every wanted byte in, or how many had come when it failed.
    struct ReplyRead {
        bool complete = false;
        std::uint32_t received = 0;
    };

    PodLink(D2xxLibrary& library, Clock& clock);
    // Closes the pod, then releases the library the close still calls into.
    ~PodLink();
    PodLink(const PodLink&) = delete;
    PodLink& operator=(const PodLink&) = delete;

    // Null switches the trace off; see WireTrace.h for the line format.
    void SetWireTrace(WireTrace* trace) { trace_ = trace; }
    // Empty: the first device described "USB POD"; otherwise only the one with this serial.
    void SetWantedSerial(const std::string& serial);

    bool LoadLibrary();
    void FreeLibrary();
    bool FindPod();
    // Opens the found pod's port and configures it; false leaves nothing open.
    bool OpenPort();
    // The pod answered on the open port: from now on it counts as open.
    void MarkAnswered() { open_ = 1; }
    // Closes a port whose pod never answered (no purge: nothing was asked of it).
    void DropPort();
    bool Close();
    void AbandonHandle();
    bool DiscardReceived();

    bool WriteFrame(const void* bytes, std::uint32_t length, std::uint32_t timeoutMs);
    // One byte per FT_Read. stopOnRefusal: a first byte other than "!" ends the read at once.
    ReplyRead ReadReplyBytes(std::uint8_t* buffer, std::uint32_t count, std::uint32_t timeoutMs,
                             bool stopOnRefusal);
    bool ReceiveQueueCount(std::uint32_t& waiting);
    // A remark line ("# ...") in the wire trace.
    void TraceNote(const std::string& note);

    bool HasLibrary() const { return api_ != nullptr; }
    bool IsFound() const { return found_ != 0; }
    bool IsOpen() const { return open_ != 0; }
    // Whether the port was ever opened, however it was left.
    bool EverOpened() const { return everOpened_; }
    const char* Description() const { return description_; }
    const char* LibraryName() const;
    std::string LastLibraryError() const;

private:
    bool HasWantedSerial(std::uint32_t index);
    // The trace's words for a failed call: its own, or that the run was interrupted.
    const char* Failed(const char* callError) const;
    bool ConfigurePort();
    ReplyRead ReadEnded(const std::uint8_t* buffer, ReplyRead read, std::uint32_t count,
                        const char* failure);
    void Trace(char direction, const std::uint8_t* bytes, std::size_t count, const char* failure);

    D2xxLibrary& library_;
    Clock& clock_;
    D2xxApi* api_ = nullptr;  // non-null while the library is loaded
    FT_HANDLE handle_ = nullptr;
    std::int32_t found_ = 0;
    std::int32_t open_ = 0;
    bool everOpened_ = false;
    char description_[kDescriptionSize] = {};
    std::string wantedSerial_;
    WireTrace* trace_ = nullptr;
};
