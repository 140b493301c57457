#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BootLoaderScript.h"
#include "DeviceLine.h"

// A handset's boot loader in software: it answers the flash link word for word, keeps what it
// was sent, and plays the faults its script asks for.
//
// In-process use:
//
//     MemoryWire wire;
//     VirtualBootLoader device(script);
//     device.Start(wire.DeviceEnd());
//     CVug_CommsDLL link;
//     link.SetPipe(&wire.HostEnd());
//     ... OpenUsbSyncDriver, LoadKey, ..., MessageHandler, CloseUSBSyncDriver ...
//     device.Wait();                       // returns once the host has closed the device
//     device.Flashed(FlashPartition::OS);  // compare with the image
//
// The device thread owns everything it records: read it after Wait. A test that never closes
// the device can leave the rest to the destructor, which pulls the cable and joins.
class VirtualBootLoader {
public:
    enum class End {
        HostHungUp,  // the host closed the device (or never sent anything more)
        CablePulled, // the script pulled the cable
        UpdateEnded, // the message stream ended (only when Serve was asked to stop there)
    };

    // What the host sent for a file request of the message stream.
    struct HostAnswer {
        uint32_t request;      // MSG_REQUEST_FILE_0, MSG_REQUEST_FILE_1 or ..._FLASH_SIZE
        bool answered = false; // false: nothing came within the script's answerWaitMs
        uint32_t length = 0;   // the length word the host sent
        uint32_t kindWord = 0; // MSG_FILE_KIND_0 / _1 (file requests only)
        std::vector<uint8_t> bytes;
    };

    explicit VirtualBootLoader(BootLoaderScript script = BootLoaderScript());
    ~VirtualBootLoader();
    VirtualBootLoader(const VirtualBootLoader&) = delete;
    VirtualBootLoader& operator=(const VirtualBootLoader&) = delete;

    // Serves the host on `line` until it hangs up or the cable is pulled; with
    // stopAfterUpdate, also returns once a message stream has ended.
    End Serve(DeviceLine& line, bool stopAfterUpdate = false);

    // Serve on a thread of its own. Wait joins it; the destructor pulls the cable first if
    // the thread still runs, so a test that fails half-way never hangs.
    void Start(DeviceLine& line, bool stopAfterUpdate = false);
    End Wait();

    // What the device was sent and did. Read them after Wait (or between Serve calls).
    bool HasFlashed(FlashPartition p) const { return flashed_[static_cast<int>(p)].present; }
    const std::vector<uint8_t>& Flashed(FlashPartition p) const;
    const Version& Held(FlashPartition p) const { return script_.held[static_cast<int>(p)]; }
    // Every word the device read as a word: commands, their arguments and data words, without
    // the key, version and block bytes that followed some of them.
    const std::vector<uint32_t>& ReceivedWords() const { return words_; }
    const std::vector<uint8_t>& Key() const { return key_; }
    const std::vector<uint32_t>& FlashModes() const { return flashModes_; }
    const std::vector<uint32_t>& DataWords() const { return dataWords_; }
    const std::vector<uint32_t>& RunAddresses() const { return runAddresses_; }
    const std::vector<uint32_t>& RamTypes() const { return ramTypes_; }
    const std::vector<HostAnswer>& HostAnswers() const { return answers_; }
    // Completed message streams, and how each ended (WORD_ACK, or the firmware error code).
    uint32_t UpdatesEnded() const { return updatesEnded_; }
    bool LastUpdateFailed() const { return lastUpdateFailed_; }
    uint32_t LastErrorCode() const { return lastErrorCode_; }
    // Readable notes of what went wrong on the host's side of the protocol, if anything.
    const std::vector<std::string>& Problems() const { return problems_; }
    uint64_t BytesFromHost() const { return hostBytes_; }

    // Memory as GetData reads it: the latest load where it covers the address, else erased
    // (0xFF).
    void ReadMemory(uint32_t address, uint8_t* out, uint32_t length) const;

    // Makes the device ready for a new connection: the protocol state goes, what it holds
    // and what it was sent stay.
    void ResetConnection();

private:
    using Bytes = std::shared_ptr<std::vector<uint8_t>>;
    // A RAM load in progress. Its bytes land in ram_, at their offset from its first block.
    struct Load {
        uint32_t total = 0;
        uint32_t base = 0;
        bool hasBase = false;
        uint64_t received = 0;
    };
    struct Partition {
        bool present = false;
        Bytes bytes;
    };
    // Thrown by the line helpers when the host is gone or the cable is pulled, and caught in
    // Serve: every exchange simply stops where it was, as a real device's would.
    struct LineGone {};

    // Serves the host on line_; what Serve and the thread of Start run.
    End ServeLine(bool stopAfterUpdate);

    // Reading and writing through the line; both throw LineGone when the host is gone or the
    // script pulls the cable, which unwinds to Serve.
    void ReadExact(uint8_t* data, uint32_t length);
    uint32_t ReadWord();
    void Discard(uint64_t length);
    void WriteBytes(const uint8_t* data, uint32_t length);
    void WriteWord(uint32_t word);
    // Counts one occurrence of `event`, keeps a silence scripted for it, and says whether the
    // cable is to be pulled there.
    bool Hits(DeviceEvent event);
    void Strike(DeviceEvent event);
    void StaySilent();
    [[noreturn]] void Pull();

    // The operations, one per host command.
    void Dispatch(uint32_t word);
    void OnAckQuery();
    void OnKey();
    void OnVersion();
    void OnFlashMode();
    void OnTotalLength();
    void OnBlockData();
    void OnCrcQuery();
    void OnReadBlock();
    void OnDataWord(uint32_t word);
    void SendReadiness();
    void CloseSession();
    void RunMessageStream();
    void SendStreamItem(const StreamItem& item);
    void AwaitAnswer(uint32_t request);
    std::vector<StreamItem> DefaultStream();
    void FinishLoad();
    void Problem(const std::string& text);

    BootLoaderScript script_;
    DeviceLine* line_ = nullptr;
    std::thread thread_;
    End threadEnd_ = End::HostHungUp;
    bool stopAfterUpdate_ = false;
    bool updateEnded_ = false;
    bool pulled_ = false;
    // Ends a scripted silence early when the device goes.
    std::mutex silenceMutex_;
    std::condition_variable silenceEnd_;
    bool stopping_ = false;

    // Counters of the script's events.
    uint32_t eventCount_[8] = {};
    uint32_t queriesInHandshake_ = 0;
    uint32_t handshakesEnded_ = 0;
    uint32_t crcQueries_ = 0;
    uint64_t hostBytes_ = 0;
    bool lateAckClockRunning_ = false;
    std::chrono::steady_clock::time_point lateAckStart_;

    // The protocol state of the connection.
    uint32_t blockSize_ = 65536;
    uint32_t address_ = 0;
    bool addressPending_ = false;
    std::unique_ptr<Load> load_;
    std::vector<Bytes> sessionLoads_; // finished loads of the flash mode, in order
    uint32_t lastBlockOffset_ = 0;
    uint32_t lastBlockLength_ = 0;
    bool sessionOpen_ = false;
    uint32_t sessionMode_ = 0;
    uint32_t versionsInSession_ = 0;
    Version offered_[kFlashPartitions] = {};
    bool versionOffered_[kFlashPartitions] = {};
    bool sizesFollow_ = false;
    uint32_t packedSizes_ = 0;
    bool hasPackedSizes_ = false;
    uint32_t pendingError_ = 0;

    // What it was sent and keeps.
    Partition flashed_[kFlashPartitions];
    // The handset's RAM: one buffer that every load reuses, as every load of an update goes
    // to the same address. It holds the latest load, at ramBase_, ramExtent_ bytes long.
    std::vector<uint8_t> ram_;
    uint32_t ramBase_ = 0;
    uint32_t ramExtent_ = 0;
    std::vector<uint32_t> words_;
    std::vector<uint8_t> key_;
    std::vector<uint32_t> flashModes_;
    std::vector<uint32_t> dataWords_;
    std::vector<uint32_t> runAddresses_;
    std::vector<uint32_t> ramTypes_;
    std::vector<HostAnswer> answers_;
    std::vector<std::string> problems_;
    uint32_t updatesEnded_ = 0;
    bool lastUpdateFailed_ = false;
    uint32_t lastErrorCode_ = 0;
};
