#pragma once

#include <cstdint>
#include <string>

// The boot loader's words as numbers, written out once for the tests. The link and the virtual
// boot loader share one header of these words, so a mistyped value there would be mistyped on
// both ends of the wire and every exchange would still agree; tests compare with this table.
namespace wire {

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

// The words the update worker passes through the link unchanged.
constexpr uint32_t FLASH_MODE_BEFORE_IPL = 0xFFFF00BF;
constexpr uint32_t FLASH_MODE_IPL = 0xFFFF0008;
constexpr uint32_t FLASH_MODE_OS = 0xFFFF000B;
constexpr uint32_t FLASH_MODE_CP = 0xFFFF000C;
constexpr uint32_t FLASH_MODE_OSCP = 0xFFFF00BC;
constexpr uint32_t DATA_WORD_CLOSE = 0xFFFF2001;
constexpr uint32_t DATA_WORD_SIZES_FOLLOW = 0xFFFF1001;
constexpr uint32_t RAM_LOAD_ADDRESS = 0x10100000;

// What the device layer returns, compared by equality.
constexpr uint32_t USB_OPEN_OK = 0xDEADBEEF;
constexpr uint32_t USB_OPEN_FAILED = 0xFFFFFFFE;
constexpr uint32_t USB_WRITE_OK = 0xFEEDDEAD;
constexpr uint32_t USB_READ_OK = 0xFEEDBEEF;
constexpr uint32_t USB_IO_FAILED = 0xFFFFFFFF;

// A protocol word's name, or null for a value that is none (the worker's words included:
// on the wire they are arguments, shown as numbers).
inline const char* Name(uint32_t word) {
    static const struct {
        uint32_t value;
        const char* name;
    } kNames[] = {
        {WORD_ACK, "WORD_ACK"},
        {CMD_TOTAL_LENGTH, "CMD_TOTAL_LENGTH"},
        {CMD_BLOCK_SIZE, "CMD_BLOCK_SIZE"},
        {CMD_KEY_LENGTH, "CMD_KEY_LENGTH"},
        {CMD_KEY_DATA, "CMD_KEY_DATA"},
        {REPLY_KEY_OK, "REPLY_KEY_OK"},
        {REPLY_KEY_OK_ALT, "REPLY_KEY_OK_ALT"},
        {CMD_VERSION_LENGTH, "CMD_VERSION_LENGTH"},
        {CMD_VERSION_DATA, "CMD_VERSION_DATA"},
        {REPLY_VERSION_OK, "REPLY_VERSION_OK"},
        {CMD_ADDRESS, "CMD_ADDRESS"},
        {CMD_BLOCK_DATA, "CMD_BLOCK_DATA"},
        {CMD_READ_BLOCK, "CMD_READ_BLOCK"},
        {CMD_GET_CRC, "CMD_GET_CRC"},
        {CMD_RUN, "CMD_RUN"},
        {CMD_RAM_TYPE, "CMD_RAM_TYPE"},
        {MSG_TEXT, "MSG_TEXT"},
        {MSG_TEXT_LENGTH, "MSG_TEXT_LENGTH"},
        {MSG_PROGRESS_POS, "MSG_PROGRESS_POS"},
        {MSG_PROGRESS_RANGE, "MSG_PROGRESS_RANGE"},
        {MSG_FIRMWARE_ERROR, "MSG_FIRMWARE_ERROR"},
        {MSG_FLASH_MODE, "MSG_FLASH_MODE"},
        {MSG_FILE_KIND_0, "MSG_FILE_KIND_0"},
        {MSG_LENGTH, "MSG_LENGTH"},
        {MSG_REQUEST_FILE_0, "MSG_REQUEST_FILE_0"},
        {MSG_READY, "MSG_READY"},
        {MSG_REQUEST_FILE_1, "MSG_REQUEST_FILE_1"},
        {MSG_FILE_KIND_1, "MSG_FILE_KIND_1"},
        {MSG_REQUEST_FLASH_SIZE, "MSG_REQUEST_FLASH_SIZE"},
        {MSG_UPLOAD_BEGIN, "MSG_UPLOAD_BEGIN"},
        {MSG_UPLOAD_CHUNK, "MSG_UPLOAD_CHUNK"},
        {MSG_STORE_FILE, "MSG_STORE_FILE"},
    };
    for (const auto& n : kNames)
        if (n.value == word)
            return n.name;
    return nullptr;
}

} // namespace wire
