#pragma once

#include <atomic>
#include <istream>
#include <string>

// Between the boards of --repeat: waits for the operator's Enter on the input. The next
// board is wanted unless the line is "q" (or "quit"), the input has ended, or Ctrl+C was
// pressed meanwhile. Any other text on the line (a scanned barcode) is the board's id.
// Keys pressed while the last board ran are thrown away first, so an early Enter never
// starts a board.
class BoardPrompt {
public:
    // input: a stream to read lines from (tests); null reads the process's standard input
    // in a way that Ctrl+C can end.
    BoardPrompt(std::istream* input, const std::atomic<bool>* interrupted)
        : input_(input), interrupted_(interrupted) {}

    // boardId: the line's text, empty for a plain Enter.
    bool NextBoardWanted(std::string& boardId);
    // Throws away what a terminal holds typed ahead; call before showing the prompt.
    void DiscardTypeAhead();

private:
    bool ReadLine(std::string& line);
    bool Interrupted() const { return interrupted_ != nullptr && interrupted_->load(); }

    std::istream* input_;
    const std::atomic<bool>* interrupted_;
};
