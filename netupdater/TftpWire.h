#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The TFTP datagrams the download client sends and the ones it expects back, big-endian as
// on the wire. Only writes of one fixed remote file in octet mode are ever made.

constexpr uint16_t kTftpWriteRequest = 2;
constexpr uint16_t kTftpData = 3;
constexpr uint16_t kTftpAck = 4;
constexpr uint16_t kTftpError = 5;

constexpr uint16_t kTftpServerPort = 69;
constexpr uint32_t kTftpBlockSize = 512;
// A data datagram of a full block, and so the largest datagram worth receiving.
constexpr size_t kTftpMaxDatagram = 4 + kTftpBlockSize;

// The write request of "doc.bin" in "octet" mode.
std::vector<uint8_t> TftpWriteRequest();

// A data datagram numbered `block` modulo 65536.
std::vector<uint8_t> TftpDataDatagram(uint32_t block, const uint8_t* bytes, size_t length);

// True when the datagram is exactly an acknowledgement of `block` modulo 65536.
bool IsTftpAckOf(const uint8_t* datagram, size_t length, uint32_t block);

// True when the datagram is an error datagram: opcode 5 and a 2-byte error code, then the
// message, which ends at the first zero byte or with the datagram. Fills in both.
bool ParseTftpError(const uint8_t* datagram, size_t length, uint16_t& code, std::string& message);
