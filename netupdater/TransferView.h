#pragma once

#include <cstdint>
#include <string>

// What the transfer asks of the updater window. The Win32 window, the benchmark and the tests
// each implement it. Texts are 8-bit, as the transfer writes them.
class TransferView {
public:
    virtual ~TransferView();

    virtual void EnableDownload(bool enable) = 0;
    // The window keeps the text as its status text and shows it.
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetProgressText(const std::string& text) = 0;
    // Range 0 to `maximum`.
    virtual void SetProgressRange(uint16_t maximum) = 0;
    virtual void SetProgressPosition(uint32_t position) = 0;
    // A modal message box with an OK button; returns when the user has answered it.
    virtual void ShowMessage(const std::string& text) = 0;
};
