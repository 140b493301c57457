#include "Nem_4.h"

#include "UpdatePageTexts.h"

namespace {

const UpdatePageTraits kNormalPage = {
    PageKind::Normal,
    IDC_STATIC_STATUS,
    IDC_STATIC_GUIDANCE,
    IDC_STATIC_NOTICE,
    IDC_PROGRESS_UPDATE,
    {IDC_STATIC_NOTICE, IDC_GROUP_UPDATE_INFO},
    false,   // caption first, then the side picture
    nullptr, // the notice keeps the template's text
    true,    // "Reading Input Image"
    true,    // "Usb Sync Open" before the wait window goes
    TXT_USB_SYNC_FAILED_NORMAL,
};

} // namespace

CNem_4::CNem_4() : UpdatePage(IDD, kNormalPage) {}

void CNem_4::ShowVersions(const ImageHeader& header) {
    if (header.updateMode == UPDATE_MODE_CP) {
        ::SetDlgItemTextW(m_hWnd, IDC_STATIC_CURRENT_VERSION, TXT_UPDATE_CUSTOMIZATION);
        for (int label :
             {IDC_STATIC_UPDATE_FROM, IDC_STATIC_FROM_LABEL, IDC_STATIC_TO, IDC_STATIC_TO_LABEL})
            ::SetDlgItemTextW(m_hWnd, label, L"");
        return;
    }
    if (m_pHandsetVersion)
        ::SetDlgItemTextW(m_hWnd, IDC_STATIC_CURRENT_VERSION, m_pHandsetVersion);
    ::SetDlgItemTextW(m_hWnd, IDC_STATIC_IMAGE_VERSION, VersionTextForDisplay(header).c_str());
}
