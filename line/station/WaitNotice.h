#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

// How a run waits for what another process holds (a lock) or for a server that is slow to
// answer: it says what it waits for once the wait has lasted about a second, and stops
// waiting at once when Ctrl+C, SIGTERM or SIGHUP raises the run's flag.
struct WaitNotice {
    // Raised by the signal; null: never.
    const std::atomic<bool>* interrupted = nullptr;
    // The signal that raised it (SIGINT when none is named).
    const std::atomic<int>* signal = nullptr;
    // Shows one line on stderr; empty: nothing is shown.
    std::function<void(const std::string&)> say;

    bool Interrupted() const { return interrupted != nullptr && interrupted->load(); }
    // The exit status of the interruption: 128 + the signal.
    int InterruptedStatus() const;
};

// One wait: GoOn is asked between short tries, and says the notice ("waiting for the serial
// counter c.txt (locked by another process)…") the first time it is asked a second or more
// after the wait began.
class PatientWait {
public:
    PatientWait(const WaitNotice& notice, std::string waitingFor);

    // False once the run is interrupted.
    bool GoOn();
    // How long to rest between tries: short enough that Ctrl+C ends the wait at once.
    static constexpr std::chrono::milliseconds kRest{50};

private:
    const WaitNotice& notice_;
    std::string waitingFor_;
    std::chrono::steady_clock::time_point start_;
    bool said_ = false;
};
