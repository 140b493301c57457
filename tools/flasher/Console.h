#pragma once

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

enum class OutputMode { Human, Quiet, Json };

// The terminal that every device's page writes to, from its own thread. On a live terminal the
// devices' progress lines form a board at the bottom, one line each, redrawn in place while the
// other lines scroll above it; elsewhere (a file, a pipe) a progress line is a line like any
// other. Each call writes whole lines under one lock, so lines of two devices never mix.
class Console {
public:
    Console(OutputMode mode, std::FILE* out, bool liveTerminal, size_t progressLines);
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    OutputMode Mode() const { return mode_; }
    bool Live() const { return live_; }

    // A line that stays (text, or one JSON event).
    void Line(const std::string& text);
    // Progress line `slot` now reads `text`.
    void Progress(size_t slot, const std::string& text);
    // One more progress line, for a device that came later; returns its slot.
    size_t AddProgressLine();
    // Leaves the board as it stands, so that what follows starts on a line of its own.
    void EndBoard();

private:
    void MoveToBoardTop();
    void DrawBoard();

    OutputMode mode_;
    std::FILE* out_;
    bool live_;
    std::mutex mutex_;
    std::vector<std::string> board_;
    bool boardShown_ = false;
};
