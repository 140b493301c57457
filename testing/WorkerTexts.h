#pragma once

// What the update worker tells the user, written out once for the tests, misspellings and all:
// users and their support staff know these texts word for word, so a "corrected" one is a fault.
namespace said {

constexpr const wchar_t* DOWNLOADING = L"Downloading Data...";
constexpr const wchar_t* GUIDANCE_UPDATING =
    L"Updating, the update process will be completed in about four minitues. Please wait.";
constexpr const wchar_t* IPL_MISMATCH = L"Error, The IPL image doesn't match OS image, please "
                                        L"contact with the operator to fetch a them.";
constexpr const wchar_t* INVALID_IMAGE_NORMAL =
    L"Error, The image file is invalid, please contact with the operator to fetch a new image.";
constexpr const wchar_t* INVALID_IMAGE_RESCUE =
    L"Error, The image file is invalid, please contact the operator to fetch a new image.";
constexpr const wchar_t* IPL_MODE_FAILED = L"Error, failed to enter IPL update mode.";
constexpr const wchar_t* VERSION_OLDER = L"Error, version of image file is older than handset's "
                                         L"version. There is no need for you to do update.";
constexpr const wchar_t* UPGRADE_IPL = L"Upgrade IPL";
constexpr const wchar_t* IPL_SEND_FAILED = L"Error, A Problem occurred while sending the IPL Image";
constexpr const wchar_t* IPL_FAILED = L"Error, Download IPL Failed.";
constexpr const wchar_t* FLASH_MODE_ERROR_1 = L"Error, flash mode error 1";
constexpr const wchar_t* FLASH_MODE_ERROR_2 = L"Error, flash mode error 2";
constexpr const wchar_t* FLASH_MODE_ERROR_3 = L"Error, flash mode error 3";
constexpr const wchar_t* UPGRADE_OS = L"Upgrade OS";
constexpr const wchar_t* UPGRADE_CP = L"Upgrade CP";
constexpr const wchar_t* OS_SEND_FAILED = L"Error, A Problem occurred while sending the OS Image";
constexpr const wchar_t* IMAGE_SEND_FAILED = L"Error, A Problem occurred while sending the Image";
constexpr const wchar_t* CP_SEND_FAILED = L"Error, A Problem occurred while sending the CP Image";
constexpr const wchar_t* OS_FAILED = L"Error, Download OS Failed.";
constexpr const wchar_t* CP_FAILED = L"Error, Download CP Failed.";
constexpr const wchar_t* OSCP_FAILED = L"Error, Download OSCP Failed.";
constexpr const wchar_t* NO_UPDATE_MODE = L"Error, no corresponding update mode.";
constexpr const wchar_t* UPGRADE_COMPLETED = L"Upgrade completed.";
constexpr const wchar_t* UPLOAD_REFUSED = L"Error, the PC cannot hold the handset's upload.";
constexpr const wchar_t* TASK_SUCCESSFUL = L"Task is Successful ";
constexpr const wchar_t* CONGRATULATIONS = L"Congratulations, update completed.";
constexpr const wchar_t* CLICK_CLOSE = L"Click close to Exit.";

// The link's own boxes.
constexpr const char* FAILED_TO_READ_RESPONSE = "Errors, Failed to read response";
constexpr const char* FIRMWARE_ERROR_PREFIX = "Flash Firmware Error occurred:  code ";

} // namespace said
