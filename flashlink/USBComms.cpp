#include "USBComms.h"

USBComms::USBComms() : m_ErrorText{}, m_Abort(0) {}

void USBComms::ProgressControl(ProgressSink* progress, uint32_t value, uint32_t kind) {
    if (!progress)
        return;
    if (kind == 0)
        progress->SetRange(value);
    else if (kind == 1)
        progress->SetPos(value);
}
