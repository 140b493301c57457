#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// How the virtual boot loader behaves: what it holds, how it answers, and the faults it plays.
// A default-constructed script is a healthy handset that accepts every key and version.

enum class FlashPartition { IPL = 0, OS = 1, CP = 2 };
constexpr int kFlashPartitions = 3;

using Version = std::array<uint8_t, 6>;

enum class KeyReply { Accept, AcceptAlt, Refuse };

// How the device says it is ready for a flash mode. NotReady sends the readiness word alone,
// which no host takes for readiness: it is how a handset refuses to enter a flash mode.
enum class Readiness { MsgReady, AckAndWord, NotReady };

// Moments of the exchange at which a fault can strike: the nth occurrence of one of them.
enum class DeviceEvent {
    Key,            // the key has arrived; the reply is not yet sent
    Readiness,      // the device is about to say it is ready
    FlashMode,      // a flash mode word has arrived
    OfferedVersion, // a version has arrived; the reply is not yet sent
    AckQuery,       // a WORD_ACK query has arrived; the reply is not yet sent
    Block,          // a block's data has begun to arrive: half of it is taken
    DataWord,       // a data word has arrived
    Stream,         // the message stream is about to send its nth item
};

struct EventPoint {
    DeviceEvent event = DeviceEvent::Key;
    uint32_t nth = 0; // 1-based; 0 never strikes
};

// One item of the device's message stream after the closing data word.
struct StreamItem {
    enum Kind {
        Text,             // MSG_TEXT_LENGTH, its length, MSG_TEXT, the bytes of `text`
        ProgressRange,    // MSG_PROGRESS_RANGE, value
        ProgressPos,      // MSG_PROGRESS_POS, value
        RequestFile0,     // MSG_REQUEST_FILE_0, then the host's answer is awaited (bounded)
        RequestFile1,     // MSG_REQUEST_FILE_1, likewise
        RequestFlashSize, // MSG_REQUEST_FLASH_SIZE, likewise
        Upload,           // MSG_UPLOAD_BEGIN, size of `bytes`, then `value` chunks of them
        StoreFile,        // MSG_LENGTH, size of `bytes`, MSG_STORE_FILE, the bytes
        Word,             // one raw word: for streams that break the protocol
        Bytes,            // raw bytes, likewise
        Ack,              // WORD_ACK: the end of a successful update
        FirmwareError,    // MSG_FIRMWARE_ERROR, value: the end of a failed one
        PullCable,        // the cable is pulled here
    };

    Kind kind = Ack;
    uint32_t value = 0;
    std::string text;
    std::vector<uint8_t> bytes;

    static StreamItem Of(Kind kind, uint32_t value = 0) {
        StreamItem item;
        item.kind = kind;
        item.value = value;
        return item;
    }
    static StreamItem TextOf(const std::string& text) {
        StreamItem item = Of(Text);
        item.text = text;
        return item;
    }
    static StreamItem UploadOf(std::vector<uint8_t> bytes, uint32_t chunks) {
        StreamItem item = Of(Upload, chunks);
        item.bytes = std::move(bytes);
        return item;
    }
    static StreamItem StoreOf(std::vector<uint8_t> bytes) {
        StreamItem item = Of(StoreFile);
        item.bytes = std::move(bytes);
        return item;
    }
    static StreamItem BytesOf(std::vector<uint8_t> bytes) {
        StreamItem item = Of(Bytes);
        item.bytes = std::move(bytes);
        return item;
    }
};

struct BootLoaderScript {
    // What the handset holds: a version older than the held one is refused.
    Version held[kFlashPartitions] = {};
    KeyReply keyReply = KeyReply::Accept;

    Readiness readiness = Readiness::MsgReady;
    uint32_t readinessWord = 0x00000001; // the word after WORD_ACK, or the word of NotReady

    // Handshakes are numbered from 1 in the order they end; 0 means every handshake.
    // The device answers a query other than with WORD_ACK until the ackOnQuery-th one.
    uint32_t ackOnQuery = 1;
    uint32_t ackOnQueryHandshake = 0;
    // The acknowledgement of one handshake comes late: silently after lateAckMs, or (busy)
    // with other words to every query until lateAckMs have passed.
    uint32_t lateAckMs = 0;
    uint32_t lateAckHandshake = 1;
    bool lateAckBusy = false;

    // The nth CRC query (from 1; 0 never) is answered with a wrong CRC.
    uint32_t wrongCrcAt = 0;

    // The message stream after the closing data word. Empty: the device reports flashing
    // in a few progress steps and ends with WORD_ACK, or with a firmware error when what it
    // received does not add up. A stream that does not end itself gets a WORD_ACK.
    std::vector<StreamItem> stream;
    // How long the device waits for the host's answer to a file request. A host answers at
    // once or not at all (it sends nothing for a file it cannot open), so this only bounds the
    // cost of a request that stays unanswered.
    uint32_t answerWaitMs = 1000;

    // The device stays silent at this moment for silentMs, then goes on as if nothing happened:
    // a slow handset, or with a long enough silence a frozen one. Silences end early when the
    // device is destroyed.
    EventPoint silentAt;
    uint32_t silentMs = 0;

    // The cable is pulled at this moment, or once the host has sent this many bytes.
    EventPoint pullAt;
    uint64_t pullAfterHostBytes = 0;

    // The largest RAM load the device takes; bytes beyond it are dropped and reported.
    uint32_t ramBytes = 256u << 20;

    // The speed of the device's link in bytes per second, both directions together; 0 is as
    // fast as the line allows. Whoever gives the device its line paces it (PacedLine).
    uint32_t lineRate = 0;
};

// Firmware error codes the device reports at the end of the stream when what it was sent
// does not add up.
constexpr uint32_t kErrorSizesMismatch = 1;  // OS+CP data differs from the packed sizes word
constexpr uint32_t kErrorBlockOutside = 2;   // a block fell outside its announced load
constexpr uint32_t kErrorLoadIncomplete = 3; // the flash mode closed on an unfinished load
