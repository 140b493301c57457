#pragma once

// What kovflash and kovkit tell the user. Texts with a % are printf formats.

// kovflash

constexpr char TXT_FLASH_USAGE[] =
    "usage: kovflash [options] [KIT_DIR]\n"
    "       kovflash [options] --device PATH --device PATH ... [KIT_DIR]\n"
    "       kovflash [options] --all [KIT_DIR]\n"
    "\n"
    "Updates handsets waiting in their boot loader with the kit in KIT_DIR (default: the\n"
    "current directory): WMUPDAT.DIP, and WMIPL.DIP when present. Several handsets are\n"
    "updated at once, each on its own link; one that fails stops none of the others.\n"
    "\n"
    "  -d, --device PATH   a handset's USB serial device: a tty such as /dev/ttyACM0, the pty\n"
    "                      of a virtual boot loader, or on Windows \\\\.\\WCEUSBSH001 (the\n"
    "                      default there), \\\\.\\WCEUSBSH002, ...; give it once per handset\n"
    "      --all           every boot-loader device present: \\\\.\\WCEUSBSH001 and on, each\n"
    "                      that opens, on Windows; /dev/ttyACM* elsewhere, or the pattern in\n"
    "                      the environment variable KOVFLASH_ALL_GLOB\n"
    "  -c, --check         check the kit and say what would be flashed; no device is used\n"
    "  -w, --wait SECONDS  how long to wait for each device to appear (default 60); with\n"
    "                      --all, also how long to look for handsets plugged in later\n"
    "      --transfer-timeout SECONDS\n"
    "                      how long a handset may stay silent in a transfer (key, flash\n"
    "                      mode, version, blocks) before its update fails (default 60)\n"
    "      --flash-timeout SECONDS\n"
    "                      how long a handset may stay silent while it writes its flash;\n"
    "                      a slow handset needs longer than a transfer (default 600)\n"
    "  -q, --quiet         print only errors and the result\n"
    "      --crc-check     have the handset check each block's CRC and stop at a mismatch\n"
    "                      (off by default, as in the wizard)\n"
    "      --json          one JSON event per line on standard output; a device's events\n"
    "                      carry its \"device\"\n"
    "  -h, --help          this text\n"
    "      --version       the version\n"
    "Options take their value as --name VALUE or --name=VALUE.\n"
    "\n"
    "Exit status, for one handset: 0 update finished; 1 a flash mode or a partition did not\n"
    "get across; 2 bad usage; 3 the kit cannot be flashed (nothing sent); 4 the device never\n"
    "appeared; 5 the handset refused the key or a version; 6 the update failed while the\n"
    "handset wrote its flash; 130 stopped by Ctrl-C.\n"
    "For several handsets: 0 when every one finished, the status they share when all ended\n"
    "the same way, else 7; the summary says how each one ended. --all with no device present\n"
    "(with --wait, none within the wait) ends with 4.\n";
constexpr char TXT_FLASH_UNKNOWN_OPTION[] = "kovflash: unknown option %s\n";
constexpr char TXT_FLASH_BAD_VALUE[] = "kovflash: %s needs a valid value\n";
constexpr char TXT_FLASH_NO_VALUE[] = "kovflash: %s takes no value\n";
constexpr char TXT_FLASH_DEVICE_TWICE[] = "kovflash: the device %s is named twice\n";
constexpr char TXT_FLASH_ONE_KIT[] = "kovflash: one kit directory only; %s is a second\n";
constexpr char TXT_FLASH_ALL_OR_DEVICE[] = "kovflash: give either --all or --device, not both\n";
constexpr char TXT_FLASH_NAME_DEVICE[] =
    "kovflash: name the handset's device with --device PATH, or take every one with --all\n";
constexpr char TXT_NO_HANDSETS[] = "No handset in its boot loader was found.";
constexpr char TXT_LOOKING[] = "Looking for handsets in their boot loader for %d s...";
constexpr char TXT_STOPPED_LOOKING[] =
    "Stopped while looking for handsets; none was found, nothing was sent.";

constexpr char TXT_KIT_IN[] = "Kit in %s:";
constexpr char TXT_KIT_LINE[] = "  %s";
constexpr char TXT_KIT_PROBLEM[] = "Error: %s";
constexpr char TXT_KIT_WIZARD_TEXT[] = "The wizard shows: \"%s\"";
constexpr char TXT_KIT_CANNOT_FLASH[] = "The kit cannot be flashed; nothing was sent to a handset.";
constexpr char TXT_KIT_CAN_FLASH[] = "The kit can be flashed.";

constexpr char TXT_WAITING[] = "Waiting for the handset on %s (up to %d s)...";
constexpr char TXT_STOPPED_WAITING[] = "Stopped while waiting for the handset; nothing was sent.";
constexpr char TXT_NEVER_APPEARED[] =
    "The handset did not appear on %s within %d s. Check that it is in its boot loader and that "
    "the cable is in.";
constexpr char TXT_FOUND[] = "Handset found on %s.";
constexpr char TXT_ELAPSED[] = "Elapsed: %.1f s";
constexpr char TXT_CONNECTION_LOST[] =
    "Error: the connection to the handset was lost: it stopped answering, and refused nothing.";
constexpr char TXT_STOPPED_AT_REQUEST[] = "Stopped at your request. %s";
// What the first Ctrl-C does, by where the update stands, and what a second one leaves.
constexpr char TXT_STOPPING_WAIT[] =
    "Stopping the wait for the handset (Ctrl-C again to force)...\n";
constexpr char TXT_STOPPING_SEARCH[] = "No longer looking for handsets.\n";
constexpr char TXT_STOPPING_BLOCK[] =
    "Stopping at the next block boundary (Ctrl-C again to force)...\n";
constexpr char TXT_STOPPING_FLASHING[] =
    "The handset is writing its flash and cannot be stopped now; waiting until it ends (Ctrl-C "
    "again to leave it unfinished)...\n";
constexpr char TXT_FORCED[] = "Forced to end. %s\n";

// The handset's state after the update, by how it ended.
constexpr char TXT_STATE_UPDATED[] = "The handset has its new firmware.";
constexpr char TXT_STATE_NOTHING_SENT[] =
    "Nothing was sent: the handset is as it was, waiting in its boot loader.";
constexpr char TXT_STATE_REFUSED[] =
    "The handset refused the kit and kept its firmware; it waits in its boot loader.";
constexpr char TXT_STATE_KEPT[] = "The handset kept its firmware and waits in its boot loader.";
constexpr char TXT_STATE_NOT_WHOLE[] =
    "The handset did not receive the whole image and was not told to write it; it waits in its "
    "boot loader. Run the update again.";
constexpr char TXT_STATE_LEFT_FLASHING[] =
    "The handset was left while writing its flash: it may not start normally. Leave it in its "
    "boot loader and run the update again.";
constexpr char TXT_STATE_STOPPED_FLASHING[] =
    "The handset stopped while writing its flash: it may not start normally. Leave it in its "
    "boot loader and run the update again.";
constexpr char TXT_STATE_UPLOAD_REFUSED[] =
    "The PC refused the upload the handset announced while writing its flash, and stopped "
    "following it: the handset may not start normally. Leave it in its boot loader and run "
    "the update again.";

// How each device's update ended, and the summary of several.
constexpr char TXT_RESULT_FINISHED[] = "finished";
constexpr char TXT_RESULT_KIT[] = "the kit cannot be flashed";
constexpr char TXT_RESULT_KEY_REFUSED[] = "refused the key";
constexpr char TXT_RESULT_VERSION_REFUSED[] = "refused a version";
constexpr char TXT_RESULT_FLASH_MODE[] = "did not take a flash mode";
constexpr char TXT_RESULT_TRANSFER[] = "transfer failed";
constexpr char TXT_RESULT_FLASHING[] = "failed while writing its flash";
constexpr char TXT_RESULT_UPLOAD_REFUSED[] = "upload refused by the PC";
constexpr char TXT_RESULT_NO_DEVICE[] = "never appeared";
constexpr char TXT_RESULT_INTERRUPTED[] = "stopped by Ctrl-C";
constexpr char TXT_SUMMARY[] = "Summary (%d of %d handsets finished):";
constexpr char TXT_SUMMARY_LINE[] = "  %-*s  %-*s  exit %3d  %6.1f s  %s";
constexpr char TXT_DEVICE_LABEL[] = "%s: ";
constexpr char TXT_DEVICE_WAITING[] = "waiting";

// The terminal page.
constexpr char TXT_ERROR_CAPTION[] = "Error";
constexpr char TXT_CAPTIONED[] = "%s: %s";
constexpr char TXT_BAR_TRANSFER[] = "%-3s [%s] %3d%%  %6.1f / %.1f MiB  %5.1f MiB/s  %s left";
constexpr char TXT_BAR_FLASHING[] = "handset writing flash [%s] %3d%%";

// What a kit holds.
constexpr char TXT_NO_UPDATE_IMAGE[] = "There is no update image %s.";
constexpr char TXT_UPDATE_NOT_LOADED[] = "The update image %s could not be read into memory.";
constexpr char TXT_UPDATE_IMAGE[] = "update image: %s, %u bytes";
constexpr char TXT_VERSION_TEXT[] = "version text: \"%s\"";
constexpr char TXT_IMAGE_TYPE[] = "image type: %d";
constexpr char TXT_UPDATE_MODE[] = "update mode: 0x%02X (%s), OS size %u MiB, CP size %u MiB";
constexpr char TXT_IPL_PARTITION[] = "IPL: %u bytes from offset 1024, version %s";
constexpr char TXT_IPL_NOT_FAMILY[] =
    "The IPL image %s does not belong to the update image: their first 32 bytes differ.";
constexpr char TXT_NO_IPL[] = "IPL: none (no %s)";
constexpr char TXT_PARTITION[] = "%s: %u bytes from offset %u, version %s";
constexpr char TXT_MODE_UNKNOWN[] = "unknown";

// kovkit

constexpr char TXT_KIT_USAGE[] =
    "usage: kovkit make --out DIR [options]\n"
    "       kovkit describe DIR\n"
    "\n"
    "make writes WMUPDAT.DIP (and, with --ipl-size, WMIPL.DIP) into DIR:\n"
    "  --mode M            update mode byte: 0xCE OS, 0xC0 CP, 0xE0 OS then CP (default 0xCE)\n"
    "  --os-size MIB       OS size field (default 44)\n"
    "  --cp-size MIB       CP size field (default 0)\n"
    "  --payload-bytes N   payload length, whatever the sizes say (default: what they say)\n"
    "  --file-bytes N      cut or pad the whole file to N bytes (an image that lies)\n"
    "  --signature K       image-type signature 0..4, or 'none' (default 0)\n"
    "  --ipl-version V, --os-version V, --cp-version V\n"
    "                      six bytes: 12 hex digits, or up to 6 characters\n"
    "  --version-text T    the version text shown to the user\n"
    "  --seed N            payload pattern (default 1)\n"
    "  --ipl-size N        also write an IPL image with N payload bytes\n"
    "  --ipl-signature K   the IPL image's signature (default: the update image's)\n"
    "\n"
    "describe reads DIR as the wizard would and prints what it would install.\n"
    "Options take their value as --name VALUE or --name=VALUE. kovkit --version prints the\n"
    "version.\n";
constexpr char TXT_KOVKIT_UNKNOWN_OPTION[] = "kovkit: unknown option %s\n";
constexpr char TXT_KOVKIT_BAD_VALUE[] = "kovkit: %s needs a valid value\n";
constexpr char TXT_KOVKIT_NEEDS_OUT[] = "kovkit: make needs --out DIR\n";
constexpr char TXT_KOVKIT_ERROR[] = "kovkit: %s\n";
constexpr char TXT_KOVKIT_WROTE[] = "wrote %s\n";
constexpr char TXT_KOVKIT_LINE[] = "%s\n";
constexpr char TXT_KOVKIT_PROBLEM[] = "problem: %s\n";
constexpr char TXT_KOVKIT_WIZARD_TEXT[] = "the wizard shows: \"%s\"\n";
constexpr char TXT_KOVKIT_CAN_FLASH[] = "the kit can be flashed\n";
constexpr char TXT_KOVKIT_CANNOT_FLASH[] = "the kit cannot be flashed\n";
constexpr char TXT_CANNOT_CREATE[] = "cannot create %s";
constexpr char TXT_CANNOT_WRITE[] = "cannot write %s";
