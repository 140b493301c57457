#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BytePipe.h"
#include "LinkWords.h"

// The name of a protocol word, or null for a value that is not one.
inline const char* LinkWordName(uint32_t word) {
    switch (word) {
    case WORD_ACK:
        return "WORD_ACK";
    case CMD_TOTAL_LENGTH:
        return "CMD_TOTAL_LENGTH";
    case CMD_BLOCK_SIZE:
        return "CMD_BLOCK_SIZE";
    case CMD_KEY_LENGTH:
        return "CMD_KEY_LENGTH";
    case CMD_KEY_DATA:
        return "CMD_KEY_DATA";
    case REPLY_KEY_OK:
        return "REPLY_KEY_OK";
    case REPLY_KEY_OK_ALT:
        return "REPLY_KEY_OK_ALT";
    case CMD_VERSION_LENGTH:
        return "CMD_VERSION_LENGTH";
    case CMD_VERSION_DATA:
        return "CMD_VERSION_DATA";
    case REPLY_VERSION_OK:
        return "REPLY_VERSION_OK";
    case CMD_ADDRESS:
        return "CMD_ADDRESS";
    case CMD_BLOCK_DATA:
        return "CMD_BLOCK_DATA";
    case CMD_READ_BLOCK:
        return "CMD_READ_BLOCK";
    case CMD_GET_CRC:
        return "CMD_GET_CRC";
    case CMD_RUN:
        return "CMD_RUN";
    case CMD_RAM_TYPE:
        return "CMD_RAM_TYPE";
    case MSG_TEXT:
        return "MSG_TEXT";
    case MSG_TEXT_LENGTH:
        return "MSG_TEXT_LENGTH";
    case MSG_PROGRESS_POS:
        return "MSG_PROGRESS_POS";
    case MSG_PROGRESS_RANGE:
        return "MSG_PROGRESS_RANGE";
    case MSG_FIRMWARE_ERROR:
        return "MSG_FIRMWARE_ERROR";
    case MSG_FLASH_MODE:
        return "MSG_FLASH_MODE";
    case MSG_FILE_KIND_0:
        return "MSG_FILE_KIND_0";
    case MSG_LENGTH:
        return "MSG_LENGTH";
    case MSG_REQUEST_FILE_0:
        return "MSG_REQUEST_FILE_0";
    case MSG_READY:
        return "MSG_READY";
    case MSG_REQUEST_FILE_1:
        return "MSG_REQUEST_FILE_1";
    case MSG_FILE_KIND_1:
        return "MSG_FILE_KIND_1";
    case MSG_REQUEST_FLASH_SIZE:
        return "MSG_REQUEST_FLASH_SIZE";
    case MSG_UPLOAD_BEGIN:
        return "MSG_UPLOAD_BEGIN";
    case MSG_UPLOAD_CHUNK:
        return "MSG_UPLOAD_CHUNK";
    case MSG_STORE_FILE:
        return "MSG_STORE_FILE";
    default:
        return nullptr;
    }
}

// A byte pipe that passes everything to another one and keeps a record of each call, so that
// a test can read back the exact exchange as a transcript.
class RecordingPipe : public BytePipe {
public:
    struct Call {
        bool write;
        std::vector<uint8_t> bytes; // what was written, or what a successful read brought
        bool ok;
    };

    explicit RecordingPipe(BytePipe& inner) : inner_(inner) {}

    DeviceHandle Open() override { return inner_.Open(); }
    void Close() override { inner_.Close(); }
    bool WriteAll(const uint8_t* data, uint32_t length) override {
        const bool ok = inner_.WriteAll(data, length);
        calls_.push_back({true, std::vector<uint8_t>(data, data + length), ok});
        return ok;
    }
    bool ReadAll(uint8_t* data, uint32_t length) override {
        const bool ok = inner_.ReadAll(data, length);
        calls_.push_back(
            {false,
             ok ? std::vector<uint8_t>(data, data + length) : std::vector<uint8_t>(length, 0), ok});
        return ok;
    }

    void SetSilenceLimit(uint32_t milliseconds) override { inner_.SetSilenceLimit(milliseconds); }

    const std::vector<Call>& Calls() const { return calls_; }
    void Clear() { calls_.clear(); }

    // One line per step, in order: "> " for the host's writes, "< " for its reads. A 4-byte
    // call is a word, shown by name or in hex; consecutive longer calls in one direction (the
    // device layer's pieces of one block) are one "> 65536 bytes" line; a failed call ends
    // with " FAILED". `name` gives a word's name, or null to show it in hex.
    using WordNamer = const char* (*)(uint32_t);
    std::vector<std::string> Lines(WordNamer name = LinkWordName) const {
        std::vector<std::string> lines;
        uint64_t run = 0;
        bool runWrite = false;
        auto flush = [&] {
            if (run)
                lines.push_back(std::string(runWrite ? "> " : "< ") + std::to_string(run) +
                                " bytes");
            run = 0;
        };
        for (const Call& c : calls_) {
            if (c.bytes.size() != 4 && c.ok) {
                if (run && runWrite != c.write)
                    flush();
                run += c.bytes.size();
                runWrite = c.write;
                // A zero-byte call is the device layer's empty last piece: it adds nothing.
                continue;
            }
            flush();
            std::string line = c.write ? "> " : "< ";
            if (c.bytes.size() == 4) {
                const uint32_t word = GetWordLE(c.bytes.data());
                const char* wordName = name(word);
                line += wordName ? wordName : Hex(word);
            } else {
                line += std::to_string(c.bytes.size()) + " bytes";
            }
            if (!c.ok)
                line += " FAILED";
            lines.push_back(line);
        }
        flush();
        return lines;
    }

    static std::string Hex(uint32_t word) {
        static const char digits[] = "0123456789ABCDEF";
        std::string s = "0x";
        for (int shift = 28; shift >= 0; shift -= 4)
            s += digits[(word >> shift) & 0xF];
        return s;
    }

private:
    BytePipe& inner_;
    std::vector<Call> calls_;
};
