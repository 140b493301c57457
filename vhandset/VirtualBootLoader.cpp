#include "VirtualBootLoader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Format.h"
#include "HandsetTexts.h"
#include "LinkWords.h"

namespace {

// Keys and versions are short; anything longer is read past and refused.
constexpr uint32_t kKeyMax = 65536;
constexpr uint32_t kVersionSize = 6;
// A file the host sends for a request is kept up to this size.
constexpr uint32_t kAnswerKeepMax = 64u << 20;

bool IsIplMode(uint32_t mode) {
    return mode == FLASH_MODE_BEFORE_IPL || mode == FLASH_MODE_IPL;
}

// Bit by bit, unlike the host's tables, so that the two sides check each other.
uint32_t DeviceCrc(const uint8_t* data, uint32_t length) {
    uint32_t crc = 0xFFFF;
    for (uint32_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

std::string Hex(uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", word);
    return text;
}

} // namespace

VirtualBootLoader::VirtualBootLoader(BootLoaderScript script) : script_(std::move(script)) {}

VirtualBootLoader::~VirtualBootLoader() {
    {
        std::lock_guard<std::mutex> lock(silenceMutex_);
        stopping_ = true;
    }
    silenceEnd_.notify_all();
    if (thread_.joinable()) {
        line_->PullCable();
        thread_.join();
    }
}

const std::vector<uint8_t>& VirtualBootLoader::Flashed(FlashPartition p) const {
    static const std::vector<uint8_t> none;
    const Partition& partition = flashed_[static_cast<int>(p)];
    return partition.bytes ? *partition.bytes : none;
}

void VirtualBootLoader::Start(DeviceLine& line, bool stopAfterUpdate) {
    // Set here, before the thread, and never by it: the destructor reads it while the thread runs.
    line_ = &line;
    thread_ = std::thread([this, stopAfterUpdate] { threadEnd_ = ServeLine(stopAfterUpdate); });
}

VirtualBootLoader::End VirtualBootLoader::Wait() {
    if (thread_.joinable())
        thread_.join();
    return threadEnd_;
}

void VirtualBootLoader::ResetConnection() {
    blockSize_ = LINK_BLOCK_SIZE;
    address_ = 0;
    addressPending_ = false;
    load_.reset();
    sessionLoads_.clear();
    sessionOpen_ = false;
    sessionMode_ = 0;
    versionsInSession_ = 0;
    hasPackedSizes_ = false;
    pendingError_ = 0;
    queriesInHandshake_ = 0;
    lateAckClockRunning_ = false;
    updateEnded_ = false;
}

VirtualBootLoader::End VirtualBootLoader::Serve(DeviceLine& line, bool stopAfterUpdate) {
    line_ = &line;
    return ServeLine(stopAfterUpdate);
}

VirtualBootLoader::End VirtualBootLoader::ServeLine(bool stopAfterUpdate) {
    stopAfterUpdate_ = stopAfterUpdate;
    updateEnded_ = false;
    pulled_ = false;
    try {
        for (;;) {
            Dispatch(ReadWord());
            if (updateEnded_ && stopAfterUpdate_)
                return End::UpdateEnded;
        }
    } catch (const LineGone&) {
        return pulled_ ? End::CablePulled : End::HostHungUp;
    }
}

// ---- the line -------------------------------------------------------------------------------

void VirtualBootLoader::Pull() {
    line_->PullCable();
    pulled_ = true;
    throw LineGone();
}

bool VirtualBootLoader::Hits(DeviceEvent event) {
    const uint32_t count = ++eventCount_[static_cast<int>(event)];
    const auto at = [&](const EventPoint& p) {
        return p.nth != 0 && p.event == event && p.nth == count;
    };
    if (at(script_.silentAt))
        StaySilent();
    return at(script_.pullAt);
}

void VirtualBootLoader::StaySilent() {
    std::unique_lock<std::mutex> lock(silenceMutex_);
    silenceEnd_.wait_for(lock, std::chrono::milliseconds(script_.silentMs),
                         [this] { return stopping_; });
}

void VirtualBootLoader::Strike(DeviceEvent event) {
    if (Hits(event))
        Pull();
}

void VirtualBootLoader::ReadExact(uint8_t* data, uint32_t length) {
    const uint64_t limit = script_.pullAfterHostBytes;
    if (limit && hostBytes_ + length >= limit) {
        const uint32_t allowed = static_cast<uint32_t>(limit - hostBytes_);
        if (!line_->Read(data, allowed))
            throw LineGone();
        hostBytes_ += allowed;
        Pull();
    }
    if (!line_->Read(data, length))
        throw LineGone();
    hostBytes_ += length;
}

uint32_t VirtualBootLoader::ReadWord() {
    uint8_t bytes[4];
    ReadExact(bytes, 4);
    const uint32_t word = GetWordLE(bytes);
    words_.push_back(word);
    return word;
}

void VirtualBootLoader::Discard(uint64_t length) {
    uint8_t sink[4096];
    while (length > 0) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(length, sizeof sink));
        ReadExact(sink, n);
        length -= n;
    }
}

void VirtualBootLoader::WriteBytes(const uint8_t* data, uint32_t length) {
    if (!line_->Write(data, length))
        throw LineGone();
}

void VirtualBootLoader::WriteWord(uint32_t word) {
    uint8_t bytes[4];
    PutWordLE(bytes, word);
    WriteBytes(bytes, 4);
}

void VirtualBootLoader::Problem(const std::string& text) {
    problems_.push_back(text);
}

// ---- the commands ---------------------------------------------------------------------------

void VirtualBootLoader::Dispatch(uint32_t word) {
    // A run of WORD_ACK queries is one handshake; any other word ends it.
    if (word != WORD_ACK) {
        queriesInHandshake_ = 0;
        lateAckClockRunning_ = false;
    }
    switch (word) {
    case WORD_ACK:
        OnAckQuery();
        break;
    case CMD_KEY_LENGTH:
        OnKey();
        break;
    case CMD_VERSION_LENGTH:
        OnVersion();
        break;
    case MSG_FLASH_MODE:
        OnFlashMode();
        break;
    case CMD_TOTAL_LENGTH:
        OnTotalLength();
        break;
    case CMD_BLOCK_SIZE:
        blockSize_ = ReadWord();
        break;
    case CMD_ADDRESS:
        address_ = ReadWord();
        addressPending_ = true;
        break;
    case CMD_BLOCK_DATA:
        OnBlockData();
        break;
    case CMD_GET_CRC:
        OnCrcQuery();
        break;
    case CMD_READ_BLOCK:
        OnReadBlock();
        break;
    case CMD_RUN:
        runAddresses_.push_back(address_);
        addressPending_ = false;
        break;
    case CMD_RAM_TYPE:
        ramTypes_.push_back(ReadWord());
        break;
    case CMD_KEY_DATA:
    case CMD_VERSION_DATA:
        Problem(Format(TXT_DATA_WITHOUT_LENGTH, Hex(word).c_str()));
        break;
    default:
        OnDataWord(word);
        break;
    }
}

void VirtualBootLoader::OnAckQuery() {
    Strike(DeviceEvent::AckQuery);
    ++queriesInHandshake_;
    const uint32_t handshake = handshakesEnded_ + 1;
    bool give = true;
    if (script_.ackOnQuery > 1 &&
        (script_.ackOnQueryHandshake == 0 || script_.ackOnQueryHandshake == handshake) &&
        queriesInHandshake_ < script_.ackOnQuery)
        give = false;
    if (give && script_.lateAckMs &&
        (script_.lateAckHandshake == 0 || script_.lateAckHandshake == handshake)) {
        const auto delay = std::chrono::milliseconds(script_.lateAckMs);
        if (script_.lateAckBusy) {
            if (!lateAckClockRunning_) {
                lateAckClockRunning_ = true;
                lateAckStart_ = std::chrono::steady_clock::now();
            }
            give = std::chrono::steady_clock::now() - lateAckStart_ >= delay;
        } else {
            std::this_thread::sleep_for(delay);
        }
    }
    if (!give) {
        WriteWord(REPLY_NOT_READY);
        return;
    }
    WriteWord(WORD_ACK);
    queriesInHandshake_ = 0;
    lateAckClockRunning_ = false;
    ++handshakesEnded_;
    // The closing query of a load: the device reads in order, so it has taken whatever the
    // host sent before it. A load that brought less than it announced is still acknowledged,
    // so that no host is kept asking, and reported when the flash mode closes.
    if (load_ && !addressPending_ && load_->received >= load_->total)
        FinishLoad();
}

void VirtualBootLoader::OnKey() {
    const uint32_t length = ReadWord();
    const uint32_t next = ReadWord();
    if (next != CMD_KEY_DATA) {
        Problem(Format(TXT_KEY_NOT_FOLLOWED, Hex(next).c_str()));
        Dispatch(next);
        return;
    }
    const uint32_t kept = std::min(length, kKeyMax);
    key_.assign(kept, 0);
    ReadExact(key_.data(), kept);
    Discard(length - kept);
    Strike(DeviceEvent::Key);
    if (script_.keyReply == KeyReply::Refuse || length > kKeyMax) {
        WriteWord(REPLY_REFUSED);
        return;
    }
    WriteWord(script_.keyReply == KeyReply::AcceptAlt ? REPLY_KEY_OK_ALT : REPLY_KEY_OK);
    SendReadiness();
}

void VirtualBootLoader::SendReadiness() {
    Strike(DeviceEvent::Readiness);
    if (script_.readiness == Readiness::MsgReady) {
        WriteWord(MSG_READY);
    } else if (script_.readiness == Readiness::NotReady) {
        WriteWord(script_.readinessWord);
    } else {
        WriteWord(WORD_ACK);
        WriteWord(script_.readinessWord);
    }
}

void VirtualBootLoader::OnVersion() {
    const uint32_t length = ReadWord();
    const uint32_t next = ReadWord();
    if (next != CMD_VERSION_DATA) {
        Problem(Format(TXT_VERSION_NOT_FOLLOWED, Hex(next).c_str()));
        Dispatch(next);
        return;
    }
    Version offered = {};
    const uint32_t kept = std::min(length, kVersionSize);
    ReadExact(offered.data(), kept);
    Discard(length - kept);
    Strike(DeviceEvent::OfferedVersion);

    int partition = -1;
    if (sessionOpen_) {
        if (IsIplMode(sessionMode_))
            partition = static_cast<int>(FlashPartition::IPL);
        else if (sessionMode_ == FLASH_MODE_OS)
            partition = static_cast<int>(FlashPartition::OS);
        else if (sessionMode_ == FLASH_MODE_CP)
            partition = static_cast<int>(FlashPartition::CP);
        else if (sessionMode_ == FLASH_MODE_OSCP)
            partition =
                static_cast<int>(versionsInSession_ == 0 ? FlashPartition::OS : FlashPartition::CP);
    }
    ++versionsInSession_;
    if (partition < 0) {
        Problem(TXT_VERSION_OUTSIDE_MODE);
        WriteWord(REPLY_REFUSED);
        return;
    }
    // A refused version is still noted: a host whose key was accepted with the second word
    // may go on and flash, and the handset then holds what it was given.
    offered_[partition] = offered;
    versionOffered_[partition] = true;
    const bool newer = !std::lexicographical_compare(offered.begin(), offered.end(),
                                                     script_.held[partition].begin(),
                                                     script_.held[partition].end());
    WriteWord(length == kVersionSize && newer ? REPLY_VERSION_OK : REPLY_REFUSED);
}

void VirtualBootLoader::OnFlashMode() {
    const uint32_t mode = ReadWord();
    Strike(DeviceEvent::FlashMode);
    flashModes_.push_back(mode);
    if (!IsIplMode(mode) && mode != FLASH_MODE_OS && mode != FLASH_MODE_CP &&
        mode != FLASH_MODE_OSCP)
        Problem(Format(TXT_UNKNOWN_FLASH_MODE, Hex(mode).c_str()));
    sessionOpen_ = true;
    sessionMode_ = mode;
    versionsInSession_ = 0;
    sessionLoads_.clear();
    hasPackedSizes_ = false;
    for (bool& offered : versionOffered_)
        offered = false;
}

void VirtualBootLoader::OnTotalLength() {
    const uint32_t total = ReadWord();
    // A host may start a load again after one that failed; the unfinished one is dropped.
    if (load_ && load_->received < load_->total)
        Problem(
            Format(TXT_LOAD_LEFT, static_cast<unsigned long long>(load_->received), load_->total));
    load_.reset(new Load);
    load_->total = total;
    // RAM only grows, so a second update of the same size touches no fresh memory.
    const uint32_t room = std::min(total, script_.ramBytes);
    if (ram_.size() < room)
        ram_.resize(room);
    ramExtent_ = 0;
}

void VirtualBootLoader::OnBlockData() {
    const uint32_t size = blockSize_;
    if (Hits(DeviceEvent::Block)) {
        Discard(size / 2);
        Pull();
    }
    if (!addressPending_)
        Problem(TXT_BLOCK_WITHOUT_ADDRESS);
    addressPending_ = false;
    if (!load_) {
        Problem(TXT_BLOCK_OUTSIDE_LOAD);
        Discard(size);
        return;
    }
    if (!load_->hasBase) {
        load_->base = address_;
        load_->hasBase = true;
        ramBase_ = address_;
    }
    const uint64_t offset = static_cast<uint64_t>(address_) - load_->base;
    if (address_ < load_->base || offset + size > std::min<uint64_t>(load_->total, ram_.size())) {
        Problem(Format(TXT_BLOCK_AT_OUTSIDE, Hex(address_).c_str()));
        pendingError_ = kErrorBlockOutside;
        Discard(size);
        return;
    }
    ReadExact(ram_.data() + offset, size);
    load_->received += size;
    ramExtent_ = std::max<uint32_t>(ramExtent_, static_cast<uint32_t>(offset + size));
    lastBlockOffset_ = static_cast<uint32_t>(offset);
    lastBlockLength_ = size;
}

void VirtualBootLoader::OnCrcQuery() {
    uint32_t crc = 0xFFFF;
    if (lastBlockOffset_ + uint64_t(lastBlockLength_) <= ram_.size())
        crc = DeviceCrc(ram_.data() + lastBlockOffset_, lastBlockLength_);
    if (++crcQueries_ == script_.wrongCrcAt)
        crc ^= 0x5A5A;
    WriteWord(crc);
}

void VirtualBootLoader::OnReadBlock() {
    addressPending_ = false;
    std::vector<uint8_t> piece;
    uint64_t left = blockSize_;
    uint32_t address = address_;
    while (left > 0) {
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, LINK_BLOCK_SIZE));
        piece.resize(n);
        ReadMemory(address, piece.data(), n);
        WriteBytes(piece.data(), n);
        address += n;
        left -= n;
    }
}

void VirtualBootLoader::ReadMemory(uint32_t address, uint8_t* out, uint32_t length) const {
    std::memset(out, 0xFF, length);
    const uint64_t from = std::max<uint64_t>(address, ramBase_);
    const uint64_t to =
        std::min<uint64_t>(uint64_t(address) + length, uint64_t(ramBase_) + ramExtent_);
    if (from < to)
        std::memcpy(out + (from - address), ram_.data() + (from - ramBase_),
                    static_cast<size_t>(to - from));
}

// The load is complete: what it brought is kept for flashing when the flash mode closes, as
// the next load will overwrite the RAM.
void VirtualBootLoader::FinishLoad() {
    const size_t kept = std::min<size_t>(load_->total, ram_.size());
    sessionLoads_.push_back(
        std::make_shared<std::vector<uint8_t>>(ram_.begin(), ram_.begin() + kept));
    load_.reset();
}

void VirtualBootLoader::OnDataWord(uint32_t word) {
    Strike(DeviceEvent::DataWord);
    dataWords_.push_back(word);
    if (word == DATA_WORD_SIZES_FOLLOW) {
        packedSizes_ = ReadWord();
        hasPackedSizes_ = true;
        dataWords_.push_back(packedSizes_);
    } else if (word == DATA_WORD_CLOSE) {
        CloseSession();
    } else {
        Problem(Format(TXT_UNKNOWN_WORD, Hex(word).c_str()));
    }
}

// ---- flashing and the message stream --------------------------------------------------------

void VirtualBootLoader::CloseSession() {
    if (load_) {
        Problem(TXT_CLOSING_TOO_EARLY);
        pendingError_ = kErrorLoadIncomplete;
        load_.reset();
    }
    if (!sessionOpen_) {
        RunMessageStream();
        return;
    }
    sessionOpen_ = false;
    auto commit = [&](FlashPartition which, Bytes bytes) {
        const int p = static_cast<int>(which);
        flashed_[p].present = true;
        flashed_[p].bytes = std::move(bytes);
        if (versionOffered_[p])
            script_.held[p] = offered_[p];
    };
    if (!sessionLoads_.empty()) {
        Bytes all;
        if (sessionLoads_.size() == 1) {
            all = sessionLoads_[0];
        } else {
            all = std::make_shared<std::vector<uint8_t>>();
            for (const Bytes& load : sessionLoads_)
                all->insert(all->end(), load->begin(), load->end());
        }
        if (IsIplMode(sessionMode_)) {
            commit(FlashPartition::IPL, all);
        } else if (sessionMode_ == FLASH_MODE_OS) {
            commit(FlashPartition::OS, all);
        } else if (sessionMode_ == FLASH_MODE_CP) {
            commit(FlashPartition::CP, all);
        } else if (sessionMode_ == FLASH_MODE_OSCP) {
            const uint64_t osBytes = uint64_t(packedSizes_ >> 16) * 1048576u;
            const uint64_t cpBytes = uint64_t(packedSizes_ & 0xFFFF) * 1048576u;
            if (!hasPackedSizes_ || all->size() != osBytes + cpBytes) {
                Problem(Format(TXT_PACKED_SIZES, static_cast<unsigned long long>(all->size()),
                               Hex(packedSizes_).c_str()));
                pendingError_ = kErrorSizesMismatch;
            }
            const size_t split = static_cast<size_t>(std::min<uint64_t>(osBytes, all->size()));
            commit(FlashPartition::OS,
                   std::make_shared<std::vector<uint8_t>>(all->begin(), all->begin() + split));
            commit(FlashPartition::CP,
                   std::make_shared<std::vector<uint8_t>>(all->begin() + split, all->end()));
        }
    }
    sessionLoads_.clear();
    if (IsIplMode(sessionMode_))
        SendReadiness();
    else
        RunMessageStream();
}

std::vector<StreamItem> VirtualBootLoader::DefaultStream() {
    std::vector<StreamItem> items;
    items.push_back(StreamItem::TextOf(TXT_WRITING_FLASH));
    items.push_back(StreamItem::Of(StreamItem::ProgressRange, 100));
    for (uint32_t pos = 25; pos <= 100; pos += 25)
        items.push_back(StreamItem::Of(StreamItem::ProgressPos, pos));
    if (pendingError_)
        items.push_back(StreamItem::Of(StreamItem::FirmwareError, pendingError_));
    else
        items.push_back(StreamItem::Of(StreamItem::Ack));
    return items;
}

void VirtualBootLoader::RunMessageStream() {
    std::vector<StreamItem> items = script_.stream.empty() ? DefaultStream() : script_.stream;
    const StreamItem::Kind last = items.back().kind;
    if (last != StreamItem::Ack && last != StreamItem::FirmwareError &&
        last != StreamItem::PullCable)
        items.push_back(StreamItem::Of(StreamItem::Ack));
    pendingError_ = 0;
    for (const StreamItem& item : items) {
        Strike(DeviceEvent::Stream);
        SendStreamItem(item);
    }
}

void VirtualBootLoader::SendStreamItem(const StreamItem& item) {
    switch (item.kind) {
    case StreamItem::Text:
        WriteWord(MSG_TEXT_LENGTH);
        WriteWord(static_cast<uint32_t>(item.text.size()));
        WriteWord(MSG_TEXT);
        WriteBytes(reinterpret_cast<const uint8_t*>(item.text.data()),
                   static_cast<uint32_t>(item.text.size()));
        break;
    case StreamItem::ProgressRange:
        WriteWord(MSG_PROGRESS_RANGE);
        WriteWord(item.value);
        break;
    case StreamItem::ProgressPos:
        WriteWord(MSG_PROGRESS_POS);
        WriteWord(item.value);
        break;
    case StreamItem::RequestFile0:
        WriteWord(MSG_REQUEST_FILE_0);
        AwaitAnswer(MSG_REQUEST_FILE_0);
        break;
    case StreamItem::RequestFile1:
        WriteWord(MSG_REQUEST_FILE_1);
        AwaitAnswer(MSG_REQUEST_FILE_1);
        break;
    case StreamItem::RequestFlashSize:
        WriteWord(MSG_REQUEST_FLASH_SIZE);
        AwaitAnswer(MSG_REQUEST_FLASH_SIZE);
        break;
    case StreamItem::Upload: {
        const uint32_t total = static_cast<uint32_t>(item.bytes.size());
        const uint32_t chunks = std::max<uint32_t>(1, item.value);
        WriteWord(MSG_UPLOAD_BEGIN);
        WriteWord(total);
        uint32_t sent = 0;
        for (uint32_t i = 0; i < chunks; ++i) {
            const uint32_t n = i + 1 == chunks ? total - sent : total / chunks;
            WriteWord(MSG_LENGTH);
            WriteWord(n);
            WriteWord(MSG_UPLOAD_CHUNK);
            WriteBytes(item.bytes.data() + sent, n);
            sent += n;
        }
        break;
    }
    case StreamItem::StoreFile:
        WriteWord(MSG_LENGTH);
        WriteWord(static_cast<uint32_t>(item.bytes.size()));
        WriteWord(MSG_STORE_FILE);
        WriteBytes(item.bytes.data(), static_cast<uint32_t>(item.bytes.size()));
        break;
    case StreamItem::Word:
        WriteWord(item.value);
        break;
    case StreamItem::Bytes:
        WriteBytes(item.bytes.data(), static_cast<uint32_t>(item.bytes.size()));
        break;
    case StreamItem::Ack:
        WriteWord(WORD_ACK);
        ++updatesEnded_;
        lastUpdateFailed_ = false;
        lastErrorCode_ = 0;
        updateEnded_ = true;
        break;
    case StreamItem::FirmwareError:
        WriteWord(MSG_FIRMWARE_ERROR);
        WriteWord(item.value);
        ++updatesEnded_;
        lastUpdateFailed_ = true;
        lastErrorCode_ = item.value;
        updateEnded_ = true;
        break;
    case StreamItem::PullCable:
        Pull();
    }
}

void VirtualBootLoader::AwaitAnswer(uint32_t request) {
    HostAnswer answer;
    answer.request = request;
    const DeviceLine::Wait wait = line_->WaitForData(static_cast<int>(script_.answerWaitMs));
    if (wait == DeviceLine::Wait::HungUp)
        throw LineGone();
    if (wait == DeviceLine::Wait::TimedOut) {
        answers_.push_back(answer);
        return;
    }
    const uint32_t first = ReadWord();
    if (first != MSG_LENGTH) {
        Problem(Format(TXT_ANSWER_BEGAN, Hex(first).c_str()));
        answers_.push_back(answer);
        return;
    }
    answer.length = ReadWord();
    if (request != MSG_REQUEST_FLASH_SIZE) {
        answer.kindWord = ReadWord();
        const uint32_t kept = std::min(answer.length, kAnswerKeepMax);
        answer.bytes.resize(kept);
        ReadExact(answer.bytes.data(), kept);
        Discard(answer.length - kept);
    }
    answer.answered = true;
    answers_.push_back(answer);
}
