#pragma once

// What the update worker tells the user, word for word as the users of earlier kits know it.

#define TXT_DOWNLOADING L"Downloading Data..."
#define TXT_GUIDANCE_UPDATING \
    L"Updating, the update process will be completed in about four minitues. Please wait."
#define TXT_IPL_MISMATCH                                                                    \
    L"Error, The IPL image doesn't match OS image, please contact with the operator to fetch " \
    L"a them."
#define TXT_INVALID_IMAGE_NORMAL \
    L"Error, The image file is invalid, please contact with the operator to fetch a new image."
#define TXT_INVALID_IMAGE_RESCUE \
    L"Error, The image file is invalid, please contact the operator to fetch a new image."
#define TXT_IPL_MODE_FAILED L"Error, failed to enter IPL update mode."
#define TXT_VERSION_OLDER                                                                  \
    L"Error, version of image file is older than handset's version. There is no need for " \
    L"you to do update."
#define TXT_UPGRADE_IPL L"Upgrade IPL"
#define TXT_IPL_SEND_FAILED L"Error, A Problem occurred while sending the IPL Image"
#define TXT_IPL_FAILED L"Error, Download IPL Failed."
#define TXT_FLASH_MODE_ERROR_1 L"Error, flash mode error 1"
#define TXT_FLASH_MODE_ERROR_2 L"Error, flash mode error 2"
#define TXT_FLASH_MODE_ERROR_3 L"Error, flash mode error 3"
#define TXT_UPGRADE_OS L"Upgrade OS"
#define TXT_UPGRADE_CP L"Upgrade CP"
#define TXT_OS_SEND_FAILED L"Error, A Problem occurred while sending the OS Image"
#define TXT_IMAGE_SEND_FAILED L"Error, A Problem occurred while sending the Image"
#define TXT_CP_SEND_FAILED L"Error, A Problem occurred while sending the CP Image"
#define TXT_OS_FAILED L"Error, Download OS Failed."
#define TXT_CP_FAILED L"Error, Download CP Failed."
#define TXT_OSCP_FAILED L"Error, Download OSCP Failed."
#define TXT_NO_UPDATE_MODE L"Error, no corresponding update mode."
#define TXT_UPGRADE_COMPLETED L"Upgrade completed."
#define TXT_TASK_SUCCESSFUL L"Task is Successful "
#define TXT_CONGRATULATIONS L"Congratulations, update completed."
#define TXT_CLICK_CLOSE L"Click close to Exit."
