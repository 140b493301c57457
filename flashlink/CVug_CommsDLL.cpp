#include "CVug_CommsDLL.h"

CVug_CommsDLL::CVug_CommsDLL()
    // A caller that forgets m_pCrcCheck gets transfers without the per-block check rather
    // than a read through a wild pointer.
    : m_pCrcCheck(nullptr), m_pProgress(nullptr), m_Cancel(0), m_pRxBuffer(nullptr),
      m_pMessages(&MessageSink::Default()), m_ModulePath{} {}

// The device stays open and an unfinished upload buffer is not ours to free here.
CVug_CommsDLL::~CVug_CommsDLL() = default;

void CVug_CommsDLL::SetMessageSink(MessageSink* sink) {
    m_pMessages = sink ? sink : &MessageSink::Default();
}

int CVug_CommsDLL::OpenUsbSyncDriver() {
    const uint32_t start = m_pClock->NowSeconds();
    for (;;) {
        if (USBInterface::OpenUsbSyncDriver() == USB_OPEN_OK)
            return 1;
        if (m_pClock->NowSeconds() - start > 60)
            return 0;
        if (m_Cancel) {
            m_Cancel = 0;
            return 0;
        }
    }
}

void CVug_CommsDLL::CloseUSBSyncDriver() { USBInterface::CloseUSBSyncDriver(); }

void CVug_CommsDLL::ProgressControl(uint32_t value, uint32_t kind) {
    if (!m_pProgress)
        return;
    if (kind == 0)
        m_pProgress->SetRange(value);
    else if (kind == 1)
        m_pProgress->SetPos(value);
}
