// The message loop that follows the device while it flashes, its file requests, and what it
// does with a device that breaks the rules.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "CaseName.h"
#include "LinkFixture.h"
#include "TempDir.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

class MessageLoop : public LinkTest {
protected:
    void QueueText(const std::string& text) {
        Queue({wire::MSG_TEXT_LENGTH, static_cast<uint32_t>(text.size()), wire::MSG_TEXT});
        QueueBytes(std::vector<uint8_t>(text.begin(), text.end()));
    }
    static std::vector<uint8_t> FileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    TempDir dir;
};

TEST_F(MessageLoop, AnAckAloneEndsItWithTheBarAtItsStart) {
    Queue({wire::WORD_ACK});
    EXPECT_EQ(link.MessageHandler(), 1);
    EXPECT_EQ(progress.events, (Lines{"range 100", "pos 0"}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MessageLoop, FollowsTextsProgressAndSkipsWordsItDoesNotHandle) {
    QueueText("Erasing OS");
    Queue({wire::MSG_PROGRESS_POS, 40, wire::MSG_PROGRESS_RANGE, 250, wire::MSG_PROGRESS_POS, 7});
    // Host-direction words and strangers carry nothing after them.
    Queue({wire::MSG_FLASH_MODE, wire::MSG_FILE_KIND_0, wire::MSG_FILE_KIND_1, wire::MSG_READY,
           0xAAAA0011, 0x12345678});
    Queue({wire::MSG_LENGTH, 4, wire::MSG_STORE_FILE});
    QueueBytes({1, 2, 3, 4});
    QueueText(std::string(4095, 'x'));
    Queue({wire::WORD_ACK, 0xDEAD});
    EXPECT_EQ(link.MessageHandler(), 1);
    EXPECT_EQ(progress.events,
              (Lines{"range 100", "pos 0", "pos 40", "range 250", "pos 0", "pos 7"}));
    EXPECT_EQ(pipe.toRead.size(), 4u) << "nothing read after the closing wire::WORD_ACK";
    EXPECT_TRUE(pipe.written.empty()) << "no file has a name, so no request is answered";
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MessageLoop, AFirmwareErrorIsShownAsASignedCode) {
    Queue({wire::MSG_PROGRESS_POS, 60, wire::MSG_FIRMWARE_ERROR, 0xFFFFFFFF, wire::WORD_ACK});
    EXPECT_EQ(link.MessageHandler(), 0);
    EXPECT_EQ(messages.shown, Lines{"-|Flash Firmware Error occurred:  code -1"});
    EXPECT_EQ(progress.events.back(), "pos 0");
    EXPECT_EQ(pipe.toRead.size(), 4u);
}

TEST_F(MessageLoop, AnswersFileRequestsWithTheNamedFiles) {
    dir.Write("zero.bin", {0xA0, 0xA1, 0xA2});
    dir.Write("one.bin", {0xB0});
    dir.Write("flash.bin", std::vector<uint8_t>(70000, 0xCC));
    link.SetHostFile(HOST_FILE_0, dir.File("zero.bin").c_str());
    link.SetHostFile(HOST_FILE_1, dir.File("one.bin").c_str());
    link.SetHostFile(HOST_FLASH_FILE, dir.File("flash.bin").c_str());
    Queue({wire::MSG_REQUEST_FILE_0, wire::MSG_REQUEST_FILE_1, wire::MSG_REQUEST_FLASH_SIZE,
           wire::WORD_ACK});
    EXPECT_EQ(link.MessageHandler(), 1);
    EXPECT_EQ(Transcript(),
              (Lines{Got(wire::MSG_REQUEST_FILE_0), Sent(wire::MSG_LENGTH), Sent(3),
                     Sent(wire::MSG_FILE_KIND_0), SentBytes(3), Got(wire::MSG_REQUEST_FILE_1),
                     Sent(wire::MSG_LENGTH), Sent(1), Sent(wire::MSG_FILE_KIND_1), SentBytes(1),
                     Got(wire::MSG_REQUEST_FLASH_SIZE), Sent(wire::MSG_LENGTH), Sent(70000),
                     Got(wire::WORD_ACK)}));
}

TEST_F(MessageLoop, AnUploadInTwoChunksIsSavedWhenTheSecondCompletesIt) {
    link.SetHostFile(HOST_UPLOAD_FILE, dir.File("upload.bin").c_str());
    const std::vector<uint8_t> image = Pattern(10000);
    Queue({wire::MSG_UPLOAD_BEGIN, 10000, wire::MSG_LENGTH, 6000, wire::MSG_UPLOAD_CHUNK});
    QueueBytes(std::vector<uint8_t>(image.begin(), image.begin() + 6000));
    Queue(
        {wire::MSG_TEXT_LENGTH, 0, wire::MSG_TEXT, wire::MSG_LENGTH, 4000, wire::MSG_UPLOAD_CHUNK});
    QueueBytes(std::vector<uint8_t>(image.begin() + 6000, image.end()));
    Queue({wire::WORD_ACK});
    EXPECT_EQ(link.MessageHandler(), 1);
    EXPECT_EQ(FileBytes(dir.File("upload.bin")), image);
    EXPECT_EQ(link.m_pRxBuffer, nullptr) << "released with the save";
}

TEST_F(MessageLoop, AStoredCfgFileKeepsTheTwoHalvesWithoutTheWordBetween) {
    link.SetHostFile(HOST_STORED_FILE, dir.File("radio.cfg").c_str());
    const std::vector<uint8_t> halves = Pattern(65536, 5);
    Queue({wire::MSG_LENGTH, 65536, wire::MSG_STORE_FILE});
    QueueBytes(std::vector<uint8_t>(halves.begin(), halves.begin() + 32768));
    Queue({0xEEEEEEEE});
    QueueBytes(std::vector<uint8_t>(halves.begin() + 32768, halves.end()));
    Queue({wire::WORD_ACK});
    EXPECT_EQ(link.MessageHandler(), 1);
    EXPECT_EQ(FileBytes(dir.File("radio.cfg")), halves);
}

// A file exchange that the link cannot finish, because a read of the device's file or a write
// of the host's answer fails: the loop ends as for a lost handset, reads nothing more, and
// leaves no file under the name that a finished exchange would have written.
struct CutExchange {
    const char* name;
    HostFileRole role;
    const char* file;
    std::vector<uint32_t> words;
    std::vector<uint8_t> bytes; // what the device gets out of the file before the cut
    int failWriteAt;
    size_t leftUnread;
};

void PrintTo(const CutExchange& c, std::ostream* os) {
    *os << c.name;
}

class CutFileExchanges : public MessageLoop, public ::testing::WithParamInterface<CutExchange> {};

TEST_P(CutFileExchanges, EndTheLoopAsALostHandsetAndStoreNothing) {
    const CutExchange& c = GetParam();
    const bool hostSends = c.role != HOST_STORED_FILE;
    if (hostSends)
        dir.Write(c.file, Pattern(5000));
    link.SetHostFile(c.role, dir.File(c.file).c_str());
    for (uint32_t w : c.words)
        Queue({w});
    QueueBytes(c.bytes);
    pipe.failWriteAt = c.failWriteAt;
    EXPECT_EQ(link.MessageHandler(), 0);
    EXPECT_EQ(messages.shown,
              Lines{"Error|Error, lost the connection to the handset while it was flashing."});
    EXPECT_EQ(pipe.toRead.size(), c.leftUnread) << "nothing is read after the cut";
    if (!hostSends) {
        EXPECT_FALSE(std::filesystem::exists(dir.File(c.file)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, CutFileExchanges,
    ::testing::Values(CutExchange{"StoredFile",
                                  HOST_STORED_FILE,
                                  "stored.bin",
                                  {wire::MSG_LENGTH, 8, wire::MSG_STORE_FILE},
                                  {1, 2, 3, 4},
                                  -1,
                                  4},
                      CutExchange{"StoredCfgFileInItsSecondHalf",
                                  HOST_STORED_FILE,
                                  "radio.cfg",
                                  {wire::MSG_LENGTH, 65536, wire::MSG_STORE_FILE},
                                  Pattern(32768 + 4 + 100),
                                  -1,
                                  100},
                      CutExchange{"File0BeforeItsLength",
                                  HOST_FILE_0,
                                  "zero.bin",
                                  {wire::MSG_REQUEST_FILE_0, wire::WORD_ACK},
                                  {},
                                  0,
                                  4},
                      CutExchange{"File1InItsBytes",
                                  HOST_FILE_1,
                                  "one.bin",
                                  {wire::MSG_REQUEST_FILE_1, wire::WORD_ACK},
                                  {},
                                  3,
                                  4},
                      CutExchange{"FlashSize",
                                  HOST_FLASH_FILE,
                                  "flash.bin",
                                  {wire::MSG_REQUEST_FLASH_SIZE, wire::WORD_ACK},
                                  {},
                                  1,
                                  4}),
    CaseName());

// A device that breaks the limits: each ends the loop with 0 and a message, reads nothing past
// the offending word, and writes no byte outside a buffer (the sanitizer build would see it).
struct BadStream {
    const char* name;
    std::vector<uint32_t> words;
    const char* message;
};

void PrintTo(const BadStream& c, std::ostream* os) {
    *os << c.name;
}

class DeviceBreaksTheRules : public MessageLoop, public ::testing::WithParamInterface<BadStream> {};

TEST_P(DeviceBreaksTheRules, EndsTheLoopWithAMessage) {
    const BadStream& c = GetParam();
    for (uint32_t w : c.words)
        Queue({w});
    Queue({wire::WORD_ACK});
    EXPECT_EQ(link.MessageHandler(), 0);
    EXPECT_EQ(messages.shown, Lines{std::string("Error|") + c.message});
    EXPECT_EQ(pipe.toRead.size(), 4u) << "the rest of the stream is left unread";
}

INSTANTIATE_TEST_SUITE_P(
    Streams, DeviceBreaksTheRules,
    ::testing::Values(
        BadStream{"TextLongerThanItsBuffer",
                  {wire::MSG_TEXT_LENGTH, 4096, wire::MSG_TEXT},
                  "Error, the handset sent a text of 4096 bytes; at most 4095 fit."},
        BadStream{"ChunkBeforeAnyUpload",
                  {wire::MSG_LENGTH, 8, wire::MSG_UPLOAD_CHUNK},
                  "Error, the handset sent upload data before announcing an upload."},
        BadStream{"ChunkAfterAFinishedUpload",
                  {wire::MSG_UPLOAD_BEGIN, 4, wire::MSG_LENGTH, 4, wire::MSG_UPLOAD_CHUNK, 7,
                   wire::MSG_UPLOAD_CHUNK},
                  "Error, the handset sent upload data before announcing an upload."},
        BadStream{"ChunkBeyondTheAnnouncedUpload",
                  {wire::MSG_UPLOAD_BEGIN, 8, wire::MSG_LENGTH, 4, wire::MSG_UPLOAD_CHUNK, 1,
                   wire::MSG_LENGTH, 8, wire::MSG_UPLOAD_CHUNK},
                  "Error, the handset sent more upload data than the 8 bytes it announced."},
        BadStream{"StoredFileLargerThanItsBuffer",
                  {wire::MSG_LENGTH, 65537, wire::MSG_STORE_FILE},
                  "Error, the handset sent a file of 65537 bytes; at most 65536 fit."}),
    CaseName());

// An upload the PC cannot hold is a failure like the loop's others: a box says so, and the
// caller can tell it from a handset that failed or went away.
TEST_F(MessageLoop, AnUploadThePcCannotHoldEndsItWithABox) {
    for (uint32_t size : {0x80000000u, 0xFFFFFFFFu}) {
        pipe.toRead.clear();
        messages.shown.clear();
        Queue({wire::MSG_UPLOAD_BEGIN, size, wire::MSG_LENGTH, 4, wire::MSG_UPLOAD_CHUNK, 1,
               wire::WORD_ACK});
        EXPECT_EQ(link.MessageHandler(), 0) << size;
        EXPECT_EQ(messages.shown, Lines{"Error|Error, the handset announced an upload of " +
                                        std::to_string(size) + " bytes; the PC cannot hold it."});
        EXPECT_TRUE(link.UploadRefused()) << size;
        EXPECT_EQ(pipe.toRead.size(), 20u) << "nothing is read after the announced size";
        EXPECT_EQ(link.m_pRxBuffer, nullptr);
    }
    // Only the loop that refused says so: not the next one, nor a loop that failed otherwise.
    pipe.toRead.clear();
    Queue({wire::WORD_ACK});
    EXPECT_EQ(link.MessageHandler(), 1);
    EXPECT_FALSE(link.UploadRefused());
    Queue({wire::MSG_UPLOAD_BEGIN, 0x80000000u});
    link.MessageHandler();
    Queue({wire::MSG_FIRMWARE_ERROR, 3});
    EXPECT_EQ(link.MessageHandler(), 0);
    EXPECT_FALSE(link.UploadRefused());
}

// A handset may be silent far longer while it writes its flash than in a transfer: the loop
// runs under the flashing limit and leaves the transfer limit in force however it ends.
TEST_F(MessageLoop, RunsUnderTheFlashingLimitAndGivesTheTransferLimitBack) {
    using Limits = std::vector<uint32_t>;
    FakePipe fresh;
    CVug_CommsDLL defaults;
    defaults.SetPipe(&fresh);
    fresh.QueueWord(wire::WORD_ACK);
    EXPECT_EQ(defaults.MessageHandler(), 1);
    EXPECT_EQ(fresh.silenceLimits, (Limits{60000, 600000, 60000})) << "a minute, ten minutes";

    LinkTimeouts timeouts;
    timeouts.transferMs = 1500;
    timeouts.flashMs = 90000;
    link.SetTimeouts(timeouts);
    EXPECT_EQ(pipe.silenceLimits.back(), 1500u);
    for (const std::vector<uint32_t>& stream :
         {std::vector<uint32_t>{wire::WORD_ACK}, std::vector<uint32_t>{wire::MSG_FIRMWARE_ERROR, 3},
          std::vector<uint32_t>{}}) {
        pipe.silenceLimits.clear();
        for (uint32_t w : stream)
            Queue({w});
        link.MessageHandler();
        EXPECT_EQ(pipe.silenceLimits, (Limits{90000, 1500})) << stream.size() << " words";
    }
}

TEST_F(MessageLoop, ASecondUploadLandsInItsOwnBuffer) {
    link.SetHostFile(HOST_UPLOAD_FILE, dir.File("upload.bin").c_str());
    Queue({wire::MSG_UPLOAD_BEGIN, 4, wire::MSG_LENGTH, 4, wire::MSG_UPLOAD_CHUNK, 0x01010101});
    Queue({wire::MSG_UPLOAD_BEGIN, 8, wire::MSG_LENGTH, 8, wire::MSG_UPLOAD_CHUNK, 0x02020202,
           0x03030303, wire::WORD_ACK});
    EXPECT_EQ(link.MessageHandler(), 1);
    EXPECT_EQ(FileBytes(dir.File("upload.bin")), (std::vector<uint8_t>{2, 2, 2, 2, 3, 3, 3, 3}));
}

TEST_F(MessageLoop, ALostDeviceEndsItInsteadOfReadingForEver) {
    const char* lost = "Error|Error, lost the connection to the handset while it was flashing.";
    EXPECT_EQ(link.MessageHandler(), 0);
    EXPECT_EQ(messages.shown, Lines{lost});
    EXPECT_EQ(pipe.readSizes.size(), 1u);

    // Cut in the middle of a message: an argument or the bytes of a text never come.
    for (std::vector<uint32_t> words :
         {std::vector<uint32_t>{wire::MSG_PROGRESS_POS},
          std::vector<uint32_t>{wire::MSG_TEXT_LENGTH, 8, wire::MSG_TEXT, 1}}) {
        messages.shown.clear();
        for (uint32_t w : words)
            Queue({w});
        EXPECT_EQ(link.MessageHandler(), 0);
        EXPECT_EQ(messages.shown, Lines{lost});
    }
}

#if defined(_WIN32)
// Names that open but hold no file on disk: a device, and a pipe, whose size cannot be taken at
// all. Neither is answered, rather than with a size of 0 or of 4 GiB less one byte.
TEST_F(MessageLoop, AFlashFileThatIsNoFileOnDiskGetsNoAnswer) {
    const std::string pipeName =
        "\\\\.\\pipe\\kov-flash-file-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096,
                                     4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    for (const std::string& name : {std::string("NUL"), pipeName}) {
        pipe.written.clear();
        link.SetHostFile(HOST_FLASH_FILE, name.c_str());
        Queue({wire::MSG_REQUEST_FLASH_SIZE, wire::WORD_ACK});
        EXPECT_EQ(link.MessageHandler(), 1) << name;
        EXPECT_EQ(pipe.written.size(), 0u) << name << " was answered";
    }
    CloseHandle(server);
}
#endif

#if !defined(_WIN32)
// A disk that fills up in the middle of a file, as the file size limit makes it: the write
// fails part-way, the exchange fails quietly as every host file failure does, and nothing of
// the file is left under its name to be taken for the whole.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        // Past the limit a write fails with EFBIG instead of ending the process.
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_;
    void (*oldHandler_)(int);
};

TEST_F(MessageLoop, AFileThatCannotBeWrittenWholeLeavesNothingUnderItsName) {
    link.SetHostFile(HOST_UPLOAD_FILE, dir.File("upload.bin").c_str());
    link.SetHostFile(HOST_STORED_FILE, dir.File("stored.bin").c_str());
    Queue({wire::MSG_UPLOAD_BEGIN, 5000, wire::MSG_LENGTH, 5000, wire::MSG_UPLOAD_CHUNK});
    QueueBytes(Pattern(5000));
    Queue({wire::MSG_LENGTH, 3000, wire::MSG_STORE_FILE});
    QueueBytes(Pattern(3000));
    Queue({wire::WORD_ACK});
    {
        FileSizeLimit limit(1000);
        EXPECT_EQ(link.MessageHandler(), 1);
    }
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("upload.bin")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("stored.bin")));
}
#endif

} // namespace
