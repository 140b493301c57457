#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CVug_CommsDLL.h"
#include "HandMadeImage.h"
#include "MemoryWire.h"
#include "UpdateThreadRun.h"
#include "VirtualBootLoader.h"

class SeenProgress : public ProgressSink {
public:
    void SetRange(uint32_t upper) override { events.push_back("range " + std::to_string(upper)); }
    void SetPos(uint32_t pos) override { events.push_back("pos " + std::to_string(pos)); }
    std::vector<std::string> events;
};

class SeenMessages : public MessageSink {
public:
    void ShowMessage(const char* text, const char*) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

// The link against the virtual boot loader over an in-memory wire, the device on its thread.
class DeviceTest : public ::testing::Test {
protected:
    DeviceTest() {
        SucceededFlag(PageKind::Normal) = 0;
        SucceededFlag(PageKind::Rescue) = 0;
    }

    void Connect(const BootLoaderScript& script = BootLoaderScript()) {
        device.reset(new VirtualBootLoader(script));
        device->Start(wire.DeviceEnd());
        link.SetPipe(&wire.HostEnd());
        link.SetMessageSink(&messages);
        link.m_pProgress = &progress;
        ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    }
    VirtualBootLoader::End Disconnect() {
        link.CloseUSBSyncDriver();
        return device->Wait();
    }
    // Key, then flash mode and version of an OS session, ready for LoadRAM.
    void EnterOsSession() {
        const uint8_t key[96] = {};
        ASSERT_NE(link.LoadKey(key, 96), 0);
        ASSERT_EQ(link.LoadFlashMode(0xFFFF000B), 1);
        const uint8_t version[6] = {1};
        ASSERT_EQ(link.LoadVersion(version, 6), 1);
    }
    static std::vector<uint8_t> OsImage(uint16_t mib = 1) {
        HandMadeImage image;
        image.osMiB = mib;
        return image.Bytes();
    }
    static std::vector<uint8_t> Payload(const std::vector<uint8_t>& image) {
        return std::vector<uint8_t>(image.begin() + 1024, image.end());
    }
    // The update worker's run on the connected link, as the Update button starts it.
    UpdateThreadOutcome Update(const std::vector<uint8_t>& image,
                               const std::vector<uint8_t>* ipl = nullptr) {
        return RunUpdateThread(link, page, image, ipl);
    }

    MemoryWire wire;
    std::unique_ptr<VirtualBootLoader> device;
    CVug_CommsDLL link;
    SeenProgress progress;
    SeenMessages messages;
    RecordingPage page;
};
