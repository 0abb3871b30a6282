#pragma once

#include <atomic>
#include <istream>
#include <string>

// Between the boards of --repeat: waits for the operator's Enter on the input. The next
// board is wanted unless the line is "q" (or "quit"), the input has ended, or Ctrl+C was
// pressed meanwhile.
class BoardPrompt {
public:
    // input: a stream to read lines from (tests); null reads the process's standard input
    // in a way that Ctrl+C can end.
    BoardPrompt(std::istream* input, const std::atomic<bool>* interrupted)
        : input_(input), interrupted_(interrupted) {}

    bool NextBoardWanted();

private:
    bool ReadLine(std::string& line);
    bool Interrupted() const { return interrupted_ != nullptr && interrupted_->load(); }

    std::istream* input_;
    const std::atomic<bool>* interrupted_;
};
