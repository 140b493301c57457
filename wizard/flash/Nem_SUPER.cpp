#include "Nem_SUPER.h"

#include "UpdatePageTexts.h"

namespace {

const UpdatePageTraits kRescuePage = {
    PageKind::Rescue,
    IDC_STATIC_RESCUE_STATUS,
    IDC_STATIC_RESCUE_GUIDANCE,
    IDC_STATIC_RESCUE_NOTICE,
    IDC_PROGRESS_RESCUE,
    {IDC_STATIC_RESCUE_NOTICE, 0},
    true, // the side picture first, then the caption
    TXT_RESCUE_NOTICE,
    false, // no "Reading Input Image"
    false, // the wait window goes before "Usb Sync Open"
    TXT_USB_SYNC_FAILED_RESCUE,
};

} // namespace

CNem_SUPER::CNem_SUPER() : UpdatePage(IDD, kRescuePage) {}
