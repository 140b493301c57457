#include "USBInterface.h"

#include <memory>

#include "DevicePipe.h"
#include "LinkWords.h"

BytePipe::~BytePipe() = default;

void BytePipe::SetSilenceLimit(uint32_t) {}

namespace {

// On Windows the first handset's device has a fixed name; elsewhere a device has none until the
// caller names a tty.
#if defined(_WIN32)
constexpr const char* kFirstDevicePath = USB_SYNC_DEVICE_PATH;
#else
constexpr const char* kFirstDevicePath = "";
#endif

} // namespace

USBInterface::USBInterface()
    : m_hDevice(INVALID_DEVICE_HANDLE), m_pPipe(nullptr), m_pClock(&LinkClock::System()),
      m_pDevicePipe(std::make_unique<DevicePipe>(kFirstDevicePath)), m_bFlashing(false) {
    m_pPipe = m_pDevicePipe.get();
    m_pPipe->SetSilenceLimit(SilenceLimit());
}

// The device pipe closes a device still open on it when it goes, so destroying the link closes
// the platform device. A pipe given with SetPipe belongs to its giver and is left as it is.
USBInterface::~USBInterface() = default;

void USBInterface::SetPipe(BytePipe* pipe) {
    m_pPipe = pipe ? pipe : m_pDevicePipe.get();
    m_pPipe->SetSilenceLimit(SilenceLimit());
}

void USBInterface::SetDevicePath(const char* path) {
    // A device open on the old path is closed with its pipe; its handle must not outlive it.
    const bool inUse = m_pPipe == m_pDevicePipe.get();
    m_pDevicePipe = std::make_unique<DevicePipe>(path && *path ? path : kFirstDevicePath);
    m_pDevicePipe->SetSilenceLimit(SilenceLimit());
    if (inUse) {
        m_pPipe = m_pDevicePipe.get();
        m_hDevice = INVALID_DEVICE_HANDLE;
    }
}

void USBInterface::SetClock(LinkClock* clock) {
    m_pClock = clock ? clock : &LinkClock::System();
}

void USBInterface::SetTimeouts(const LinkTimeouts& timeouts) {
    m_Timeouts = timeouts;
    m_pPipe->SetSilenceLimit(SilenceLimit());
}

void USBInterface::UseFlashingLimit(bool flashing) {
    m_bFlashing = flashing;
    m_pPipe->SetSilenceLimit(SilenceLimit());
}

uint32_t USBInterface::SilenceLimit() const {
    return m_bFlashing ? m_Timeouts.flashMs : m_Timeouts.transferMs;
}

uint32_t USBInterface::OpenUsbSyncDriver() {
    m_hDevice = m_pPipe->Open();
    if (m_hDevice == INVALID_DEVICE_HANDLE)
        return USB_OPEN_FAILED;
    m_DeviceFailed = false;
    return USB_OPEN_OK;
}

void USBInterface::CloseUSBSyncDriver() {
    if (m_hDevice != INVALID_DEVICE_HANDLE)
        m_pPipe->Close();
    m_hDevice = INVALID_DEVICE_HANDLE;
}

uint32_t USBInterface::Write_USB_Data(const uint8_t* buffer, uint32_t length) {
    while (length > USB_PIECE_SIZE) {
        if (!m_pPipe->WriteAll(buffer, USB_PIECE_SIZE))
            return Failed();
        buffer += USB_PIECE_SIZE;
        length -= USB_PIECE_SIZE;
    }
    // The last piece goes out even when it is empty, as the device driver expects.
    return m_pPipe->WriteAll(buffer, length) ? USB_WRITE_OK : Failed();
}

uint32_t USBInterface::Read_USB_Data(uint8_t* buffer, uint32_t length) {
    while (length > USB_PIECE_SIZE) {
        if (!m_pPipe->ReadAll(buffer, USB_PIECE_SIZE))
            return Failed();
        buffer += USB_PIECE_SIZE;
        length -= USB_PIECE_SIZE;
    }
    return m_pPipe->ReadAll(buffer, length) ? USB_READ_OK : Failed();
}

uint32_t USBInterface::Failed() {
    m_DeviceFailed = true;
    return USB_IO_FAILED;
}

uint32_t USBInterface::BindPipe(uint32_t pipe, DeviceHandle device) {
    uint8_t number = static_cast<uint8_t>(pipe);
    return SynchronousIoctl(device, IOCTL_BIND_PIPE, &number, 1, nullptr, 0, nullptr);
}

uint32_t USBInterface::UnBindPipe(uint32_t pipe, DeviceHandle device) {
    uint8_t number = static_cast<uint8_t>(pipe);
    return SynchronousIoctl(device, IOCTL_UNBIND_PIPE, &number, 1, nullptr, 0, nullptr);
}
