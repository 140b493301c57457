#pragma once

#include <string>
#include <vector>

#include "TransferView.h"

// The updater window as a list of what the transfer asked of it, one line per request.
class RecordingView : public TransferView {
public:
    void EnableDownload(bool enable) override {
        lines.push_back(enable ? "button on" : "button off");
    }
    void SetStatus(const std::string& text) override { lines.push_back("status " + text); }
    void SetProgressText(const std::string& text) override { lines.push_back("text " + text); }
    void SetProgressRange(uint16_t maximum) override {
        lines.push_back("range " + std::to_string(maximum));
    }
    void SetProgressPosition(uint32_t position) override {
        lines.push_back("position " + std::to_string(position));
    }
    void ShowMessage(const std::string& text) override { lines.push_back("message " + text); }

    // The last `n` lines.
    std::vector<std::string> Tail(size_t n) const {
        return std::vector<std::string>(lines.end() - static_cast<long>(std::min(n, lines.size())),
                                        lines.end());
    }
    // Every line that starts with `prefix`.
    std::vector<std::string> Only(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& l : lines)
            if (l.compare(0, prefix.size(), prefix) == 0)
                found.push_back(l);
        return found;
    }

    std::vector<std::string> lines;
};
