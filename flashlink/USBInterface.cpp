#include "USBInterface.h"

#include "DevicePipe.h"
#include "LinkWords.h"

BytePipe::~BytePipe() = default;

USBInterface::USBInterface()
    : m_hDevice(INVALID_DEVICE_HANDLE), m_pPipe(nullptr), m_pClock(&LinkClock::System()),
      m_pDevicePipe(nullptr), m_SilenceLimitMs(DevicePipe::kDefaultSilenceLimitMs) {
#if defined(_WIN32)
    m_pDevicePipe = new DevicePipe(USB_SYNC_DEVICE_PATH);
#else
    m_pDevicePipe = new DevicePipe("");
#endif
    m_pPipe = m_pDevicePipe;
}

USBInterface::~USBInterface() {
    // An open device stays open until CloseUSBSyncDriver; only our own pipe object goes.
    delete m_pDevicePipe;
}

void USBInterface::SetPipe(BytePipe* pipe) {
    m_pPipe = pipe ? pipe : m_pDevicePipe;
}

void USBInterface::SetDevicePath(const char* path) {
#if !defined(_WIN32)
    bool inUse = m_pPipe == m_pDevicePipe;
    delete m_pDevicePipe;
    m_pDevicePipe = new DevicePipe(path);
    m_pDevicePipe->SetSilenceLimit(m_SilenceLimitMs);
    if (inUse)
        m_pPipe = m_pDevicePipe;
#else
    (void)path;
#endif
}

void USBInterface::SetClock(LinkClock* clock) {
    m_pClock = clock ? clock : &LinkClock::System();
}

void USBInterface::SetDeviceSilenceLimit(uint32_t milliseconds) {
    m_SilenceLimitMs = milliseconds;
    m_pDevicePipe->SetSilenceLimit(milliseconds);
}

uint32_t USBInterface::OpenUsbSyncDriver() {
    m_hDevice = m_pPipe->Open();
    return m_hDevice == INVALID_DEVICE_HANDLE ? USB_OPEN_FAILED : USB_OPEN_OK;
}

void USBInterface::CloseUSBSyncDriver() {
    if (m_hDevice != INVALID_DEVICE_HANDLE)
        m_pPipe->Close();
}

uint32_t USBInterface::Write_USB_Data(const uint8_t* buffer, uint32_t length) {
    while (length > USB_PIECE_SIZE) {
        if (!m_pPipe->WriteAll(buffer, USB_PIECE_SIZE))
            return USB_IO_FAILED;
        buffer += USB_PIECE_SIZE;
        length -= USB_PIECE_SIZE;
    }
    // The last piece goes out even when it is empty, as the device driver expects.
    return m_pPipe->WriteAll(buffer, length) ? USB_WRITE_OK : USB_IO_FAILED;
}

uint32_t USBInterface::Read_USB_Data(uint8_t* buffer, uint32_t length) {
    while (length > USB_PIECE_SIZE) {
        if (!m_pPipe->ReadAll(buffer, USB_PIECE_SIZE))
            return USB_IO_FAILED;
        buffer += USB_PIECE_SIZE;
        length -= USB_PIECE_SIZE;
    }
    return m_pPipe->ReadAll(buffer, length) ? USB_READ_OK : USB_IO_FAILED;
}

uint32_t USBInterface::BindPipe(uint32_t pipe, DeviceHandle device) {
    uint8_t number = static_cast<uint8_t>(pipe);
    return SynchronousIoctl(device, IOCTL_BIND_PIPE, &number, 1, nullptr, 0, nullptr);
}

uint32_t USBInterface::UnBindPipe(uint32_t pipe, DeviceHandle device) {
    uint8_t number = static_cast<uint8_t>(pipe);
    return SynchronousIoctl(device, IOCTL_UNBIND_PIPE, &number, 1, nullptr, 0, nullptr);
}
