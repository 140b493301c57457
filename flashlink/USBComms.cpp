#include "USBComms.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "LinkTexts.h"
#include "LinkWords.h"

namespace {

// Tables of the reflected polynomial 0xA001: kCrc.t[0] is the classic byte table, and
// kCrc.t[s] gives a byte's effect on the register after s more zero bytes, so eight bytes can
// be folded in with eight independent lookups instead of a chain of eight dependent ones.
struct CrcTables {
    uint16_t t[8][256];
};

constexpr CrcTables MakeCrcTables() {
    CrcTables tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
        tables.t[0][i] = static_cast<uint16_t>(c);
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (int s = 1; s < 8; ++s) {
            const uint16_t prev = tables.t[s - 1][i];
            tables.t[s][i] = static_cast<uint16_t>((prev >> 8) ^ tables.t[0][prev & 0xFF]);
        }
    return tables;
}

constexpr CrcTables kCrc = MakeCrcTables();

} // namespace

static_assert(std::atomic<int>::is_always_lock_free,
              "the stop flags are set from signal handlers, which need lock-free atomics");

USBComms::USBComms() : m_ErrorText{}, m_Abort(0) {}

uint32_t USBComms::CalcBlockCrc(const uint8_t* data, uint32_t length) {
    uint32_t crc = 0xFFFF;
    const auto& t = kCrc.t;
    for (; length >= 8; length -= 8, data += 8) {
        crc ^= static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8;
        crc = t[7][crc & 0xFF] ^ t[6][crc >> 8] ^ t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^
              t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; length > 0; --length, ++data)
        crc = (crc >> 8) ^ t[0][(crc ^ *data) & 0xFF];
    return crc;
}

uint32_t USBComms::WriteWord(uint32_t word) {
    uint8_t bytes[4];
    PutWordLE(bytes, word);
    return Write_USB_Data(bytes, 4);
}

uint32_t USBComms::ReadWord(uint32_t& word) {
    uint8_t bytes[4];
    const uint32_t result = Read_USB_Data(bytes, 4);
    if (result == USB_READ_OK)
        word = GetWordLE(bytes);
    return result;
}

void USBComms::SetErrorText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(m_ErrorText, sizeof m_ErrorText, format, args);
    va_end(args);
}

USBComms::AckOutcome USBComms::AskForAck() {
    if (WriteWord(WORD_ACK) != USB_WRITE_OK) {
        SetErrorText("%s", kTextWriteFailed);
        return ACK_PIPE_FAILED;
    }
    uint32_t reply = 0;
    if (ReadWord(reply) != USB_READ_OK) {
        SetErrorText("%s", kTextReadFailed);
        return ACK_PIPE_FAILED;
    }
    if (reply != WORD_ACK) {
        SetErrorText("%s", kTextNotRecognized);
        return ACK_OTHER_WORD;
    }
    return ACK_GIVEN;
}

int USBComms::GetACK() {
    return AskForAck() == ACK_GIVEN ? 1 : 0;
}

int USBComms::WaitForAck() {
    const uint32_t noted = m_pClock->NowSeconds();
    const uint32_t limitSeconds = (Timeouts().transferMs + 999) / 1000;
    for (;;) {
        switch (AskForAck()) {
        case ACK_GIVEN:
            return 1;
        case ACK_OTHER_WORD:
            // A device that answers, but never with WORD_ACK, would keep the caller asking for
            // ever; it is given as long as one that says nothing at all.
            if (m_pClock->NowSeconds() - noted > limitSeconds)
                return 0;
            continue;
        case ACK_PIPE_FAILED:
            SetErrorText("%s", kTextAckGivenUp);
            return 0;
        }
    }
}

int USBComms::WaitForBlockAck() {
    const uint32_t noted = m_pClock->NowSeconds();
    for (;;) {
        const AckOutcome outcome = AskForAck();
        if (outcome == ACK_GIVEN)
            return 1;
        // A failed pipe cannot recover within the three seconds; asking on would only spin.
        if (outcome == ACK_PIPE_FAILED)
            return 0;
        if (m_pClock->NowSeconds() - noted > 3)
            return 0;
    }
}

int USBComms::SendBlock(const uint8_t* data, uint32_t size, int crcCheck) {
    // Without its command word the device would take the block's bytes for words.
    if (WriteWord(CMD_BLOCK_DATA) != USB_WRITE_OK || Write_USB_Data(data, size) != USB_WRITE_OK) {
        SetErrorText("%s", kTextDataTx);
        return 0;
    }
    if (crcCheck) {
        const uint32_t crc = CalcBlockCrc(data, size);
        if (WriteWord(CMD_GET_CRC) != USB_WRITE_OK) {
            SetErrorText("%s", kTextWriteFailed);
            return 0;
        }
        uint32_t targetCrc = 0;
        // A lost reply would otherwise be compared as whatever the variable held.
        if (ReadWord(targetCrc) != USB_READ_OK) {
            SetErrorText("%s", kTextReadFailed);
            return 0;
        }
        if (targetCrc != crc) {
            SetErrorText("%s", kTextCrcFailure);
            return 0;
        }
    }
    return 1;
}

int USBComms::MoveBlocks(uint32_t address, uint32_t length, ProgressSink* progress,
                         int (USBComms::*fullBlockAck)(), const BlockMove& move) {
    const uint32_t fullBlocks = length / LINK_BLOCK_SIZE;
    const uint32_t lastBlockSize = length % LINK_BLOCK_SIZE;
    uint32_t offset = 0;
    for (uint32_t i = 0; i < fullBlocks; ++i) {
        // Read and cleared in one step, so that a request made meanwhile is not lost.
        if (m_Abort.exchange(0))
            return 0;
        WriteWord(CMD_ADDRESS);
        WriteWord(address + offset);
        if (!(this->*fullBlockAck)())
            return 0;
        if (!move(offset, LINK_BLOCK_SIZE))
            return 0;
        offset += LINK_BLOCK_SIZE;
        ProgressControl(progress, i, PROGRESS_POS);
    }
    if (lastBlockSize) {
        WriteWord(CMD_ADDRESS);
        WriteWord(address + offset);
        WriteWord(CMD_BLOCK_SIZE);
        WriteWord(lastBlockSize);
        if (!WaitForAck())
            return 0;
        if (!move(offset, lastBlockSize))
            return 0;
        ProgressControl(progress, fullBlocks + 1, PROGRESS_POS);
    }
    return WaitForAck();
}

uint32_t USBComms::BlockCount(uint32_t length) {
    return length / LINK_BLOCK_SIZE + (length % LINK_BLOCK_SIZE ? 1 : 0);
}

int USBComms::SendData(uint32_t address, uint32_t length, const uint8_t* data,
                       ProgressSink* progress, int crcCheck) {
    ProgressControl(progress, BlockCount(length), PROGRESS_RANGE);
    ProgressControl(progress, 0, PROGRESS_POS);
    WriteWord(CMD_TOTAL_LENGTH);
    WriteWord(length);
    WriteWord(CMD_BLOCK_SIZE);
    WriteWord(LINK_BLOCK_SIZE);
    return MoveBlocks(
        address, length, progress, &USBComms::WaitForBlockAck,
        [&](uint32_t offset, uint32_t size) { return SendBlock(data + offset, size, crcCheck); });
}

int USBComms::ReadBlock(uint8_t* buffer, uint32_t size) {
    WriteWord(CMD_READ_BLOCK);
    if (Read_USB_Data(buffer, size) != USB_READ_OK) {
        SetErrorText("%s", kTextDataTx);
        return 0;
    }
    return 1;
}

int USBComms::GetData(uint32_t address, uint32_t length, uint8_t* buffer, ProgressSink* progress) {
    ProgressControl(progress, BlockCount(length), PROGRESS_RANGE);
    WriteWord(CMD_BLOCK_SIZE);
    WriteWord(LINK_BLOCK_SIZE);
    return MoveBlocks(
        address, length, progress, &USBComms::WaitForAck,
        [&](uint32_t offset, uint32_t size) { return ReadBlock(buffer + offset, size); });
}

int USBComms::Go(uint32_t address) {
    // A start that never reached the device started nothing: this is a failure, not a 1.
    if (WriteWord(CMD_ADDRESS) != USB_WRITE_OK || WriteWord(address) != USB_WRITE_OK) {
        SetErrorText("%s", kTextWriteFailed);
        return 0;
    }
    if (!WaitForAck())
        return 0;
    if (WriteWord(CMD_RUN) != USB_WRITE_OK) {
        SetErrorText("%s", kTextWriteFailed);
        return 0;
    }
    return 1;
}

int USBComms::SetRAMType(uint32_t type) {
    WriteWord(CMD_RAM_TYPE);
    if (WriteWord(type) != USB_WRITE_OK) {
        SetErrorText("%s", kTextDataTx);
        return 0;
    }
    return WaitForAck();
}

int USBComms::SendDataTest(uint32_t, uint32_t, const uint8_t* data) {
    const uint32_t result = Write_USB_Data(data, LINK_BLOCK_SIZE);
    if (result == USB_WRITE_OK) {
        SetErrorText(kTextTestBlockSent, LINK_BLOCK_SIZE);
        return 1;
    }
    SetErrorText("Error ,pdata : %" PRIxPTR " ,sub_size %d ,Ret : %x",
                 reinterpret_cast<uintptr_t>(data), static_cast<int>(LINK_BLOCK_SIZE), result);
    return 0;
}

void USBComms::ProgressControl(ProgressSink* progress, uint32_t value, ProgressRequest request) {
    if (!progress)
        return;
    if (request == PROGRESS_RANGE)
        progress->SetRange(value);
    else
        progress->SetPos(value);
}
