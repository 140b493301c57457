#pragma once

// What the wizard's shell tells the user from code, word for word as the users of earlier kits
// know it, misspellings included. The dialog templates keep their own texts in KovShop.rc.

// Every page's window title.
constexpr wchar_t WIZARD_TITLE[] = L"Kov V2.1.1";

// The caption of the pages' message boxes.
constexpr wchar_t TXT_ERROR_CAPTION[] = L"Error";

// Welcome page: no update image in the current directory.
constexpr wchar_t TXT_IMAGE_NOT_FOUND[] =
    L"Cann't find Image file. Please make sure the Image file is placed in the directory of Kov.";

// Preparation page: the rescue instructions of control 1040.
constexpr wchar_t TXT_RESCUE_INSTRUCTIONS[] =
    L"If your device failed to upgrade last time, please click Next and wait until diplay "
    L"following:\r\n        \"Please connect the handset with PC using USB cable.\"\r\nThen power "
    L"on your device and plug in USB cable";

// Error page: the checklist caption, and the explanation for each mode.
constexpr wchar_t TXT_CHECK_THE_FOLLOW[] = L"Check the follow";
constexpr wchar_t TXT_ERROR_BATTERY_STATUS[] =
    L"Update process is interrupted for unknown battery status.";
constexpr wchar_t TXT_ERROR_UNKNOWN_REASON[] = L"Update process is interrupted for unknown reason.";
constexpr wchar_t TXT_ERROR_CANNOT_CONNECT[] =
    L"The Update Utility cannot connect to your device. Please check whether the USB cable is "
    L"connected properly between pc and the device.";
