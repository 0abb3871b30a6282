// The manual page and the completions of a program whose command takes nothing at all.
#include <gtest/gtest.h>

#include "CompletionWriter.h"
#include "ManPageWriter.h"

namespace {

ProgramUsage WithBareCommand() {
    ProgramUsage usage;
    usage.name = "vantix-cli";
    usage.summary = "program flash through a pod";
    usage.synopsis = "[OPTIONS] COMMAND [ARGS]";
    usage.optionsHeading = "GLOBAL OPTIONS";
    UsageCommand ping;
    ping.name = "ping";
    ping.summary = "answer pong";
    ping.usage = "vantix-cli ping";
    ping.description = "Prints pong.";
    ping.example = "vantix-cli ping";
    usage.commands.push_back(ping);
    return usage;
}

TEST(ManPageWriterTest, ACommandWithNothingAfterItsNameHasABareSynopsisLine) {
    const ProgramUsage usage = WithBareCommand();
    std::string page;
    ASSERT_NO_THROW(page = ManPage(usage, "2026-01-01", "Vantix"));
    EXPECT_NE(page.find(".br\n.B vantix\\-cli ping\n.SH DESCRIPTION\n"), std::string::npos)
        << page;
    EXPECT_NO_THROW(BashCompletion(usage, ValueChoices{}, "vantix-cli"));
    EXPECT_NO_THROW(FishCompletion(usage, ValueChoices{}, "vantix-cli"));
}

}  // namespace
