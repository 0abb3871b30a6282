// --expect-sha256: a station programs the one image its job file pins, and nothing else
// reaches the pod.
#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "CliExit.h"
#include "CliProcess.h"
#include "records/ImageDigests.h"

namespace {

namespace fs = std::filesystem;

std::string Sha256Of(const std::string& bytes) {
    Sha256Stream digest;
    digest.Add(bytes.data(), bytes.size());
    return digest.Hex();
}

class ExpectedImage : public ::testing::Test {
protected:
    ScratchDir dir;
    const std::string image = ReadText(Example("dsp56f805.s"));
    const std::string sha256 = Sha256Of(image);
    const std::string state = dir.File("pod.state");
};

TEST_F(ExpectedImage, TheHashIsOfTheBytesLoadedAlsoFromAPipe) {
    // The same records with one more line end are another file: a release is its bytes.
    const std::string other = image + "\n";
    const std::vector<std::string> args = {"--sim-state", state, "write-verify", "/dev/stdin",
                                           "--cpu",       "805", "--json",       "--expect-sha256"};
    std::vector<std::string> expected = args;
    // Written in capitals, as a release note may give it.
    std::string shouted = sha256;
    for (char& c : shouted) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    expected.push_back(shouted);
    const CliRun passed = Finish(StartProgram(expected, image));
    EXPECT_EQ(passed.status, kExitSuccess) << passed.err;
    const nlohmann::json record = nlohmann::json::parse(passed.out);
    EXPECT_EQ(record["release"], "expected-sha256");
    EXPECT_EQ(passed.out.substr(passed.out.size() - 30), ",\"release\":\"expected-sha256\"}\n");

    const CliRun refused = Finish(StartProgram(expected, other));
    EXPECT_EQ(refused.status, kExitInputError);
    EXPECT_EQ(Lines(refused.err).back(),
              "vantix-cli: /dev/stdin is not the expected image: its SHA-256 is " +
                  Sha256Of(other).substr(0, 4) + "…, --expect-sha256 expects " +
                  sha256.substr(0, 4) + "…");
}

TEST_F(ExpectedImage, AWrongFileTouchesNoPodWhicheverCommand) {
    const std::string file = dir.Write("yesterday.s", image + "\n");
    const std::string job = dir.Write("station.toml", "expect-sha256 = \"" + sha256 + "\"\n");
    // The pods hold what an earlier run left.
    ASSERT_EQ(RunInProcess({"--sim-state", state, "write", Example("dsp56f805.s"), "--cpu", "805"})
                  .status,
              kExitSuccess);
    ASSERT_EQ(RunInProcess({"--sim-pods", "2", "--sim-state", state, "--pods", "all", "write",
                            Example("dsp56f805.s"), "--cpu", "805"})
                  .status,
              kExitSuccess);
    const auto states = [this] {
        return ReadText(state) + ReadText(state + ".VSIM0001") + ReadText(state + ".VSIM0002");
    };
    const std::string before = states();
    ASSERT_GT(before.size(), ReadText(state).size());
    const std::string trace = dir.File("wire.log");
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"write"},
          {"write-verify"},
          {"verify"},
          {"pod-write"},
          {"pod-verify"},
          {"--sim-pods", "2", "--pods", "all", "write-verify"},
          {"--sim-pods", "2", "--pods", "VSIM0002", "verify"}}) {
        std::vector<std::string> args = {"--config", job, "--sim-state", state, "--trace", trace};
        args.insert(args.end(), command.begin(), command.end());
        args.insert(args.end(), {file, "--cpu", "805", "--json"});
        const CliRun run = RunInProcess(args);
        EXPECT_EQ(run.status, kExitInputError) << command.back() << run.err;
        EXPECT_NE(
            run.err.find("vantix-cli: " + file + " is not the expected image: its SHA-256 is " +
                         Sha256Of(image + "\n").substr(0, 4) + "…, the job file expects " +
                         sha256.substr(0, 4) + "…\n"),
            std::string::npos)
            << run.err;
        EXPECT_NE(run.out.find("\"exit\":2,\"release\":null}"), std::string::npos) << run.out;
        EXPECT_TRUE(states() == before) << command.back();
        EXPECT_FALSE(fs::exists(trace)) << command.back();
    }
    // A pinned image that is not a SHA-256 is refused as any bad value is.
    const CliRun bad = RunInProcess({"--sim-state", state, "verify", file, "--cpu", "805",
                                     "--expect-sha256", sha256.substr(1)});
    EXPECT_EQ(bad.status, kExitInputError);
    EXPECT_EQ(Lines(bad.err).front(),
              "vantix-cli: --expect-sha256 wants the 64 hex digits of a "
              "SHA-256, not '" +
                  sha256.substr(1) + "'");
    EXPECT_EQ(RunInProcess({"--sim-state", state, "reset", "--expect-sha256", sha256}).status,
              kExitInputError);
}

}  // namespace
