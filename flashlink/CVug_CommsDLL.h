#pragma once

#include <cstdint>

#include "ProgressSink.h"
#include "USBComms.h"
#include "ZentroApi.h"

// Host files that the device may ask for during the message loop.
enum t_FILEID { FILE_ID_0 = 0, FILE_ID_1 = 1 };

// The boot-loader operations that the wizard calls. Results: 1 success, 0 failure; LoadKey
// also returns 2 for the device's second acceptance word.
class ZENTRO_API CVug_CommsDLL : public USBComms {
public:
    CVug_CommsDLL();
    ~CVug_CommsDLL();

    // Opens the device, trying again without pause until it opens (1), more than 60 whole
    // seconds have passed (0), or m_Cancel is set (0, and m_Cancel back to 0).
    int OpenUsbSyncDriver();
    void CloseUSBSyncDriver();

    int LoadKey(const uint8_t* key, uint32_t length);
    int LoadVersion(const uint8_t* version, uint32_t length);
    int LoadFlashMode(uint32_t mode);
    int LoadData(uint32_t word);
    int LoadRAM(const uint8_t* data, uint32_t address, uint32_t length);
    int Run(uint32_t address);
    int MessageHandler();

    // Where the two message boxes of the link go (not owned; null restores the default).
    void SetMessageSink(MessageSink* sink);

    int* m_pCrcCheck;
    ProgressSink* m_pProgress;
    volatile int m_Cancel;
    uint8_t* m_pRxBuffer;

private:
    void ProgressControl(uint32_t value, uint32_t kind);
    void ProcessMessages();
    int SendFile(t_FILEID id);
    int SendFlash();
    int RecvFile(uint32_t length, const char* fileName);
    int SaveFile(uint32_t length);
    const char* GetModulePath();

    MessageSink* m_pMessages;
    char m_ModulePath[261];
};
