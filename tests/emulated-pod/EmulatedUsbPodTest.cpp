// The real libusb/libftdi1 backend against FT232R-class pods emulated beneath libusb: each
// vantix-cli run goes through with-emulated-pods, and its trace, exit status and the pod's
// memory are held against the same command on --simulate.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "UartLine.h"
#include "TestPaths.h"

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A scratch folder, and programs run with their output in files there. A run that has not
// ended after a minute (or the limit given) is killed and counts as a hang.
class Scratch {
public:
    Scratch() {
        char name[] = "/tmp/vantix-usbpod-XXXXXX";
        dir_ = mkdtemp(name);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    fs::path operator/(const std::string& name) const { return dir_ / name; }

    ProgramRun Exec(const std::vector<std::string>& args,
                    std::chrono::seconds limit = std::chrono::seconds(60)) const {
        return Exec(args, [&](pid_t pid, int& status) {
            return WaitForExitWithin(pid, limit, status);
        });
    }
    // A run that counts as hung only once `progress` stands still for `silence`.
    ProgramRun ExecWhileProgressing(const std::vector<std::string>& args,
                                    const std::function<std::uintmax_t()>& progress,
                                    std::chrono::seconds silence) const {
        return Exec(args, [&](pid_t pid, int& status) {
            return WaitForExitWhileProgressing(pid, progress, silence, status);
        });
    }
    ProgramRun Exec(const std::vector<std::string>& args,
                    const std::function<bool(pid_t, int&)>& wait) const {
        ChildSetup setup;
        setup.outputTo = ChildSetup::Output::Files;
        setup.outFile = (dir_ / "stdout").string();
        setup.errFile = (dir_ / "stderr").string();
        const ChildProcess child = StartChild(args, setup);
        ProgramRun run;
        int status = 0;
        if (child.pid < 0) {
            run.err = "cannot start";
            return run;
        }
        if (!wait(child.pid, status)) {
            run.err = "hung";
            return run;
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = Slurp(setup.outFile);
        run.err = Slurp(setup.errFile);
        return run;
    }
    // vantix-cli on the simulated pod.
    ProgramRun Simulated(std::vector<std::string> args) const {
        args.insert(args.begin(), VANTIX_CLI_PATH);
        return Exec(args);
    }
    // vantix-cli through libftdi1 with emulated pods: the rig's options, then the cli's.
    ProgramRun Emulated(std::vector<std::string> rig, const std::vector<std::string>& cli,
                        const std::string& program = VANTIX_CLI_PATH) const {
        rig.insert(rig.begin(), WITH_EMULATED_PODS_PATH);
        rig.insert(rig.end(), {"--record", (dir_ / "record").string(), "--", program});
        rig.insert(rig.end(), cli.begin(), cli.end());
        return Exec(rig);
    }
    std::vector<std::string> Record() const {
        std::vector<std::string> lines;
        std::ifstream in(dir_ / "record");
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

private:
    fs::path dir_;
};

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// What is wrong with the link the host set up before its first frame, "" when nothing.
std::string LinkFaults(const std::vector<std::string>& record) {
    double baud = 0;
    std::vector<std::string> seen;
    for (const std::string& line : record) {
        if (line.rfind("VEMU0001 frame", 0) == 0) {
            break;
        }
        if (line.rfind("VEMU0001 baud ", 0) == 0) {
            baud = std::atof(line.c_str() + 14);
        }
        seen.push_back(line.substr(9));
    }
    std::string faults;
    if (std::fabs(baud - 921600) > 0.03 * 921600) {
        faults += "baud " + std::to_string(baud) + "; ";
    }
    for (const char* wanted : {"line 8N1", "flow none", "latency 1", "purge rx", "purge tx"}) {
        if (std::find(seen.begin(), seen.end(), wanted) == seen.end()) {
            faults += std::string("no ") + wanted + " before the first frame; ";
        }
    }
    return faults;
}

// USB enumerates the rig's pods last first; list, --pods all and the board ids handed out
// with them go by serial number all the same, and a list of pods keeps its own order.
TEST(EmulatedUsbPod, PodsAreTakenInTheOrderOfTheirSerialNumbers) {
    Scratch scratch;
    const std::vector<std::string> rig{"--pods", "3", "--other-ftdi"};
    const ProgramRun list = scratch.Emulated(rig, {"list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out,
              "0\tAB0CDEF1\tFT232R USB UART\tnot a pod\n1\tVEMU0001\tUSB POD\tpod\n"
              "2\tVEMU0002\tUSB POD\tpod\n3\tVEMU0003\tUSB POD\tpod\n");
    const auto boardsOn = [&](const std::vector<std::string>& cli) {
        const ProgramRun run = scratch.Emulated(rig, cli);
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> boards;
        for (std::size_t at = run.out.find("\"pod\":\""); at != std::string::npos;
             at = run.out.find("\"pod\":\"", at + 1)) {
            const std::size_t end = run.out.find(",\"result\"", at);
            boards.push_back(run.out.substr(at, end - at));
        }
        return boards;
    };
    EXPECT_EQ(boardsOn({"--pods", "all", "reset", "--board-id", "A,B,C", "--json"}),
              (std::vector<std::string>{"\"pod\":\"VEMU0001\",\"board\":\"A\"",
                                        "\"pod\":\"VEMU0002\",\"board\":\"B\"",
                                        "\"pod\":\"VEMU0003\",\"board\":\"C\""}));
    EXPECT_EQ(boardsOn({"--pods", "VEMU0003,VEMU0001", "reset", "--board-id", "X,Y", "--json"}),
              (std::vector<std::string>{"\"pod\":\"VEMU0003\",\"board\":\"X\"",
                                        "\"pod\":\"VEMU0001\",\"board\":\"Y\""}));
}

TEST(EmulatedUsbPod, ListsExactlyThePodsAndOpensTheOneNamed) {
    Scratch scratch;
    const std::vector<std::string> rig{"--pods", "2", "--other-ftdi"};
    const ProgramRun list = scratch.Emulated(rig, {"list"});
    EXPECT_EQ(list.status, 0) << list.err;
    std::istringstream lines(list.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        rows.push_back(line.substr(line.find('\t') + 1));
    }
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::string>{"AB0CDEF1\tFT232R USB UART\tnot a pod",
                                              "VEMU0001\tUSB POD\tpod", "VEMU0002\tUSB POD\tpod"}));
    const ProgramRun json = scratch.Emulated(rig, {"list", "--json"});
    EXPECT_EQ(json.status, 0);
    for (const char* entry : {"\"serial\":\"VEMU0001\",\"description\":\"USB POD\",\"pod\":true",
                              "\"serial\":\"VEMU0002\",\"description\":\"USB POD\",\"pod\":true",
                              "\"serial\":\"AB0CDEF1\",\"description\":\"FT232R USB UART\","
                              "\"pod\":false"}) {
        EXPECT_NE(json.out.find(entry), std::string::npos) << json.out;
    }
    const ProgramRun named = scratch.Emulated(rig, {"--pod", "VEMU0002", "reset"});
    EXPECT_EQ(named.status, 0) << named.err;
    const auto record = scratch.Record();
    EXPECT_TRUE(Has(record, "VEMU0002 claim"));
    EXPECT_FALSE(Has(record, "VEMU0001 claim"));
    const ProgramRun missing = scratch.Emulated(rig, {"--pod", "VEMU0009", "reset"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("no pod with serial number VEMU0009 is attached"), std::string::npos)
        << missing.err;
}

class EmulatedUsbPodCommands : public testing::TestWithParam<const char*> {};

TEST_P(EmulatedUsbPodCommands, TraceAndMemoryMatchTheSimulatedPod) {
    Scratch scratch;
    const std::string file = std::string(VANTIX_EXAMPLES_DIR) + "/" + GetParam() + ".s";
    const std::string cpu = std::string(GetParam()).substr(6);
    const std::vector<std::vector<std::string>> commands = {{"write", file, "--cpu", cpu},
                                                            {"write-verify", file, "--cpu", cpu},
                                                            {"verify", file, "--cpu", cpu},
                                                            {"reset"},
                                                            {"pod-write", file, "--cpu", cpu},
                                                            {"pod-verify", file, "--cpu", cpu},
                                                            {"pod-info"}};
    const std::string simTrace = (scratch / "sim.trace").string();
    const std::string usbTrace = (scratch / "usb.trace").string();
    const std::string simState = (scratch / "sim.state").string();
    const std::string usbState = (scratch / "usb.state").string();
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        std::vector<std::string> args{"--trace", simTrace, "--sim-state", simState};
        args.insert(args.end(), command.begin(), command.end());
        const ProgramRun simulated = scratch.Simulated(args);
        args = {"--trace", usbTrace};
        args.insert(args.end(), command.begin(), command.end());
        const ProgramRun emulated = scratch.Emulated({"--state", usbState}, args);
        EXPECT_EQ(emulated.status, simulated.status) << emulated.err;
        EXPECT_EQ(Slurp(usbTrace), Slurp(simTrace));
        EXPECT_TRUE(Slurp(usbState) == Slurp(simState)) << "the pods' memories differ";
        const auto record = scratch.Record();
        ASSERT_FALSE(record.empty());
        EXPECT_EQ(record.back(), "VEMU0001 end driver ftdi_sio");
        const bool framesSent = std::any_of(record.begin(), record.end(), [](const auto& line) {
            return line.rfind("VEMU0001 frame", 0) == 0;
        });
        if (framesSent) {
            EXPECT_EQ(LinkFaults(record), "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EmulatedUsbPod, EmulatedUsbPodCommands,
                         testing::Values("dsp56f801", "dsp56f803", "dsp56f805", "dsp56f807"),
                         [](const auto& info) { return std::string(info.param); });

// A first identify answered after its time-out: the receive purge before the second
// identify, then the stale reply caught before G, all through USB at the hardware's pace.
TEST(EmulatedUsbPod, LateIdentifyIsPurgedAndNeverAnswersALaterCommand) {
    Scratch scratch;
    const std::string trace = (scratch / "trace").string();
    const ProgramRun run =
        scratch.Emulated({"--real-time", "--late-reply", "I:1:600"},
                         {"--trace", trace, "write",
                          std::string(VANTIX_EXAMPLES_DIR) + "/dsp56f807.s", "--cpu", "807"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Slurp(trace),
              "> 02 49 03\n< (failed: time-out, 0 of 1 bytes)\n> 02 49 03\n< 21\n"
              "# 1 stale byte waiting before G\n");
    std::vector<std::string> events;
    for (const std::string& line : scratch.Record()) {
        if (line == "VEMU0001 frame I" || line == "VEMU0001 purge rx") {
            events.push_back(line.substr(9));
        }
    }
    EXPECT_EQ(events,
              (std::vector<std::string>{"purge rx", "frame I", "purge rx", "frame I", "purge rx"}));
}

struct StagedFault {
    const char* fault;
    const char* command;
    int status;
    const char* message;
    bool driverBack;
};

TEST(EmulatedUsbPod, StagedFaultsEndInTheCliMessageAndExitCode) {
    const std::string file = std::string(VANTIX_EXAMPLES_DIR) + "/dsp56f807.s";
    const StagedFault faults[] = {
        {"unplug-during-write", "write", 3,
         "DFLASH Write Error\nvantix-cli: pod VEMU0001 was disconnected during this step\n", false},
        {"unplug-during-verify", "verify", 3,
         "DFLASH Verify Error\nvantix-cli: pod VEMU0001 was disconnected during this step\n",
         false},
        {"no-permission", "write", 3,
         "permission denied reading the product string of FTDI device 0403:6001 (bus 1 device "
         "2); if it is the USB POD, install the udev rule",
         true},
        {"busy", "write", 3, "vantix-cli: pod VEMU0001 is in use by another process", true},
        {"silent", "write", 3, "Fail to initialize USB Programmer", true},
    };
    // Denied access runs its command as nobody, who may not reach a build tree inside a
    // private folder: that case runs copies from a folder everyone may read.
    char readableName[] = "/tmp/vantix-usbpod-open-XXXXXX";
    const fs::path readable = mkdtemp(readableName);
    fs::permissions(readable, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    fs::copy_file(VANTIX_CLI_PATH, readable / "vantix-cli");
    fs::copy_file(file, readable / "dsp56f807.s");
    for (const StagedFault& staged : faults) {
        SCOPED_TRACE(staged.fault);
        Scratch scratch;
        const bool asNobody = std::string(staged.fault) == "no-permission";
        const ProgramRun run = scratch.Emulated(
            {"--fault", staged.fault},
            {staged.command, asNobody ? (readable / "dsp56f807.s").string() : file, "--cpu", "807"},
            asNobody ? (readable / "vantix-cli").string() : VANTIX_CLI_PATH);
        EXPECT_EQ(run.status, staged.status) << run.err;
        EXPECT_NE(run.err.find(staged.message), std::string::npos) << run.err;
        const auto record = scratch.Record();
        EXPECT_EQ(Has(record, "VEMU0001 end driver ftdi_sio"), staged.driverBack);
    }
    fs::remove_all(readable);
    // Pulled out between two commands: the second finds no pod.
    Scratch scratch;
    const ProgramRun first = scratch.Emulated({"--fault", "unplug-after-command"}, {"reset"});
    EXPECT_EQ(first.status, 0);
    const ProgramRun both = scratch.Exec(
        {WITH_EMULATED_PODS_PATH, "--fault", "unplug-after-command", "--", "/bin/sh", "-c",
         std::string(VANTIX_CLI_PATH) + " reset && " + VANTIX_CLI_PATH + " reset"});
    EXPECT_EQ(both.status, 3);
    EXPECT_NE(both.err.find("Not connect to USB Programmer"), std::string::npos) << both.err;
}

// A pod pulled out while a board is written is a pod gone: its board's record says 3, and
// no further board starts, however many the operator asks for.
TEST(EmulatedUsbPod, APodPulledOutEndsTheLineWithItsBoard) {
    Scratch scratch;
    const std::string file = std::string(VANTIX_EXAMPLES_DIR) + "/dsp56f807.s";
    const ProgramRun run = scratch.Exec(
        {WITH_EMULATED_PODS_PATH, "--fault", "unplug-during-write", "--", "/bin/sh", "-c",
         "printf '\\n\\n' | \"$0\" write-verify \"$1\" --cpu 807 --repeat --json", VANTIX_CLI_PATH,
         file});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    EXPECT_NE(run.out.find("\"status\":\"DFLASH Write Error: the pod was disconnected during "
                           "this step\",\"seconds\":"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"exit\":3,\"release\":null}"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("vantix-cli: pod VEMU0001 was disconnected during this step\n"
                           "boards: 0 passed, 1 failed\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Next board"), std::string::npos) << run.err;
}

// A cancelled receive transfer that takes 1.5 s to come back: the port lets go of the device
// (and the transfer's buffer) only once it is back.
TEST(EmulatedUsbPod, ThePortNeverClosesBeneathItsCancelledTransfer) {
    Scratch scratch;
    // The rig's state reached through a link is saved where the link leads.
    fs::create_symlink(scratch / "pod.state", scratch / "state-link");
    const ProgramRun run = scratch.Emulated(
        {"--fault", "slow-cancel", "--state", (scratch / "state-link").string()}, {"reset"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(scratch / "state-link"));
    EXPECT_TRUE(fs::is_regular_file(scratch / "pod.state"));
    const auto record = scratch.Record();
    for (const std::string& line : record) {
        EXPECT_EQ(line.find("not reaped"), std::string::npos) << line;
    }
    EXPECT_TRUE(Has(record, "VEMU0001 end driver ftdi_sio"));
}

// Ctrl+C or a line controller's signal to the rig reaches the command, and the rig serves the
// command until it has closed the pod and written the board's record.
TEST(EmulatedUsbPod, TheRigPassesSignalsOnAndWaits) {
    Scratch scratch;
    const std::string file = std::string(VANTIX_EXAMPLES_DIR) + "/dsp56f807.s";
    const fs::path out = scratch / "out";
    const fs::path err = scratch / "err";
    ChildSetup setup;
    setup.outputTo = ChildSetup::Output::Files;
    setup.outFile = out.string();
    setup.errFile = err.string();
    const ChildProcess rig =
        StartChild({WITH_EMULATED_PODS_PATH, "--real-time", "--", VANTIX_CLI_PATH, "write-verify",
                    file, "--cpu", "807", "--json"},
                   setup);
    ASSERT_GT(rig.pid, 0);
    for (int i = 0; i < 6000 && Slurp(err).find("PFLASH Erasing...") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(rig.pid, SIGINT);
    const int status = WaitForExit(rig.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << Slurp(err);
    EXPECT_NE(Slurp(out).find("\"status\":\"interrupted\""), std::string::npos) << Slurp(out);
    EXPECT_EQ(Slurp(err).find("libumockdev"), std::string::npos) << Slurp(err);

    const ProgramRun help = scratch.Exec({WITH_EMULATED_PODS_PATH, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: with-emulated-pods", 0), 0u) << help.out;
}

// The emulator's own line: only a rate or frame the pod's UART cannot follow spoils bytes.
TEST(EmulatedUsbPod, TheEmulatedLineGarblesOnlyWhatARealUartWould) {
    EXPECT_NEAR(DecodeFt232rBaud(0x8003, 0), 923077, 1);
    EXPECT_NEAR(DecodeFt232rBaud(0x4138, 0), 9600, 1);
    EXPECT_NEAR(DecodeFt232rBaud(0x0003, 1), 3'000'000 / 3.375, 1);
    const std::vector<std::uint8_t> frame{0x02, 0x49, 0x03, 0x21, 0xFF, 0x00, 0x55};
    const UartFormat pod = UartFormat::Pod();
    auto host = [](double baud, DataBits bits = DataBits::Eight, Parity parity = Parity::None) {
        return UartFormat{baud, bits, parity, StopBits::One};
    };
    EXPECT_EQ(ResampleLine(frame, host(923077), pod), frame);
    EXPECT_EQ(ResampleLine(frame, host(900000), pod), frame);
    EXPECT_NE(ResampleLine(frame, host(9600), pod), frame);
    EXPECT_NE(ResampleLine(frame, host(460800), pod), frame);
    EXPECT_NE(ResampleLine(frame, host(921600, DataBits::Seven), pod), frame);
    EXPECT_NE(ResampleLine(frame, host(921600, DataBits::Eight, Parity::Even), pod), frame);
}

// A late answer of 64 bytes reaches the chip as the host purges before its second identify:
// 62 of them are already in the host's open transfer, which the purge must take back and
// throw away, saying so; the identify then takes the pod's own answer.
TEST(EmulatedUsbPod, ALateReplyInAnOpenTransferIsThrownAwayWithThePurge) {
    Scratch scratch;
    const std::string file = std::string(VANTIX_EXAMPLES_DIR) + "/dsp56f807.s";
    const std::string simTrace = (scratch / "sim.trace").string();
    const std::string usbTrace = (scratch / "usb.trace").string();
    const ProgramRun simulated =
        scratch.Simulated({"--simulate", "--trace", simTrace, "write", file, "--cpu", "807"});
    ASSERT_EQ(simulated.status, 0) << simulated.err;
    const ProgramRun run = scratch.Emulated({"--late-reply-at-purge", "I:1:64"},
                                            {"--trace", usbTrace, "write", file, "--cpu", "807"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string trace = Slurp(usbTrace);
    EXPECT_TRUE(trace ==
                "> 02 49 03\n< (failed: time-out, 0 of 1 bytes)\n"
                "# 62 stale bytes thrown away by the purge\n" +
                    Slurp(simTrace))
        << trace.substr(0, 200);
    EXPECT_TRUE(
        Has(scratch.Record(), "VEMU0001 late reply of 64 bytes arrives as the host purges"));
}

// The pod's info record runs on to 400 bytes, and the host stalls for 3 ms once a transfer has
// ended with its first bytes. With one transfer in flight nothing takes the rest meanwhile:
// the chip loses what its 256 bytes cannot hold, and the command ends naming the overrun.
// With two, the second takes the rest and the command passes as on the simulated pod.
TEST(EmulatedUsbPod, AStalledHostLosesNoBytesWithTwoTransfersInFlight) {
    Scratch scratch;
    const std::string simTrace = (scratch / "sim.trace").string();
    const std::string usbTrace = (scratch / "usb.trace").string();
    ASSERT_EQ(scratch.Simulated({"--simulate", "--trace", simTrace, "pod-info"}).status, 0);
    // The stall needs the host to have a transfer waiting just as the reply begins, and, for
    // the program with two in flight, the other one waiting too: a host too slow for that
    // (a busy machine) has not been put to the test, and gets another go.
    auto stalledRun = [&](const std::string& program, int othersWaiting) {
        const std::string stalled = "VEMU0001 host stalls 3 ms before it reaps again, " +
                                    std::to_string(othersWaiting) + " more transfer(s) waiting";
        ProgramRun run;
        for (int attempt = 0; attempt < 20; ++attempt) {
            run = scratch.Emulated({"--real-time", "--long-reply", "O:1:400", "--host-stall", "3"},
                                   {"--trace", usbTrace, "pod-info"}, program);
            if (Has(scratch.Record(), stalled)) {
                return run;
            }
        }
        ADD_FAILURE() << "the host never stalled in the reply with " << othersWaiting
                      << " more transfer(s) waiting";
        return run;
    };
    auto overrun = [&] {
        const auto record = scratch.Record();
        return std::any_of(record.begin(), record.end(), [](const std::string& line) {
            return line.rfind("VEMU0001 overrun: ", 0) == 0;
        });
    };
    const ProgramRun one = stalledRun(VANTIX_CLI_ONE_TRANSFER_PATH, 0);
    EXPECT_TRUE(overrun());
    EXPECT_EQ(one.status, 1);
    EXPECT_NE(one.err.find("bytes from the pod were lost (overrun)"), std::string::npos) << one.err;
    EXPECT_NE(Slurp(usbTrace), Slurp(simTrace));
    const ProgramRun two = stalledRun(VANTIX_CLI_PATH, 1);
    EXPECT_FALSE(overrun());
    EXPECT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(Slurp(usbTrace), Slurp(simTrace));
}

// A station whose cores are kept busy by other work: four pods write and verify at the
// hardware's pace, each either exactly as on the simulated pod or failing with the overrun
// named, never with a garbled reply taken for an answer. How long that takes is the machine's
// business: the run counts as hung only when no pod's trace has grown for ten times as long
// as a whole board takes at the hardware's pace.
TEST(EmulatedUsbPod, FourPodsOnABusyHostPassExactlyOrNameTheOverrun) {
    Scratch scratch;
    const std::string file = std::string(VANTIX_EXAMPLES_DIR) + "/dsp56f807.s";
    const ProgramRun simulated = scratch.Simulated(
        {"--simulate", "--trace", (scratch / "sim.trace").string(), "--json", "write-verify",
         file, "--cpu", "807"});
    ASSERT_EQ(simulated.status, 0) << simulated.err;
    // At instant pace the record still gives the time the hardware takes.
    const std::size_t at = simulated.out.find("\"seconds\":");
    ASSERT_NE(at, std::string::npos) << simulated.out;
    const double boardSeconds = std::atof(simulated.out.c_str() + at + 10);
    ASSERT_GT(boardSeconds, 1.0) << simulated.out;
    // The runs start 0.3 s apart: umockdev names each process's uevent socket after its
    // descriptor, and two processes binding that name at the same instant collide.
    std::string script;
    for (int n = 1; n <= 4; ++n) {
        const std::string pod = (scratch / ("pod" + std::to_string(n))).string();
        script += "(sleep 0." + std::to_string(3 * (n - 1)) + "; \"$0\" --pod VEMU000" +
                  std::to_string(n) + " --trace " + pod +
                  ".trace write-verify \"$1\" --cpu 807 -q 2>" + pod + ".err; echo $? >" + pod +
                  ".status) & ";
    }
    const auto tracesGrown = [&scratch] {
        std::uintmax_t bytes = 0;
        for (int n = 1; n <= 4; ++n) {
            std::error_code missing;
            const auto size =
                fs::file_size(scratch / ("pod" + std::to_string(n) + ".trace"), missing);
            bytes += missing ? 0 : size;
        }
        return bytes;
    };
    std::vector<ChildProcess> spinners;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i) {
        spinners.push_back(StartChild({"/bin/sh", "-c", "while :; do :; done"}, {}));
    }
    const ProgramRun rig = scratch.ExecWhileProgressing(
        {WITH_EMULATED_PODS_PATH, "--real-time", "--pods", "4", "--record",
         (scratch / "record").string(), "--", "/bin/sh", "-c", script + "wait", VANTIX_CLI_PATH,
         file},
        tracesGrown, std::chrono::seconds(static_cast<int>(10 * boardSeconds) + 1));
    for (const ChildProcess& spinner : spinners) {
        kill(spinner.pid, SIGKILL);
        WaitForExit(spinner.pid);
    }
    EXPECT_EQ(rig.status, 0) << rig.err;
    const std::string expected = Slurp(scratch / "sim.trace");
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE("pod " + std::to_string(n));
        const fs::path pod = scratch / ("pod" + std::to_string(n));
        const std::string status = Slurp(pod.string() + ".status");
        const std::string err = Slurp(pod.string() + ".err");
        if (status == "0\n") {
            EXPECT_TRUE(Slurp(pod.string() + ".trace") == expected) << "the traces differ";
        } else {
            EXPECT_EQ(status, "1\n") << err;
            EXPECT_NE(err.find("bytes from the pod were lost (overrun)"), std::string::npos) << err;
        }
    }
}

// Another program left the chip in bit-bang mode, which blocks its UART: the open puts it back.
// Once the command is over, ftdi_sio takes the device back and changes the latency timer, DTR
// and RTS; the next command's open sets every setting again, and the serial engine's reset
// drops DTR and RTS.
TEST(EmulatedUsbPod, EveryOpenSetsTheChipUpWhateverItWasLeftIn) {
    Scratch scratch;
    const ProgramRun both =
        scratch.Exec({WITH_EMULATED_PODS_PATH, "--fault", "bit-bang", "--record",
                      (scratch / "record").string(), "--", "/bin/sh", "-c",
                      std::string(VANTIX_CLI_PATH) + " reset && " + VANTIX_CLI_PATH + " reset"});
    EXPECT_EQ(both.status, 0) << both.err;
    const auto record = scratch.Record();
    const auto bitMode = std::find(record.begin(), record.end(), "VEMU0001 bitmode 0");
    const auto firstFrame = std::find(record.begin(), record.end(), "VEMU0001 frame I");
    EXPECT_LT(bitMode, firstFrame);
    const auto kernel =
        std::find(record.begin(), record.end(), "VEMU0001 ftdi_sio: latency 16, dtr on, rts on");
    ASSERT_NE(kernel, record.end());
    const std::vector<std::string> second(kernel + 1, record.end());
    EXPECT_EQ(LinkFaults(second), "");
    const auto reset = std::find(second.begin(), second.end(), "VEMU0001 reset");
    ASSERT_GE(second.end() - reset, 3);
    EXPECT_EQ(std::vector<std::string>(reset + 1, reset + 3),
              (std::vector<std::string>{"VEMU0001 dtr off", "VEMU0001 rts off"}));
}

}  // namespace
