// One vantix-cli process on four pods emulated beneath libusb (--pods): four libusb devices
// and libftdi1 contexts at once, each pod on its own thread, each as a single run would be.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TestPaths.h"

namespace {

namespace fs = std::filesystem;

const std::string kFile = std::string(VANTIX_EXAMPLES_DIR) + "/dsp56f807.s";
// Only a guard against a hang: a gang run takes a few seconds on an idle machine, and about
// ten times that under the sanitizers.
constexpr std::chrono::seconds kHangGuard{600};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class GangOnEmulatedPods : public ::testing::Test {
protected:
    GangOnEmulatedPods() {
        char name[] = "/tmp/vantix-gang-XXXXXX";
        dir_ = mkdtemp(name);
    }
    ~GangOnEmulatedPods() override { fs::remove_all(dir_); }

    // vantix-cli under the rig with four pods; output in files of the scratch folder.
    ChildProcess Start(std::vector<std::string> rig, const std::vector<std::string>& cli) const {
        rig.insert(rig.begin(), {WITH_EMULATED_PODS_PATH, "--pods", "4", "--record",
                                 (dir_ / "record").string()});
        rig.insert(rig.end(), {"--", VANTIX_CLI_PATH});
        rig.insert(rig.end(), cli.begin(), cli.end());
        ChildSetup setup;
        setup.outputTo = ChildSetup::Output::Files;
        setup.outFile = (dir_ / "out").string();
        setup.errFile = (dir_ / "err").string();
        return StartChild(rig, setup);
    }
    int Run(const std::vector<std::string>& rig, const std::vector<std::string>& cli) const {
        int status = 0;
        const ChildProcess child = Start(rig, cli);
        return WaitForExitWithin(child.pid, kHangGuard, status) &&
                       WIFEXITED(status)
                   ? WEXITSTATUS(status)
                   : -1;
    }
    fs::path operator/(const std::string& name) const { return dir_ / name; }

    fs::path dir_;
};

TEST_F(GangOnEmulatedPods, FourPodsInOneProcessAsSingleRunsWouldProgramThem) {
    // The same command once on the simulated pod: what every board's wire and memory must be.
    const std::string singleState = (*this / "single").string();
    ChildSetup setup;
    setup.outputTo = ChildSetup::Output::Files;
    setup.outFile = (*this / "single.out").string();
    setup.errFile = (*this / "single.err").string();
    const ChildProcess single =
        StartChild({VANTIX_CLI_PATH, "--simulate", "--sim-state", singleState, "--trace",
                    (*this / "single.wire").string(), "write-verify", kFile, "--cpu", "807"},
                   setup);
    int status = -1;
    ASSERT_TRUE(WaitForExitWithin(single.pid, kHangGuard, status));
    ASSERT_EQ(status, 0) << Slurp(*this / "single.err");
    const std::string gangState = (*this / "gang").string();
    ASSERT_EQ(Run({"--state", gangState},
                  {"--pods", "all", "--trace", (*this / "wire").string(), "--json", "write-verify",
                   kFile, "--cpu", "807"}),
              0)
        << Slurp(*this / "err");
    EXPECT_EQ(Count(Slurp(*this / "out"), "\"exit\":0"), 4u) << Slurp(*this / "out");
    // Every pod gave the kernel's driver its device back.
    EXPECT_EQ(Count(Slurp(*this / "record"), " end driver ftdi_sio"), 4u);
    // The pods started alike, so each gang board matches the single run.
    const std::string expectedWire = Slurp(*this / "single.wire");
    const std::string expectedState = Slurp(singleState);
    ASSERT_FALSE(expectedWire.empty());
    for (const char* pod : {"VEMU0001", "VEMU0002", "VEMU0003", "VEMU0004"}) {
        EXPECT_TRUE(Slurp(*this / (std::string("wire.") + pod)) == expectedWire) << pod;
        EXPECT_TRUE(Slurp(gangState + "." + pod) == expectedState) << pod;
    }
}

TEST_F(GangOnEmulatedPods, SigtermEndsEveryPodsRunAndClosesEachPod) {
    const ChildProcess rig = Start({"--real-time"}, {"--pods", "all", "--json", "write-verify",
                                                     kFile, "--cpu", "807"});
    ASSERT_GT(rig.pid, 0);
    for (int i = 0; i < 6000 && Count(Slurp(*this / "err"), "  PFLASH Erasing...") < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(rig.pid, SIGTERM);
    const int status = WaitForExit(rig.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 143) << Slurp(*this / "err");
    EXPECT_EQ(Count(Slurp(*this / "out"), "\"status\":\"interrupted\""), 4u)
        << Slurp(*this / "out");
    EXPECT_EQ(Count(Slurp(*this / "err"), "vantix-cli: interrupted; the pod is closed"), 4u);
    EXPECT_EQ(Count(Slurp(*this / "record"), " end driver ftdi_sio"), 4u);
}

}  // namespace
