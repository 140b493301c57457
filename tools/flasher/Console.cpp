#include "Console.h"

Console::Console(OutputMode mode, std::FILE* out, bool liveTerminal, size_t progressLines)
    : mode_(mode), out_(out), live_(liveTerminal && mode == OutputMode::Human),
      board_(progressLines) {}

void Console::Line(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (boardShown_) {
        MoveToBoardTop();
        std::fprintf(out_, "%s\x1b[K\n", text.c_str());
        DrawBoard();
    } else {
        std::fprintf(out_, "%s\n", text.c_str());
    }
    std::fflush(out_);
}

void Console::Progress(size_t slot, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!live_) {
        std::fprintf(out_, "%s\n", text.c_str());
    } else if (slot < board_.size()) {
        board_[slot] = text;
        if (boardShown_)
            MoveToBoardTop();
        DrawBoard();
    }
    std::fflush(out_);
}

size_t Console::AddProgressLine() {
    std::lock_guard<std::mutex> lock(mutex_);
    // The cursor stands on the board's last line: it goes to the top as the board was, and the
    // board is drawn again one line longer.
    if (boardShown_) {
        MoveToBoardTop();
        board_.emplace_back();
        DrawBoard();
        std::fflush(out_);
    } else {
        board_.emplace_back();
    }
    return board_.size() - 1;
}

void Console::EndBoard() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (boardShown_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    boardShown_ = false;
    for (std::string& line : board_)
        line.clear();
}

// The cursor rests at the end of the board's last line.
void Console::MoveToBoardTop() {
    std::fputc('\r', out_);
    if (board_.size() > 1)
        std::fprintf(out_, "\x1b[%luA", static_cast<unsigned long>(board_.size() - 1));
}

void Console::DrawBoard() {
    for (size_t i = 0; i < board_.size(); ++i)
        std::fprintf(out_, "%s%s\x1b[K", i ? "\n" : "", board_[i].c_str());
    boardShown_ = true;
}
