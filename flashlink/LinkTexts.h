#pragma once

// What the flash link tells its caller: the lines left in m_ErrorText and the texts of its
// message boxes. The ones with conversions are printf formats.

// m_ErrorText of the handshake and the block transfers.
constexpr char kTextWriteFailed[] = "Error: couldn't write USB data";
constexpr char kTextReadFailed[] = "Error: couldn't read USB data";
constexpr char kTextNotRecognized[] = "Error: Device probably not recognized by 2nd boot";
constexpr char kTextDataTx[] = "Error Second Boot not responding (Data TX)";
constexpr char kTextCrcFailure[] = "Error CRC failure";
constexpr char kTextAckGivenUp[] = "Error: no acknowledgement, the device is gone or silent";
constexpr char kTextTestBlockSent[] = "Send the data Ok,sub_size : %x";

// Message boxes.
constexpr char kCaptionError[] = "Error";
constexpr char kTextNoResponse[] = "Errors, Failed to read response";
constexpr char kTextFirmwareError[] = "Flash Firmware Error occurred:  code %d";
constexpr char kTextLostDevice[] =
    "Error, lost the connection to the handset while it was flashing.";
constexpr char kTextTooLong[] = "Error, the handset sent a text of %u bytes; at most %u fit.";
constexpr char kTextUnannouncedUpload[] =
    "Error, the handset sent upload data before announcing an upload.";
constexpr char kTextUploadTooLong[] =
    "Error, the handset sent more upload data than the %u bytes it announced.";
constexpr char kTextUploadRefused[] =
    "Error, the handset announced an upload of %u bytes; the PC cannot hold it.";
constexpr char kTextStoredFileTooLong[] =
    "Error, the handset sent a file of %u bytes; at most %u fit.";
