#pragma once

#include "UpdatePage.h"
#include "resource.h"

// The rescue update page: the road of a handset that did not answer over ActiveSync, whose
// user powers it on into its boot loader and plugs in the cable once the connect-the-handset
// window shows. No version display.
class CNem_SUPER : public UpdatePage {
public:
    enum { IDD = IDD_NEM_SUPER };
    CNem_SUPER();
};
