#pragma once

#include <cstdint>
#include <memory>

#include "BytePipe.h"
#include "LinkClock.h"
#include "LinkTimeouts.h"
#include "ZentroApi.h"

// Result codes of the device layer. They are compared for equality, never tested for nonzero.
constexpr uint32_t USB_OPEN_OK = 0xDEADBEEF;
constexpr uint32_t USB_OPEN_FAILED = 0xFFFFFFFE;
constexpr uint32_t USB_WRITE_OK = 0xFEEDDEAD;
constexpr uint32_t USB_READ_OK = 0xFEEDBEEF;
constexpr uint32_t USB_IO_FAILED = 0xFFFFFFFF;
constexpr uint32_t IOCTL_NO_EVENT = 0xE0000100;

constexpr uint32_t IOCTL_BIND_PIPE = 0x80942078;
constexpr uint32_t IOCTL_UNBIND_PIPE = 0x8094207C;

// The USB serial host device through which the PC reaches the handset's boot loader.
constexpr const char* USB_SYNC_DEVICE_PATH = "\\\\.\\WCEUSBSH001";

class DevicePipe;

// The only layer that touches the platform's device functions: it owns the device handle and
// moves raw bytes, in pieces of at most USB_PIECE_SIZE, through a byte pipe.
class ZENTRO_API USBInterface {
public:
    USBInterface();
    ~USBInterface();
    USBInterface(const USBInterface&) = delete;
    USBInterface& operator=(const USBInterface&) = delete;

    // USB_OPEN_OK, or USB_OPEN_FAILED; m_hDevice holds the attempt's handle either way.
    uint32_t OpenUsbSyncDriver();
    // Closes what OpenUsbSyncDriver opened and forgets its handle.
    void CloseUSBSyncDriver();
    // USB_READ_OK when every byte was read, else USB_IO_FAILED.
    uint32_t Read_USB_Data(uint8_t* buffer, uint32_t length);
    // USB_WRITE_OK when every byte was written, else USB_IO_FAILED.
    uint32_t Write_USB_Data(const uint8_t* buffer, uint32_t length);
    // Dispatches at most one waiting window message of the calling thread.
    void HandleMessages();

    // Puts another byte pipe (a recording wrapper, an in-memory pair, the virtual boot loader)
    // under the link in place of the platform device. Not owned; null restores the device.
    void SetPipe(BytePipe* pipe);
    // Where the platform device is found: on Windows USB_SYNC_DEVICE_PATH unless the caller
    // names another handset's device ("\\.\WCEUSBSH002", ...); elsewhere the caller names a tty
    // (a USB serial device or a pty). Null or "" restores the default. A device open on the old
    // path is closed.
    void SetDevicePath(const char* path);
    // Replaces the wall clock (not owned; null restores the system clock).
    void SetClock(LinkClock* clock);
    // How long the device may stay silent in each phase before a read or write fails. Set
    // between operations, on the thread that makes them; it applies to whichever pipe is in
    // use, now and after SetPipe or SetDevicePath.
    void SetTimeouts(const LinkTimeouts& timeouts);
    const LinkTimeouts& Timeouts() const { return m_Timeouts; }
    // Whether a read or write has failed since the device was last opened: the device went
    // away or fell silent, rather than answering with a word its caller did not want. A key
    // or version "refused" by a device that is gone was never refused.
    bool DeviceFailed() const { return m_DeviceFailed; }

    DeviceHandle m_hDevice;

protected:
    // Puts the silence limit of the message loop (flashing) or of the transfers in force.
    void UseFlashingLimit(bool flashing);

    BytePipe* m_pPipe;
    LinkClock* m_pClock;

private:
    uint32_t SynchronousIoctl(DeviceHandle device, uint32_t code, const void* input,
                              uint32_t inputLength, void* output, uint32_t outputLength,
                              uint32_t* returned);
    uint32_t BindPipe(uint32_t pipe, DeviceHandle device);
    uint32_t UnBindPipe(uint32_t pipe, DeviceHandle device);
    // Notes that the device failed a read or write; returns USB_IO_FAILED.
    uint32_t Failed();

    uint32_t SilenceLimit() const;

    std::unique_ptr<DevicePipe> m_pDevicePipe;
    LinkTimeouts m_Timeouts;
    bool m_bFlashing;
    bool m_DeviceFailed = false;
};
