#pragma once

#include <cstdint>

// Every word of the boot-loader protocol, shared by the host side and the virtual boot loader.
// Words travel as 32-bit little-endian values.

constexpr uint32_t WORD_ACK = 0xFF555580;

constexpr uint32_t CMD_TOTAL_LENGTH = 0xAAFF5501;
constexpr uint32_t CMD_BLOCK_SIZE = 0xAAFF5502;
constexpr uint32_t CMD_KEY_LENGTH = 0xAAFF5503;
constexpr uint32_t CMD_KEY_DATA = 0xAAFF5504;
constexpr uint32_t REPLY_KEY_OK = 0xAAFF5505;
constexpr uint32_t REPLY_KEY_OK_ALT = 0xAAFF5507;
constexpr uint32_t CMD_VERSION_LENGTH = 0xAAFF5513;
constexpr uint32_t CMD_VERSION_DATA = 0xAAFF5514;
constexpr uint32_t REPLY_VERSION_OK = 0xAAFF5515;
// The device's answers that mean "no": to a key or version it refuses, and to a WORD_ACK
// query while it is not ready. The host takes any word but the expected one as a refusal.
constexpr uint32_t REPLY_REFUSED = 0xAAFF5506;
constexpr uint32_t REPLY_NOT_READY = 0x00000000;
constexpr uint32_t CMD_ADDRESS = 0x55AAFF08;
constexpr uint32_t CMD_BLOCK_DATA = 0xFFAA5501;
constexpr uint32_t CMD_READ_BLOCK = 0xAA55FF04;
constexpr uint32_t CMD_GET_CRC = 0xAA55FF08;
constexpr uint32_t CMD_RUN = 0xFF55AA20;
constexpr uint32_t CMD_RAM_TYPE = 0xFFFFAA00;

constexpr uint32_t MSG_TEXT = 0xAAAA0001;
constexpr uint32_t MSG_TEXT_LENGTH = 0xAAAA0002;
constexpr uint32_t MSG_PROGRESS_POS = 0xAAAA0003;
constexpr uint32_t MSG_PROGRESS_RANGE = 0xAAAA0004;
constexpr uint32_t MSG_FIRMWARE_ERROR = 0xAAAA0005;
constexpr uint32_t MSG_FLASH_MODE = 0xAAAA0006;
constexpr uint32_t MSG_FILE_KIND_0 = 0xAAAA0007;
constexpr uint32_t MSG_LENGTH = 0xAAAA0008;
constexpr uint32_t MSG_REQUEST_FILE_0 = 0xAAAA0009;
constexpr uint32_t MSG_READY = 0xAAAA000A;
constexpr uint32_t MSG_REQUEST_FILE_1 = 0xAAAA000B;
constexpr uint32_t MSG_FILE_KIND_1 = 0xAAAA000C;
constexpr uint32_t MSG_REQUEST_FLASH_SIZE = 0xAAAA000D;
constexpr uint32_t MSG_UPLOAD_BEGIN = 0xAAAA000E;
constexpr uint32_t MSG_UPLOAD_CHUNK = 0xAAAA000F;
constexpr uint32_t MSG_STORE_FILE = 0xAAAA0010;

// The message loop's "nothing read yet" value: it matches no handler.
constexpr uint32_t MSG_NONE = 0xFF0000FF;

// Transfers move memory in blocks of this size; the device layer splits them into pieces.
constexpr uint32_t LINK_BLOCK_SIZE = 65536;
constexpr uint32_t USB_PIECE_SIZE = 12288;

// Flash mode and data words that the update sequencer passes through the link.
constexpr uint32_t FLASH_MODE_BEFORE_IPL = 0xFFFF00BF;
constexpr uint32_t FLASH_MODE_IPL = 0xFFFF0008;
constexpr uint32_t FLASH_MODE_OS = 0xFFFF000B;
constexpr uint32_t FLASH_MODE_CP = 0xFFFF000C;
constexpr uint32_t FLASH_MODE_OSCP = 0xFFFF00BC;
constexpr uint32_t DATA_WORD_CLOSE = 0xFFFF2001;
constexpr uint32_t DATA_WORD_SIZES_FOLLOW = 0xFFFF1001;
constexpr uint32_t RAM_LOAD_ADDRESS = 0x10100000;

// Packs a word for the wire and reads one back, independent of the host's byte order.
inline void PutWordLE(uint8_t* out, uint32_t word) {
    out[0] = static_cast<uint8_t>(word);
    out[1] = static_cast<uint8_t>(word >> 8);
    out[2] = static_cast<uint8_t>(word >> 16);
    out[3] = static_cast<uint8_t>(word >> 24);
}

inline uint32_t GetWordLE(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}
