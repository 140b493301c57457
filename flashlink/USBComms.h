#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "ProgressSink.h"
#include "USBInterface.h"
#include "ZentroApi.h"

// The acknowledge handshake and the block transfers into and out of the handset's memory.
// Results: 1 success, 0 failure, with the reason left in m_ErrorText.
class ZENTRO_API USBComms : public USBInterface {
public:
    USBComms();

    // Sends WORD_ACK and reads one word: 1 only when the device answered WORD_ACK.
    int GetACK();
    // Loads `length` bytes at the handset `address` in 64 KiB blocks, each acknowledged and,
    // with crcCheck nonzero, verified by the device's CRC of it.
    int SendData(uint32_t address, uint32_t length, const uint8_t* data, ProgressSink* progress,
                 int crcCheck);
    // Writes exactly one 64 KiB block from `data` with no command before it; the result line
    // goes to m_ErrorText either way. address and length are not used.
    int SendDataTest(uint32_t address, uint32_t length, const uint8_t* data);
    // Reads `length` bytes of handset memory at `address` into `buffer`.
    int GetData(uint32_t address, uint32_t length, uint8_t* buffer, ProgressSink* progress);
    // Starts execution on the handset at `address`.
    int Go(uint32_t address);
    int SetRAMType(uint32_t type);

    // CRC-16/MODBUS of a block; the upper 16 bits of the result are 0.
    static uint32_t CalcBlockCrc(const uint8_t* data, uint32_t length);

    char m_ErrorText[1000];
    // Set from another thread, a console-control handler or a signal handler, hence atomic and
    // lock-free (a signal handler may store only to a lock-free atomic).
    std::atomic<int> m_Abort;

protected:
    enum ProgressRequest { PROGRESS_RANGE, PROGRESS_POS };
    // Passes one request to `progress`, which may be null: no progress is shown.
    static void ProgressControl(ProgressSink* progress, uint32_t value, ProgressRequest request);

    uint32_t WriteWord(uint32_t word);
    uint32_t ReadWord(uint32_t& word);
    void SetErrorText(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

private:
    enum AckOutcome { ACK_GIVEN, ACK_OTHER_WORD, ACK_PIPE_FAILED };
    AckOutcome AskForAck();
    // The handshakes without the three-second rule. They end when the pipe fails, which
    // includes the pipe's own silence limit, so an unplugged or frozen device ends them; and
    // once the device has answered with other words for longer than that same limit (in whole
    // seconds of the link's clock), so a device stuck saying "not ready" ends them too.
    int WaitForAck();
    // The full-block handshake: gives up once more than 3 whole seconds have passed.
    int WaitForBlockAck();
    int SendBlock(const uint8_t* data, uint32_t size, int crcCheck);
    int ReadBlock(uint8_t* buffer, uint32_t size);

    // Moves the block at `offset` of the transfer, `size` bytes: 1 or 0.
    using BlockMove = std::function<int(uint32_t offset, uint32_t size)>;
    // The block loop of SendData and GetData: each full block's address, `fullBlockAck`, the
    // block; then a shorter last block that names its size, and the closing acknowledgement.
    int MoveBlocks(uint32_t address, uint32_t length, ProgressSink* progress,
                   int (USBComms::*fullBlockAck)(), const BlockMove& move);
    static uint32_t BlockCount(uint32_t length);
};
