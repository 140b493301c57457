#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "ProgressSink.h"
#include "USBComms.h"
#include "ZentroApi.h"

// Host files that the device may ask for during the message loop.
enum t_FILEID { FILE_ID_0 = 0, FILE_ID_1 = 1 };

// The host files behind the message loop's requests. They have no names until a caller gives
// them some: a request for a file without a name fails quietly, as on a PC without it.
enum HostFileRole {
    HOST_FILE_0,      // sent for MSG_REQUEST_FILE_0
    HOST_FILE_1,      // sent for MSG_REQUEST_FILE_1
    HOST_FLASH_FILE,  // its size answers MSG_REQUEST_FLASH_SIZE
    HOST_UPLOAD_FILE, // receives a finished upload
    HOST_STORED_FILE, // receives MSG_STORE_FILE's bytes; a name ending in "cfg" takes two halves
    HOST_FILE_ROLES
};

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
    // m_pCrcCheck left null means transfers without the per-block check.
    int LoadRAM(const uint8_t* data, uint32_t address, uint32_t length);
    int Run(uint32_t address);
    // Serves the device's messages until it reports the end (1), a firmware error (0), or
    // breaks the protocol, goes away or announces an upload this PC cannot hold (0, with a
    // message of the link's own).
    int MessageHandler();
    // Whether the last MessageHandler ended because this PC could not hold the upload that the
    // device announced: the device did not fail, the PC refused.
    bool UploadRefused() const { return m_UploadRefused; }

    // Where the two message boxes of the link go (not owned; null restores the default).
    void SetMessageSink(MessageSink* sink);
    // Names a host file of the message loop; null or "" leaves it without a name.
    void SetHostFile(HostFileRole role, const char* path);

    int* m_pCrcCheck;
    ProgressSink* m_pProgress;
    // Set from another thread or a signal handler, like m_Abort.
    std::atomic<int> m_Cancel;
    uint8_t* m_pRxBuffer;

private:
    // How a file request of the message loop ended. A host file that is missing or cannot be
    // written costs the device that file alone, and the loop goes on; a device that cannot be
    // read or written in the middle of a file is gone, and the loop ends.
    enum FileExchange { FILE_EXCHANGED, FILE_HOST_FAILED, FILE_LINK_FAILED };

    FileExchange SendFile(t_FILEID id);
    FileExchange SendFlash();
    FileExchange RecvFile(uint32_t length, const char* fileName);
    int SaveFile(uint32_t length);

    int ExchangeBlock(uint32_t lengthWord, uint32_t dataWord, const uint8_t* bytes, uint32_t length,
                      uint32_t& reply);

    // The most a stored file of the message loop may hold.
    static constexpr uint32_t kStoredFileMax = 65536;
    friend class MessageLoop;

    MessageSink* m_pMessages;
    std::string m_HostFiles[HOST_FILE_ROLES];
    bool m_UploadRefused;
};
