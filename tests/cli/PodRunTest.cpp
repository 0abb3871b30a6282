#include <gtest/gtest.h>

#include <algorithm>

#include "CliExit.h"
#include "CliTestSupport.h"

namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

bool AnyFrameStartsWith(const SimulatedPod& pod, const std::string& prefix) {
    const auto& frames = pod.FrameLog();
    return std::any_of(frames.begin(), frames.end(),
                       [&](const std::string& frame) { return frame.rfind(prefix, 0) == 0; });
}

class PodRunTest : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), "--simulate");
        return RunInProcess(args, scripted.Environment());
    }

    ScratchDir dir;
    ScriptedPod scripted;
    const std::string f805 = Example("dsp56f805.s");
    const std::string f807 = Example("dsp56f807.s");
};

TEST_F(PodRunTest, TraceOfOneWrite) {
    const std::string trace = dir.File("write.trace");
    const CliRun run =
        RunInProcess({"--simulate", "--trace", trace, "write", f807, "--cpu", "DSP56F807"});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    const std::vector<std::string> lines = Lines(ReadText(trace));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "> 02 49 03");
    EXPECT_EQ(lines[1], "< 21");
    EXPECT_EQ(lines[2], "> 02 47 31 03");
    EXPECT_EQ(lines[3], "< 21");
    EXPECT_EQ(lines[4], "> 02 4D 33 46 30 30 30 03");
    EXPECT_EQ(lines[5], "< 21");
    // DFLASH goes first: its first page (0x20) erased with code 02.
    EXPECT_EQ(lines[6], "> 02 58 30 32 30 30 32 30 46 30 30 30 03");
    EXPECT_EQ(lines.back(), "< 21");
}

TEST_F(PodRunTest, OutputOfASuccessfulWrite) {
    const CliRun run = Run({"write", f807, "--cpu", "807"});
    ASSERT_EQ(run.status, kExitSuccess);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = Lines(run.err);
    const std::vector<std::string> phases = {
        "Reading S File is OK !!!", "simulated pod: no board is programmed",
        "Enter Debug Mode",         "Firmware Downloading...",
        "DFLASH Erasing...",        "DFLASH Writing...",  "PFLASH Erasing...",
        "PFLASH Writing...",        "P2FLASH Erasing...", "P2FLASH Writing...",
        "BFLASH Erasing...",        "BFLASH Writing..."};
    ASSERT_EQ(lines.size(), phases.size() + 2) << run.err;
    EXPECT_TRUE(std::equal(phases.begin(), phases.end(), lines.begin())) << run.err;
    EXPECT_EQ(lines[phases.size()].rfind("Flash Write Completed - ", 0), 0u);
    EXPECT_EQ(lines[phases.size()].substr(lines[phases.size()].size() - 4), " sec");
    EXPECT_EQ(lines.back(), "Flash Writing is OK !!!");
}

TEST_F(PodRunTest, WriteVerifyPrintsEachPhaseOnce) {
    const CliRun run = Run({"write-verify", f805, "--cpu", "805"});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    // The pieces alternate between writing and verifying; the log names each phase once.
    EXPECT_EQ(Count(run.err, "PFLASH Writing...\n"), 1u);
    EXPECT_EQ(Count(run.err, "PFLASH Verifying...\n"), 1u);
    EXPECT_NE(run.err.find("Flash Write && Verify Completed - "), std::string::npos);
    EXPECT_NE(run.err.find("Flash Writing && Verifying is OK !!!\n"), std::string::npos);
}

TEST_F(PodRunTest, WriteThenVerifyInALaterRunSharingTheStateFile) {
    const std::string state = dir.File("pod.state");
    ASSERT_EQ(RunInProcess({"--sim-state", state, "write", f805, "--cpu", "805"}).status,
              kExitSuccess);
    const CliRun verify = RunInProcess({"--sim-state", state, "verify", f805, "--cpu", "805"});
    EXPECT_EQ(verify.status, kExitSuccess) << verify.err;
    EXPECT_NE(verify.err.find("Flash Verifying is OK !!!"), std::string::npos);

    // A board that was never written does not compare; DFLASH is checked first.
    const CliRun fresh =
        RunInProcess({"--sim-state", dir.File("other.state"), "verify", f805, "--cpu", "805"});
    EXPECT_EQ(fresh.status, kExitFailed);
    EXPECT_EQ(Count(fresh.err, "DFLASH Verify Error\n"), 1u) << fresh.err;

    // Another image against the written board.
    std::string changed = ReadText(f805);
    const std::size_t record = changed.find("\nS325000000");
    ASSERT_NE(record, std::string::npos);
    changed[record + 12] = changed[record + 12] == '0' ? '1' : '0';
    const std::string other = dir.Write("changed.s", changed);
    const CliRun mismatch = RunInProcess(
        {"--sim-state", state, "verify", other, "--cpu", "805", "--regions", "PFLASH"});
    EXPECT_EQ(mismatch.status, kExitFailed);
    EXPECT_NE(mismatch.err.find("PFLASH Verify Error"), std::string::npos) << mismatch.err;
}

TEST_F(PodRunTest, PodWriteThenPodVerifyInALaterRun) {
    const std::string state = dir.File("pod.state");
    const CliRun write =
        RunInProcess({"--sim-state", state, "pod-write", f805, "--cpu", "805", "--reset-after"});
    ASSERT_EQ(write.status, kExitSuccess) << write.err;
    EXPECT_NE(write.err.find("EEPROM Write Completed - "), std::string::npos);
    EXPECT_NE(write.err.find("EEPROM Writing is OK !!!"), std::string::npos);

    const CliRun verify = RunInProcess({"--sim-state", state, "pod-verify", f805, "--cpu", "805"});
    EXPECT_EQ(verify.status, kExitSuccess) << verify.err;
    EXPECT_NE(verify.err.find("[CPU] : DSP56F805\n"
                              "[Option] : Erase All BFLASH, Target Reset After Flash Writing\n"
                              "[PFLASH Info] Start Address : 0x0004, End Address : 0x7D7F"),
              std::string::npos)
        << verify.err;
    EXPECT_NE(verify.err.find("EEPROM Verifying is OK !!!"), std::string::npos);

    const CliRun wrongCpu =
        RunInProcess({"--sim-state", state, "pod-verify", f807, "--cpu", "807"});
    EXPECT_EQ(wrongCpu.status, kExitFailed);
    EXPECT_NE(wrongCpu.err.find("SFile Info. is not identical to selected SFile Data\n"),
              std::string::npos);
    EXPECT_NE(wrongCpu.err.find("EEPROM Info. is not sameness\n"), std::string::npos);

    const CliRun empty = RunInProcess({"--sim-state", dir.File("new.state"), "--sim-fill", "erased",
                                       "pod-verify", f805, "--cpu", "805"});
    EXPECT_EQ(empty.status, kExitFailed);
    EXPECT_NE(empty.err.find("There is No SFile Info.\n"), std::string::npos);
    EXPECT_NE(empty.err.find("Fail to Get EEPROM Info.\n"), std::string::npos);
}

TEST_F(PodRunTest, SimFillChoosesWhatANewSimulatedPodHoldsOnly) {
    // A new pod holds a stale image of another CPU unless it starts erased.
    const CliRun stale = RunInProcess({"--sim-state", dir.File("old.state"), "-q", "pod-info"});
    EXPECT_EQ(stale.status, kExitSuccess) << stale.err;
    EXPECT_NE(stale.out.find("[CPU] : DSP56F801\n"), std::string::npos) << stale.out;

    // The fill only makes a new state: an existing file keeps what it holds.
    const std::string state = dir.File("pod.state");
    ASSERT_EQ(RunInProcess({"--sim-state", state, "--sim-fill", "erased", "reset"}).status,
              kExitSuccess);
    const CliRun blank = RunInProcess({"--sim-state", state, "--sim-fill", "12aF", "pod-info"});
    EXPECT_EQ(blank.status, kExitFailed);
    EXPECT_NE(blank.err.find("There is No SFile Info.\n"), std::string::npos) << blank.err;

    const CliRun bad = RunInProcess({"--sim-fill=12G4", "reset"});
    EXPECT_EQ(bad.status, kExitInputError);
    EXPECT_NE(bad.err.find("option '--sim-fill' wants erased, random or four hex digits"),
              std::string::npos)
        << bad.err;
}

TEST_F(PodRunTest, PodInfoPrintsTheStoredRecordAsData) {
    const std::string state = dir.File("pod.state");
    const CliRun none = RunInProcess({"--sim-state", state, "--sim-fill", "erased", "pod-info"});
    EXPECT_EQ(none.status, kExitFailed);
    EXPECT_EQ(none.out, "[Current SFile Info. in Serial EEPROM of USB POD]\n");
    EXPECT_EQ(none.err, "simulated pod: no board is programmed\nThere is No SFile Info.\nFail to Get EEPROM Info.\n");

    ASSERT_EQ(RunInProcess(
                  {"--sim-state", state, "pod-write", f807, "--cpu", "807", "--no-erase-all-boot"})
                  .status,
              kExitSuccess);
    const CliRun info = RunInProcess({"--sim-state", state, "-q", "pod-info"});
    EXPECT_EQ(info.status, kExitSuccess) << info.err;
    EXPECT_EQ(info.err, "");
    EXPECT_EQ(info.out,
              "[Current SFile Info. in Serial EEPROM of USB POD]\n"
              "[CPU] : DSP56F807\n"
              "[Option] : Not Erase All BFLASH, No Target Reset After Flash Writing\n"
              "[PFLASH Info] Start Address : 0x0004, End Address : 0x7F7F, Length : 0x7F7C\n"
              "[P2FLASH Info] Start Address : 0x8000, End Address : 0x839F, Length : 0x03A0\n"
              "[BFLASH Info] Start Address : 0xF800, End Address : 0xFC03, Length : 0x0404\n"
              "[DFLASH Info] Start Address : 0x2000, End Address : 0x223F, Length : 0x0240\n");

    scripted.script = [](SimulatedPod& pod) { pod.Faults().SilenceReply('O'); };
    const CliRun silent = Run({"pod-info"});
    EXPECT_EQ(silent.status, kExitFailed);
    EXPECT_EQ(silent.out, "");
    EXPECT_EQ(silent.err, "simulated pod: no board is programmed\nFail to Get EEPROM Info.\n");
    EXPECT_FALSE(scripted.pod->IsOpen());
}

TEST_F(PodRunTest, RegionsAndEraseOptionsReachThePod) {
    ASSERT_EQ(Run({"write", f805, "--cpu", "805", "--regions", "pflash,BFLASH"}).status,
              kExitSuccess);
    EXPECT_TRUE(AnyFrameStartsWith(*scripted.pod, "X04"));
    EXPECT_FALSE(AnyFrameStartsWith(*scripted.pod, "X02")) << "DFLASH was not named";
    EXPECT_TRUE(AnyFrameStartsWith(*scripted.pod, "X0600007E00")) << "whole boot flash";

    ASSERT_EQ(
        Run({"write", f805, "--cpu", "805", "--regions", "BFLASH", "--no-erase-all-boot"}).status,
        kExitSuccess);
    EXPECT_FALSE(AnyFrameStartsWith(*scripted.pod, "X06"));
    // Boot flash page 0x80 goes out masked to seven bits.
    EXPECT_TRUE(AnyFrameStartsWith(*scripted.pod, "X0A00007E00"));
    EXPECT_FALSE(AnyFrameStartsWith(*scripted.pod, "X04"));
}

TEST_F(PodRunTest, FailedSequenceExitsWithOneAndItsStatusText) {
    scripted.script = [](SimulatedPod& pod) { pod.Faults().WrongReply('W', 1, '#'); };
    const CliRun run = Run({"write", f805, "--cpu", "805", "--reset-after"});
    EXPECT_EQ(run.status, kExitFailed);
    EXPECT_EQ(Count(run.err, "DFLASH Write Error\n"), 1u) << run.err;
    EXPECT_EQ(run.err.find("Flash Writing is OK"), std::string::npos);
    EXPECT_FALSE(AnyFrameStartsWith(*scripted.pod, "R")) << "no reset after a failure";
    EXPECT_FALSE(scripted.pod->IsOpen());

    const CliRun quiet = Run({"-q", "write", f805, "--cpu", "805"});
    EXPECT_EQ(quiet.status, kExitFailed);
    EXPECT_EQ(quiet.err, "DFLASH Write Error\n");
}

TEST_F(PodRunTest, FailedResetAfterWritingExitsWithOne) {
    scripted.script = [](SimulatedPod& pod) { pod.Faults().SilenceReply('R'); };
    const CliRun run = Run({"write", f805, "--cpu", "805", "--reset-after"});
    EXPECT_EQ(run.status, kExitFailed);
    const std::size_t ok = run.err.find("Flash Writing is OK !!!\n");
    ASSERT_NE(ok, std::string::npos);
    EXPECT_NE(run.err.find("Fail to reset target board\n", ok), std::string::npos);
}

TEST_F(PodRunTest, TargetReset) {
    const CliRun ok = Run({"reset"});
    EXPECT_EQ(ok.status, kExitSuccess);
    EXPECT_EQ(ok.err, "simulated pod: no board is programmed\nTarget board reset is OK !!!\n");
    EXPECT_TRUE(AnyFrameStartsWith(*scripted.pod, "R"));

    scripted.script = [](SimulatedPod& pod) { pod.Faults().SilenceReply('R'); };
    const CliRun failed = Run({"-q", "reset"});
    EXPECT_EQ(failed.status, kExitFailed);
    EXPECT_EQ(failed.err, "Fail to reset target board\n");
}

TEST_F(PodRunTest, UnreachablePodExitsWithThree) {
    scripted.script = [](SimulatedPod& pod) { pod.Faults().devices.clear(); };
    const CliRun none = Run({"write", f805, "--cpu", "805"});
    EXPECT_EQ(none.status, kExitUnreachable);
    EXPECT_NE(none.err.find("Not connect to USB Programmer\n"), std::string::npos);

    scripted.script = [](SimulatedPod& pod) {
        pod.Faults().SilenceReply('I', 1);
        pod.Faults().SilenceReply('I', 2);
    };
    const CliRun silent = Run({"reset"});
    EXPECT_EQ(silent.status, kExitUnreachable);
    EXPECT_EQ(silent.err, "simulated pod: no board is programmed\nFail to initialize USB Programmer\n");

    scripted.script = nullptr;
    scripted.libraryMissing = true;
    const CliRun noLibrary = Run({"pod-write", f805, "--cpu", "805"});
    EXPECT_EQ(noLibrary.status, kExitUnreachable);
    EXPECT_EQ(noLibrary.err.rfind("Reading S File is OK !!!\nsimulated pod: no board is programmed\nFail to load FTD2XX.DLL file\n", 0),
              0u)
        << noLibrary.err;
}

TEST_F(PodRunTest, RefusalsExitWithTwoBeforeThePodIsTouched) {
    const CliRun old = Run({"-q", "write", Example("dsp56f801.s"), "--cpu", "801"});
    EXPECT_EQ(old.status, kExitInputError);
    EXPECT_EQ(old.err, "Not currently support DSP56F801\n");
    EXPECT_TRUE(scripted.pod->FrameLog().empty());

    EXPECT_EQ(Run({"pod-verify", Example("dsp56f801.s"), "--cpu", "801"}).status, kExitInputError);

    const CliRun unticked = Run({"write-verify", f805, "--cpu", "805", "--regions", " "});
    EXPECT_EQ(unticked.status, kExitInputError);
    EXPECT_NE(unticked.err.find("Please, select list item for flash writing && verifying\n"),
              std::string::npos);

    const std::string empty = dir.Write("empty.s", "S9030000FC\n");
    const CliRun noData = Run({"verify", empty, "--cpu", "805"});
    EXPECT_EQ(noData.status, kExitInputError);
    EXPECT_EQ(noData.err,
              "no S3 records: nothing to program\nsimulated pod: no board is programmed\nThere is no S File data to verify with flash\n");
    EXPECT_EQ(Run({"pod-write", empty, "--cpu", "805"}).err,
              "no S3 records: nothing to program\nsimulated pod: no board is programmed\nThere is no S File data to write into EEPROM\n");
}

TEST_F(PodRunTest, InputErrorsNeverCreateAPod) {
    const CliRun absent = Run({"write", f805, "--cpu", "805", "--regions", "PFLASH,P2FLASH"});
    EXPECT_EQ(absent.status, kExitInputError);
    EXPECT_EQ(absent.err, "vantix-cli: region P2FLASH is not present in the file for this CPU\n");

    const std::string bad = dir.Write("bad.s", "S30900000004341200001299\n");
    const CliRun strict = Run({"write", bad, "--cpu", "805", "--strict"});
    EXPECT_EQ(strict.status, kExitInputError);
    EXPECT_NE(strict.err.find("bad checksum"), std::string::npos);

    const CliRun trace = Run({"--trace", dir.File("no/such/dir/t.log"), "reset"});
    EXPECT_EQ(trace.status, kExitInputError);
    EXPECT_EQ(scripted.pod, nullptr);

    const std::string state = dir.Write("broken.state", "not a state file");
    const CliRun broken = RunInProcess({"--sim-state", state, "reset"});
    EXPECT_EQ(broken.status, kExitInputError);
    EXPECT_EQ(broken.err.rfind("vantix-cli: cannot read the simulated pod's state from ", 0), 0u)
        << broken.err;
    EXPECT_EQ(ReadText(state), "not a state file") << "left as it was";
}

TEST_F(PodRunTest, VerboseShowsTheFramesOnStderr) {
    const CliRun run = Run({"-v", "reset"});
    EXPECT_EQ(run.status, kExitSuccess);
    EXPECT_EQ(run.err, "simulated pod: no board is programmed\n> 02 49 03\n< 21\n> 02 52 03\n< 21\nTarget board reset is OK !!!\n");
}

TEST_F(PodRunTest, ProgressBarOnATerminal) {
    CliEnvironment environment = scripted.Environment();
    environment.stderrIsTerminal = true;
    const CliRun run = RunInProcess(
        {"--simulate", "write", f805, "--cpu", "805", "--regions", "PFLASH"}, environment);
    EXPECT_EQ(run.status, kExitSuccess);
    EXPECT_NE(run.err.find("\rPFLASH Writing...          [##############################] 100%"),
              std::string::npos);
    EXPECT_NE(run.err.find("\nFlash Writing is OK !!!\n"), std::string::npos);
}

// Raises the interrupt flag as soon as a text appears on stderr, as Ctrl+C would.
class Tripwire : public std::streambuf {
public:
    Tripwire(std::string trigger, std::atomic<bool>& flag)
        : trigger_(std::move(trigger)), flag_(flag) {}
    std::string text;

protected:
    int overflow(int c) override {
        if (c != EOF) {
            text.push_back(static_cast<char>(c));
            if (text.find(trigger_) != std::string::npos) {
                flag_ = true;
            }
        }
        return c;
    }

private:
    std::string trigger_;
    std::atomic<bool>& flag_;
};

TEST_F(PodRunTest, InterruptStopsTheSequenceAndClosesThePod) {
    std::atomic<bool> interrupted{false};
    CliEnvironment environment = scripted.Environment();
    environment.interrupted = &interrupted;
    Tripwire tripwire("PFLASH Writing...", interrupted);
    std::ostream err(&tripwire);
    std::ostringstream out;
    const int status = RunCli({"--simulate", "write", f805, "--cpu", "805"}, out, err, environment);
    EXPECT_EQ(status, kExitInterrupted);
    EXPECT_NE(tripwire.text.find("vantix-cli: interrupted; the pod is closed\n"), std::string::npos)
        << tripwire.text;
    EXPECT_EQ(tripwire.text.find("PFLASH Write Error"), std::string::npos)
        << "the step cut short is no failure to report";
    EXPECT_FALSE(scripted.pod->IsOpen());
    EXPECT_FALSE(AnyFrameStartsWith(*scripted.pod, "X06")) << "BFLASH never started";
}

}  // namespace
