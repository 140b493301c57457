// What the virtual boot loader keeps and checks on its own side, and its message streams.
#include <fstream>
#include <iterator>

#include "DeviceFixture.h"
#include "ScriptOptions.h"
#include "TempDir.h"
#include "WireWords.h"

namespace {

class Device : public DeviceTest {};

TEST_F(Device, OsAndCpDataThatDoNotMatchThePackedSizesEndInAFirmwareError) {
    const std::vector<uint8_t> image = HandMadeImage{0xE0, 1, 1}.Bytes();
    Connect();
    const uint8_t key[96] = {};
    ASSERT_EQ(link.LoadKey(key, 96), 1);
    ASSERT_EQ(link.LoadFlashMode(wire::FLASH_MODE_OSCP), 1);
    ASSERT_EQ(link.LoadVersion(image.data() + 106, 6), 1);
    ASSERT_EQ(link.LoadVersion(image.data() + 112, 6), 1);
    link.LoadData(wire::DATA_WORD_SIZES_FOLLOW);
    link.LoadData(0x00010002); // says 1 MiB OS and 2 MiB CP
    ASSERT_EQ(link.LoadRAM(image.data() + 1024, wire::RAM_LOAD_ADDRESS, 1048576), 1);
    ASSERT_EQ(link.LoadRAM(image.data() + 1024 + 1048576, wire::RAM_LOAD_ADDRESS, 1048576), 1);
    link.LoadData(wire::DATA_WORD_CLOSE);
    EXPECT_EQ(link.MessageHandler(), 0);
    Disconnect();
    EXPECT_EQ(device->LastErrorCode(), kErrorSizesMismatch);
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Flash Firmware Error occurred:  code 1"});
}

TEST_F(Device, MemoryReadsBackWhatWasLoadedAndRunAndRamTypeAreKept) {
    const std::vector<uint8_t> data = Payload(OsImage(1));
    Connect();
    ASSERT_EQ(link.LoadRAM(data.data(), 0x20000000, 65536 * 2 + 77), 1);
    std::vector<uint8_t> back(65536 * 2 + 77 + 16);
    EXPECT_EQ(link.GetData(0x20000000, static_cast<uint32_t>(back.size()), back.data(), nullptr),
              1);
    EXPECT_TRUE(std::equal(back.begin(), back.end() - 16, data.begin()));
    EXPECT_EQ(std::vector<uint8_t>(back.end() - 16, back.end()), std::vector<uint8_t>(16, 0xFF))
        << "beyond the load the memory reads as erased";
    EXPECT_EQ(link.SetRAMType(2), 1);
    EXPECT_EQ(link.Run(0x20000040), 1);
    Disconnect();
    EXPECT_EQ(device->RunAddresses(), std::vector<uint32_t>{0x20000040});
    EXPECT_EQ(device->RamTypes(), std::vector<uint32_t>{2});
}

TEST_F(Device, AFullMessageStreamIsServedToTheEnd) {
    TempDir dir;
    dir.Write("file0.bin", {1, 2, 3});
    BootLoaderScript script;
    const Result parsed = ParseStream("text:Erasing;range:8;pos:3;file0;file1;flashsize;"
                                      "upload:5000/3;store:64;pos:8;ack",
                                      script.stream);
    ASSERT_TRUE(parsed.Ok()) << parsed.Message();
    // Every request names a file, so each is answered at once; the device's wait only bounds a
    // host that would never answer. (An unnamed file's silence is the link's tests' business.)
    script.answerWaitMs = 20000;
    dir.Write("file1.bin", {4, 5});
    link.SetHostFile(HOST_FILE_0, dir.File("file0.bin").c_str());
    link.SetHostFile(HOST_FILE_1, dir.File("file1.bin").c_str());
    link.SetHostFile(HOST_FLASH_FILE, dir.File("file0.bin").c_str());
    link.SetHostFile(HOST_UPLOAD_FILE, dir.File("upload.bin").c_str());
    Connect(script);
    EXPECT_EQ(Update(OsImage(1)).exitCode, 1u);
    Disconnect();

    const std::vector<std::string> tail(page.progress.end() - 7, page.progress.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"range 100", "pos 0", "range 8", "pos 0", "pos 3",
                                              "pos 8", "pos 0"}))
        << "the message loop's range, the handset's, and the worker's reset at the end";
    const auto& answers = device->HostAnswers();
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_TRUE(answers[0].answered);
    EXPECT_EQ(answers[0].kindWord, wire::MSG_FILE_KIND_0);
    EXPECT_EQ(answers[0].bytes, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(answers[1].answered);
    EXPECT_EQ(answers[1].kindWord, wire::MSG_FILE_KIND_1);
    EXPECT_EQ(answers[1].bytes, (std::vector<uint8_t>{4, 5}));
    EXPECT_TRUE(answers[2].answered);
    EXPECT_EQ(answers[2].length, 3u);
    std::ifstream upload(dir.File("upload.bin"), std::ios::binary);
    EXPECT_EQ(std::vector<char>(std::istreambuf_iterator<char>(upload), {}).size(), 5000u);
    EXPECT_EQ(page.entries.back(), L"guidance: Click close to Exit.");
}

TEST(ScriptOptions, ReadTheFaultsAsKovvbootTakesThem) {
    BootLoaderScript s;
    EXPECT_TRUE(ApplyScriptOption("--ack-on", "3@2", s).Ok());
    EXPECT_EQ(s.ackOnQuery, 3u);
    EXPECT_EQ(s.ackOnQueryHandshake, 2u);
    EXPECT_TRUE(ApplyScriptOption("--late-ack", "3500@0:busy", s).Ok());
    EXPECT_EQ(s.lateAckMs, 3500u);
    EXPECT_EQ(s.lateAckHandshake, 0u);
    EXPECT_TRUE(s.lateAckBusy);
    EXPECT_TRUE(ApplyScriptOption("--pull-at", "block:100", s).Ok());
    EXPECT_EQ(s.pullAt.event, DeviceEvent::Block);
    EXPECT_EQ(s.pullAt.nth, 100u);
    EXPECT_TRUE(ApplyScriptOption("--silent-at", "stream:3:2500", s).Ok());
    EXPECT_EQ(s.silentAt.event, DeviceEvent::Stream);
    EXPECT_EQ(s.silentAt.nth, 3u);
    EXPECT_EQ(s.silentMs, 2500u);
    EXPECT_TRUE(ApplyScriptOption("--firmware-error", "-5", s).Ok());
    EXPECT_EQ(s.stream.back().value, 0xFFFFFFFBu);
    EXPECT_TRUE(ApplyScriptOption("--held-os", "020000000000", s).Ok());
    EXPECT_EQ(s.held[1][0], 2);
    EXPECT_TRUE(ApplyScriptOption("--ready", "ack:FF555580", s).Ok());
    EXPECT_EQ(s.readinessWord, wire::WORD_ACK);

    for (auto bad : {std::pair<const char*, const char*>{"--pull-at", "block"},
                     {"--pull-at", "teleport:1"},
                     {"--silent-at", "ack:2"},
                     {"--silent-at", "ack:0:100"},
                     {"--ack-on", "0"},
                     {"--key", "maybe"},
                     {"--stream", "text:a;bogus"},
                     {"--held-cp", "1234567"}}) {
        const Result applied = ApplyScriptOption(bad.first, bad.second, s);
        EXPECT_FALSE(applied.Ok()) << bad.first << " " << bad.second;
        EXPECT_NE(applied.Message().find(bad.first), std::string::npos)
            << "the reason names the option: " << applied.Message();
    }
}

} // namespace
