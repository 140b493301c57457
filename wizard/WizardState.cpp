#include "WizardState.h"

#include "resource.h"

WizardState& TheWizardState() {
    static WizardState state;
    return state;
}

int SidePictureFor(int32_t imageType) {
    static const int kPictures[] = {IDB_SIDE_TYPE0, IDB_SIDE_TYPE1, IDB_SIDE_TYPE2, IDB_SIDE_TYPE3};
    return imageType >= 0 && imageType < 4 ? kPictures[imageType] : 0;
}
