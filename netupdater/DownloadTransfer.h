#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "DatagramSocket.h"
#include "DownloadFile.h"
#include "TransferClock.h"
#include "TransferView.h"
#include "UpdaterSettings.h"

// How a transfer ended. Every ending has re-enabled the Download button.
enum class TransferOutcome {
    Success,
    BadSettings,         // setting.ini names no usable target
    NoFile,              // the download file cannot be opened at the start
    FileTooLarge,        // the download file is 4 GiB or longer
    LibraryFailed,       // the socket library will not start
    WrongVersion,        // the socket library offers another version than 1.1
    NoSocket,            // no socket could be made
    NoAnswer,            // no reply to the write request within a second
    ConnectError,        // the socket failed while waiting for that reply
    Refused,             // the first reply was not the acknowledgement of block 0
    TimedOut,            // a block went unacknowledged past the retry limit
    SocketFailed,        // the socket kept failing past the retry limit
    TargetError,         // the target ended the transfer with an error datagram
    FileLost,            // the download file could not be read again during the transfer
    FinalFileLost,       // ... nor for the final block
    FinalUnacknowledged, // the final block went unacknowledged in ten attempts
};

// One TFTP write of the download file to the target, as "doc.bin" in octet mode, reporting
// as it goes through the view. Runs on the worker thread the window starts for it and
// returns when the transfer has ended, whatever the outcome.
class DownloadTransfer {
public:
    DownloadTransfer(TransferView& view, SocketLibrary& sockets, TransferClock& clock);

    TransferOutcome Run(DownloadFile& file, const UpdaterSettings& settings);

private:
    struct Plan {
        uint32_t length = 0;     // L
        uint32_t blocks = 0;     // N = L / 512 + 1
        uint32_t step = 0;       // S = N / 100
        uint64_t retryLimit = 0; // R
    };

    // How one wait for the acknowledgement of a block ended.
    enum class Answer { Acknowledged, TimedOut, Failed, Refused };

    // One datagram taken from the socket, or how the wait for it ended instead.
    struct Received {
        WaitResult result = WaitResult::TimedOut;
        int length = 0;
        Endpoint from;
    };

    TransferOutcome Exchange(DownloadFile& file, const Plan& plan, const Endpoint& target);
    TransferOutcome Request(const Endpoint& target, Endpoint& destination);
    // Waits for one datagram until `deadline` (on the clock's milliseconds) and takes it; a
    // wait whose deadline has passed times out at once.
    Received ReceiveBefore(uint64_t deadline, uint8_t* buffer, size_t capacity);
    Answer AwaitAnswer(uint32_t milliseconds, const Endpoint& target, uint32_t block);
    bool RefusedWith(const uint8_t* datagram, size_t length);
    TransferOutcome SendBlock(DownloadFile& file, const Plan& plan, uint32_t block,
                              const Endpoint& destination);
    TransferOutcome SendFinalBlock(DownloadFile& file, const Plan& plan,
                                   const Endpoint& destination);
    void ShowProgress(uint32_t block, uint32_t percent);
    void SetStatus(const std::string& text);

    TransferView& m_view;
    SocketLibrary& m_sockets;
    TransferClock& m_clock;
    std::unique_ptr<DatagramSocket> m_socket;
    std::string m_status;
    // The status line for the target's error datagram, once one has come.
    std::string m_refusal;
    int64_t m_startSeconds = 0;
    // The one block of the file held, and which block it is when it was read ahead (else 0).
    uint8_t m_block[512];
    uint32_t m_readAheadBlock = 0;
};

// The milliseconds to wait for the acknowledgement of `block` (1-based): blocks that start
// within the first 66,048 bytes wait 12 seconds, later ones 2 seconds.
uint32_t AcknowledgementWait(uint32_t block);

// A text from the target made harmless to show in the window or a log: printable ASCII stays
// as it is, except that a backslash and a double quote get a backslash before them; every
// other byte becomes \xHH.
std::string EscapedText(const std::string& text);

// The progress text: "<percent>% finished." followed at once by "mins: MM, secs: SS".
std::string ProgressText(uint32_t percent, int64_t elapsedSeconds);
