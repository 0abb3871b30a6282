// Runs a command with emulated USB pods attached beneath libusb: the command's libusb and
// libftdi1 see FT232R-class devices described "USB POD", whose serial side is the simulated
// programmer. See scripts/with-emulated-pods.

#include <glib-unix.h>
#include <glib.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Clock.h"
#include "EmulatedPodTestbed.h"
#include "EmulatorRecord.h"
#include "SteadyDeviceClock.h"
#include "UsbfsPodDevice.h"
#include "sim/SimulatedPod.h"

namespace {

const char* const kUsage =
    "usage: with-emulated-pods [--pods N] [--state PATH] [--real-time] [--record FILE]\n"
    "                          [--fault KIND] [--other-ftdi] [--late-reply L:K:MS]\n"
    "                          -- COMMAND [ARG...]\n"
    "Runs COMMAND with N emulated USB pods (serial numbers VEMU0001 up) beneath libusb.\n"
    "  --state PATH    keep each pod's flash and EEPROM in PATH (one pod) or PATH.SERIAL\n"
    "  --real-time     pace the pods as the hardware: line rate, latency timer, 1 ms frames\n"
    "  --record FILE   write what the devices saw, one event a line\n"
    "  --fault KIND    unplug-during-write, unplug-during-verify, unplug-after-command,\n"
    "                  no-permission, busy, silent or slow-cancel (the first pod only)\n"
    "  --other-ftdi    also attach an FTDI serial adapter that is not a pod\n"
    "  --late-reply L:K:MS  the programmer answers its K-th L frame MS ms late\n";

struct RigOptions {
    int pods = 1;
    std::string statePath;
    bool realTime = false;
    std::string recordPath;
    std::string fault;
    bool otherFtdi = false;
    std::string lateReply;
    std::vector<std::string> command;
};

bool Parse(int argc, char** argv, RigOptions& o) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--") {
            ++i;
            break;
        } else if (arg == "--pods" && value(text)) {
            o.pods = std::atoi(text.c_str());
            if (o.pods < 1 || o.pods > 99) {
                return false;
            }
        } else if (arg == "--state" && value(o.statePath)) {
        } else if (arg == "--real-time") {
            o.realTime = true;
        } else if (arg == "--record" && value(o.recordPath)) {
        } else if (arg == "--fault" && value(o.fault)) {
        } else if (arg == "--other-ftdi") {
            o.otherFtdi = true;
        } else if (arg == "--late-reply" && value(o.lateReply)) {
        } else {
            return false;
        }
    }
    for (; i < argc; ++i) {
        o.command.emplace_back(argv[i]);
    }
    return !o.command.empty();
}

UsbFault FaultNamed(const std::string& name, bool& known) {
    known = true;
    if (name.empty() || name == "no-permission") {
        return UsbFault::None;
    }
    if (name == "unplug-during-write") {
        return UsbFault::UnplugDuringWrite;
    }
    if (name == "unplug-during-verify") {
        return UsbFault::UnplugDuringVerify;
    }
    if (name == "unplug-after-command") {
        return UsbFault::UnplugAfterCommand;
    }
    if (name == "busy") {
        return UsbFault::Busy;
    }
    if (name == "silent") {
        return UsbFault::Silent;
    }
    if (name == "slow-cancel") {
        return UsbFault::SlowCancel;
    }
    known = false;
    return UsbFault::None;
}

std::string StatePathOf(const RigOptions& o, const std::string& serial) {
    return o.pods == 1 ? o.statePath : o.statePath + "." + serial;
}

// What the command needs in its child, last before it starts: umockdev's preload library
// and this bed's folder, and another user when asked.
void PrepareCommand(const std::string& root, bool dropToNobody) {
    const char* preload = std::getenv("LD_PRELOAD");
    std::string libraries = std::string(NO_YIELD_LIBRARY) + ":libumockdev-preload.so.0";
    if (preload && *preload) {
        libraries += std::string(":") + preload;
    }
    setenv("LD_PRELOAD", libraries.c_str(), 1);
    setenv("UMOCKDEV_DIR", root.c_str(), 1);
    // A sanitizer runtime wants to be first in the library list; the preload comes first.
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string asanOptions = "verify_asan_link_order=0";
    if (asan && *asan) {
        asanOptions = std::string(asan) + ":" + asanOptions;
    }
    setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
    if (dropToNobody) {
        constexpr uid_t kNobody = 65534;
        if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
            setresuid(kNobody, kNobody, kNobody) != 0) {
            std::perror("with-emulated-pods: cannot become nobody");
            _exit(127);
        }
    }
}

struct Wait {
    GMainLoop* loop;
    int status;
};

void OnChildExit(GPid, gint status, gpointer data) {
    auto* wait = static_cast<Wait*>(data);
    wait->status = status;
    g_main_loop_quit(wait->loop);
}

// Runs the command and returns its wait status, or -1 when it could not be started. The
// command runs in a process group of its own, in the terminal's foreground when the rig is:
// Ctrl+C reaches the command alone, and the rig, which serves the command's USB requests,
// lives on to pass on any signal sent to it and to wait for the command's end.
int RunCommand(const RigOptions& o, const std::string& root, bool dropToNobody) {
    const bool foreground = InTerminalForeground();
    static pid_t commandGroup = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        g_unix_signal_add(
            signal,
            [](gpointer number) -> gboolean {
                if (commandGroup > 0) {
                    kill(-commandGroup, GPOINTER_TO_INT(number));
                }
                return G_SOURCE_CONTINUE;
            },
            GINT_TO_POINTER(signal));
    }
    std::fflush(nullptr);
    ChildSetup setup;
    setup.ownProcessGroup = true;
    setup.takeTerminal = foreground;
    setup.searchPath = true;
    setup.name = "with-emulated-pods";
    setup.beforeExec = [&root, dropToNobody] { PrepareCommand(root, dropToNobody); };
    const ChildProcess child = StartChild(o.command, setup);
    if (child.pid < 0) {
        std::perror("with-emulated-pods: fork");
        return -1;
    }
    commandGroup = child.pid;
    Wait wait{g_main_loop_new(nullptr, FALSE), 0};
    g_child_watch_add(child.pid, OnChildExit, &wait);
    g_main_loop_run(wait.loop);
    g_main_loop_unref(wait.loop);
    commandGroup = 0;
    if (foreground) {
        GiveTerminalTo(getpgrp());
    }
    return wait.status;
}

// The emulated pods and what stands behind them, made as the options say.
class Rig {
public:
    explicit Rig(const RigOptions& o) : o_(o) {}

    // False, having said why, when a state file cannot be read or a late reply is malformed.
    bool MakeDevices(UsbFault fault, EmulatorRecord& record) {
        for (int n = 1; n <= o_.pods; ++n) {
            char serial[16];
            std::snprintf(serial, sizeof serial, "VEMU%04d", n);
            auto pod = MakePod(serial, "USB POD");
            if (!PrepareState(*pod, serial) || (n == 1 && !ScheduleLateReply(*pod))) {
                return false;
            }
            EmulatedDeviceIds ids;
            ids.serial = serial;
            devices_.push_back(std::make_unique<UsbfsPodDevice>(
                ids, *pod, o_.realTime, record, n == 1 ? fault : UsbFault::None, clock_));
            pods_.push_back(std::move(pod));
        }
        if (o_.otherFtdi) {
            EmulatedDeviceIds ids;
            ids.product = "FT232R USB UART";
            ids.serial = "AB0CDEF1";
            pods_.push_back(MakePod(ids.serial, ids.product));
            devices_.push_back(std::make_unique<UsbfsPodDevice>(ids, *pods_.back(), o_.realTime,
                                                                record, UsbFault::None, clock_));
        }
        return true;
    }

    // Plugs every device into the bed, the first one's node denied when asked.
    bool Plug(EmulatedPodTestbed& testbed, bool denyAccess) {
        for (std::size_t i = 0; i < devices_.size(); ++i) {
            std::string error;
            if (!testbed.Add(*devices_[i], denyAccess && i == 0, error)) {
                std::fprintf(stderr, "with-emulated-pods: %s\n", error.c_str());
                return false;
            }
        }
        return true;
    }

    // Records how each device was left, and saves the pods' state; 2 when one cannot be saved.
    int Finish(EmulatorRecord& record) {
        for (const auto& device : devices_) {
            record.Line(device->Ids().serial,
                        device->DriverBound() ? "end driver ftdi_sio" : "end driver none");
        }
        int status = 0;
        if (!o_.statePath.empty()) {
            for (int n = 0; n < o_.pods; ++n) {
                const std::string path =
                    StatePathOf(o_, devices_[static_cast<std::size_t>(n)]->Ids().serial);
                std::string reason;
                if (!pods_[static_cast<std::size_t>(n)]->SaveState(path, &reason)) {
                    std::fprintf(stderr, "with-emulated-pods: cannot save %s: %s\n", path.c_str(),
                                 reason.c_str());
                    status = 2;
                }
            }
        }
        return status;
    }

private:
    std::unique_ptr<SimulatedPod> MakePod(const std::string& serial,
                                          const std::string& description) {
        std::unique_ptr<SimulatedPod> pod;
        if (o_.realTime) {
            pod = std::make_unique<SimulatedPod>(steady_);
        } else {
            podClocks_.push_back(std::make_unique<VirtualClock>());
            pod = std::make_unique<SimulatedPod>(*podClocks_.back(), SimPace::Instant);
        }
        pod->Faults().devices = {description};
        pod->Faults().serials = {serial};
        return pod;
    }

    bool PrepareState(SimulatedPod& pod, const std::string& serial) {
        if (o_.statePath.empty()) {
            return true;
        }
        const std::string path = StatePathOf(o_, serial);
        std::error_code ignored;
        if (std::filesystem::exists(path, ignored)) {
            std::string reason;
            if (!pod.LoadState(path, &reason)) {
                std::fprintf(stderr, "with-emulated-pods: cannot read %s: %s\n", path.c_str(),
                             reason.c_str());
                return false;
            }
        }
        // As with --sim-state: a run killed half-way leaves the board as it then was.
        pod.SaveAfterEveryChange(path);
        return true;
    }

    bool ScheduleLateReply(SimulatedPod& pod) {
        if (o_.lateReply.empty()) {
            return true;
        }
        char letter = 0;
        int occurrence = 0;
        unsigned ms = 0;
        if (std::sscanf(o_.lateReply.c_str(), "%c:%d:%u", &letter, &occurrence, &ms) != 3) {
            std::fputs(kUsage, stderr);
            return false;
        }
        pod.Faults().LateReply(letter, occurrence, ms);
        return true;
    }

    const RigOptions& o_;
    SteadyClock steady_;
    SteadyDeviceClock clock_;
    std::vector<std::unique_ptr<VirtualClock>> podClocks_;
    std::vector<std::unique_ptr<SimulatedPod>> pods_;
    std::vector<std::unique_ptr<UsbfsPodDevice>> devices_;
};

// The rig's exit status: the command's, or 2 when the command succeeded but a state could
// not be saved.
int ExitStatus(int waitStatus, int saveStatus) {
    if (WIFEXITED(waitStatus)) {
        const int code = WEXITSTATUS(waitStatus);
        return saveStatus != 0 && code == 0 ? saveStatus : code;
    }
    return WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // umockdev's preload yields the CPU (usleep(0)) after every ioctl it forwards, which the
    // default 50 us timer slack turns into a real sleep: a cost of the emulation that usbfs
    // does not have. The command inherits the finest slack, and so do the device threads.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    RigOptions o;
    if (!Parse(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    bool known = false;
    const UsbFault fault = FaultNamed(o.fault, known);
    if (!known) {
        std::fprintf(stderr, "with-emulated-pods: unknown fault '%s'\n%s", o.fault.c_str(), kUsage);
        return 2;
    }
    EmulatorRecord record;
    if (!o.recordPath.empty() && !record.Open(o.recordPath)) {
        std::fprintf(stderr, "with-emulated-pods: cannot write %s\n", o.recordPath.c_str());
        return 2;
    }
    Rig rig(o);
    if (!rig.MakeDevices(fault, record)) {
        return 2;
    }
    EmulatedPodTestbed testbed;
    const bool denyAccess = o.fault == "no-permission";
    if (!rig.Plug(testbed, denyAccess)) {
        return 2;
    }
    // Root may open any file, so the denied node only means something to another user.
    const bool dropToNobody = denyAccess && geteuid() == 0;
    if (dropToNobody) {
        testbed.OpenToAllUsers();
    }
    const int waitStatus = RunCommand(o, testbed.Root(), dropToNobody);
    if (waitStatus < 0) {
        return 2;
    }
    return ExitStatus(waitStatus, rig.Finish(record));
}
