#include "TftpWire.h"

#include <cstring>

namespace {

void PutWord(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v & 0xFF));
}

void PutText(std::vector<uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text) + 1);
}

} // namespace

std::vector<uint8_t> TftpWriteRequest() {
    std::vector<uint8_t> out;
    PutWord(out, kTftpWriteRequest);
    PutText(out, "doc.bin");
    PutText(out, "octet");
    return out;
}

std::vector<uint8_t> TftpDataDatagram(uint32_t block, const uint8_t* bytes, size_t length) {
    std::vector<uint8_t> out;
    out.reserve(4 + length);
    PutWord(out, kTftpData);
    PutWord(out, static_cast<uint16_t>(block & 0xFFFF));
    out.insert(out.end(), bytes, bytes + length);
    return out;
}

bool IsTftpAckOf(const uint8_t* datagram, size_t length, uint32_t block) {
    return length == 4 && datagram[0] == 0 && datagram[1] == kTftpAck &&
           datagram[2] == ((block >> 8) & 0xFF) && datagram[3] == (block & 0xFF);
}

bool ParseTftpError(const uint8_t* datagram, size_t length, uint16_t& code, std::string& message) {
    if (length < 4 || datagram[0] != 0 || datagram[1] != kTftpError)
        return false;
    code = static_cast<uint16_t>(datagram[2] << 8 | datagram[3]);
    size_t end = 4;
    while (end < length && datagram[end])
        ++end;
    message.assign(reinterpret_cast<const char*>(datagram + 4), end - 4);
    return true;
}
