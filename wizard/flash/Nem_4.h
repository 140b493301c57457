#pragma once

#include "UpdatePage.h"
#include "resource.h"

// The normal update page: the road of a handset that answered over ActiveSync and was sent to
// its boot loader. Shows the handset's version and the image's before the update.
class CNem_4 : public UpdatePage {
public:
    enum { IDD = IDD_NEM_4 };
    CNem_4();

    // The handset's installed version as the preparation procedure read it, or null when that
    // read failed. Not owned: it must outlive the page's run.
    void SetHandsetVersion(const wchar_t* version) { m_pHandsetVersion = version; }

protected:
    void ShowVersions(const ImageHeader& header) override;

private:
    const wchar_t* m_pHandsetVersion = nullptr;
};
