#pragma once

// What the update pages tell the user from code while they open the kit and the link, word
// for word as the users of earlier kits know it, misspellings included. The worker's texts
// are in UpdateTexts.h; the templates keep their own texts in KovShop.rc.

constexpr wchar_t TXT_UNKNOWN_IMAGE_FILE[] =
    L"Update process is interrupted for unknown image file. Please make sure the Image file is "
    L"placed in the directory of Kov.";
constexpr wchar_t TXT_READING_INPUT_IMAGE[] = L"Reading Input Image";
constexpr wchar_t TXT_UPDATE_CUSTOMIZATION[] = L"Update Customization Partition";
constexpr wchar_t TXT_USB_SYNC_OPEN[] = L"Usb Sync Open";
constexpr wchar_t TXT_USB_SYNC_FAILED_NORMAL[] =
    L"Usb Sync cann't open! Update process is interrupted!";
constexpr wchar_t TXT_USB_SYNC_FAILED_RESCUE[] =
    L"Usb Sync cann't open! Update process is interrupted! Please try the process again.";
constexpr wchar_t TXT_RESCUE_NOTICE[] =
    L"Make sure the connection with PC is stable!\r\nMake sure the Main Battery of you device is "
    L"enough!";

// An update image that is there but cannot be read whole: the page stays up to say so, with
// Update disabled, since there is nothing to send.
constexpr wchar_t TXT_IMAGE_UNREADABLE[] =
    L"Update process is interrupted: the Image file cannot be read. Please make sure the whole "
    L"Image file is placed in the directory of Kov.";
constexpr wchar_t TXT_IMAGE_UNREADABLE_STATUS[] = L"Error, the Image file cannot be read.";
constexpr wchar_t TXT_CLICK_CLOSE_TO_QUIT[] = L"Click \"Close\" to quit.";
