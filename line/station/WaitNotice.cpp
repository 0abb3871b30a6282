#include "station/WaitNotice.h"

#include <csignal>

namespace {

// A wait this long is one a user notices.
constexpr std::chrono::milliseconds kNoticeAfter{1000};

}  // namespace

int WaitNotice::InterruptedStatus() const {
    const int raised = signal != nullptr ? signal->load() : 0;
    return 128 + (raised != 0 ? raised : SIGINT);
}

PatientWait::PatientWait(const WaitNotice& notice, std::string waitingFor)
    : notice_(notice),
      waitingFor_(std::move(waitingFor)),
      start_(std::chrono::steady_clock::now()) {}

bool PatientWait::GoOn() {
    if (notice_.Interrupted()) {
        return false;
    }
    if (!said_ && std::chrono::steady_clock::now() - start_ >= kNoticeAfter) {
        said_ = true;
        if (notice_.say) {
            notice_.say("waiting for " + waitingFor_ + "\u2026");
        }
    }
    return true;
}
