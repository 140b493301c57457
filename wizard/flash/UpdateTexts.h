#pragma once

// What the update worker tells the user.

constexpr wchar_t TXT_DOWNLOADING[] = L"Downloading Data...";
constexpr wchar_t TXT_GUIDANCE_UPDATING[] =
    L"Updating, the update process will be completed in about four minitues. Please wait.";
constexpr wchar_t TXT_IPL_MISMATCH[] =
    L"Error, The IPL image doesn't match OS image, please contact with the operator to fetch "
    L"a them.";
constexpr wchar_t TXT_INVALID_IMAGE_NORMAL[] =
    L"Error, The image file is invalid, please contact with the operator to fetch a new image.";
constexpr wchar_t TXT_INVALID_IMAGE_RESCUE[] =
    L"Error, The image file is invalid, please contact the operator to fetch a new image.";
constexpr wchar_t TXT_IPL_MODE_FAILED[] = L"Error, failed to enter IPL update mode.";
constexpr wchar_t TXT_VERSION_OLDER[] =
    L"Error, version of image file is older than handset's version. There is no need for "
    L"you to do update.";
constexpr wchar_t TXT_UPGRADE_IPL[] = L"Upgrade IPL";
constexpr wchar_t TXT_IPL_SEND_FAILED[] = L"Error, A Problem occurred while sending the IPL Image";
constexpr wchar_t TXT_IPL_FAILED[] = L"Error, Download IPL Failed.";
constexpr wchar_t TXT_FLASH_MODE_ERROR_1[] = L"Error, flash mode error 1";
constexpr wchar_t TXT_FLASH_MODE_ERROR_2[] = L"Error, flash mode error 2";
constexpr wchar_t TXT_FLASH_MODE_ERROR_3[] = L"Error, flash mode error 3";
constexpr wchar_t TXT_UPGRADE_OS[] = L"Upgrade OS";
constexpr wchar_t TXT_UPGRADE_CP[] = L"Upgrade CP";
constexpr wchar_t TXT_OS_SEND_FAILED[] = L"Error, A Problem occurred while sending the OS Image";
constexpr wchar_t TXT_IMAGE_SEND_FAILED[] = L"Error, A Problem occurred while sending the Image";
constexpr wchar_t TXT_CP_SEND_FAILED[] = L"Error, A Problem occurred while sending the CP Image";
constexpr wchar_t TXT_OS_FAILED[] = L"Error, Download OS Failed.";
constexpr wchar_t TXT_CP_FAILED[] = L"Error, Download CP Failed.";
constexpr wchar_t TXT_OSCP_FAILED[] = L"Error, Download OSCP Failed.";
constexpr wchar_t TXT_NO_UPDATE_MODE[] = L"Error, no corresponding update mode.";
constexpr wchar_t TXT_UPGRADE_COMPLETED[] = L"Upgrade completed.";
// The PC could not hold an upload that the handset announced while flashing.
constexpr wchar_t TXT_UPLOAD_REFUSED[] = L"Error, the PC cannot hold the handset's upload.";
constexpr wchar_t TXT_TASK_SUCCESSFUL[] = L"Task is Successful ";
constexpr wchar_t TXT_CONGRATULATIONS[] = L"Congratulations, update completed.";
constexpr wchar_t TXT_CLICK_CLOSE[] = L"Click close to Exit.";
