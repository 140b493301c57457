#pragma once

// What the virtual handset and kovvboot tell the user. Texts with a % are printf formats.

// kovvboot; the script options' help is built beside their table.
constexpr char TXT_VBOOT_USAGE[] =
    "usage: kovvboot [options]\n"
    "\n"
    "A handset's boot loader in software, on a pty. The first line of standard output is the\n"
    "pty's path: open it as the handset's USB serial device (kovflash --device PATH), or under\n"
    "Wine link it as $WINEPREFIX/dosdevices/wceusbsh001 for \\\\.\\WCEUSBSH001.\n"
    "\n"
    "  --once                   end after one update: after the message stream's last word\n"
    "                           (once the host has closed the device, 10 s at most), or when\n"
    "                           the host hangs up or the cable is pulled\n"
    "  --save DIR               write what was flashed to DIR (made if missing): ipl.bin,\n"
    "                           os.bin, cp.bin, one file per flashed partition, after each\n"
    "                           connection\n"
    "  --verbose                say on standard error what each connection brought\n"
    "  --help                   this text\n"
    "  --version                the version\n"
    "\n"
    "%s"
    "\n"
    "Options take their value as --name VALUE or --name=VALUE.\n"
    "Pulling the cable closes the pty, so kovvboot ends there.\n"
    "Exit status with --once: 0 the update ended with WORD_ACK; 3 it ended with a firmware\n"
    "error; 4 the host hung up or the cable was pulled before the end; 1 no pty or --save\n"
    "failed; 2 bad usage.\n";
constexpr char TXT_VBOOT_ERROR[] = "kovvboot: %s\n";
constexpr char TXT_VBOOT_BAD_OPTION[] = "kovvboot: unknown or incomplete option %s\n";
constexpr char TXT_VBOOT_CANNOT_WRITE[] = "kovvboot: cannot write %s: %s\n";
constexpr char TXT_VBOOT_CANNOT_MAKE[] = "kovvboot: cannot make %s: %s\n";

// What a connection brought (--verbose).
constexpr char TXT_VBOOT_CABLE_PULLED[] = "the cable was pulled";
constexpr char TXT_VBOOT_UPDATE_ENDED[] = "the update ended";
constexpr char TXT_VBOOT_HUNG_UP[] = "the host hung up";
constexpr char TXT_VBOOT_CONNECTION_OVER[] =
    "kovvboot: connection over (%s); %llu bytes from the host\n";
constexpr char TXT_VBOOT_FLASH_MODE[] = "kovvboot:   flash mode 0x%08X\n";
constexpr char TXT_VBOOT_FLASHED[] = "kovvboot:   flashed %s: %zu bytes\n";
constexpr char TXT_VBOOT_STREAM_ENDED[] = "kovvboot:   last stream ended with %s %d\n";
constexpr char TXT_VBOOT_FIRMWARE_ERROR[] = "firmware error";
constexpr char TXT_VBOOT_PROBLEM[] = "kovvboot:   problem: %s\n";

// The script options.
constexpr char TXT_BAD_STREAM_ITEM[] = "bad stream item '%s'";
constexpr char TXT_EMPTY_STREAM[] = "an empty stream";
constexpr char TXT_UNKNOWN_OPTION[] = "unknown option %s";
constexpr char TXT_BAD_VALUE[] = "bad value '%s' for %s";
constexpr char TXT_OPTION_WHY[] = "%s: %s";

// The pty.
constexpr char TXT_PTY_CANNOT_MAKE[] = "cannot make a pty: %s";
constexpr char TXT_PTY_CANNOT_NAME[] = "cannot name the pty: %s";
constexpr char TXT_PTY_CANNOT_OPEN[] = "cannot open the pty's slave: %s";
constexpr char TXT_PTY_CANNOT_RAW[] = "cannot make the pty raw: %s";

// The handset's own text at the head of its message stream.
constexpr char TXT_WRITING_FLASH[] = "Writing flash";

// What the virtual boot loader found wrong in what the host sent.
constexpr char TXT_DATA_WITHOUT_LENGTH[] = "data word %s without its length word first";
constexpr char TXT_KEY_NOT_FOLLOWED[] = "key length not followed by CMD_KEY_DATA but %s";
constexpr char TXT_VERSION_NOT_FOLLOWED[] =
    "version length not followed by CMD_VERSION_DATA but %s";
constexpr char TXT_VERSION_OUTSIDE_MODE[] = "a version outside a known flash mode";
constexpr char TXT_UNKNOWN_FLASH_MODE[] = "unknown flash mode %s";
constexpr char TXT_LOAD_LEFT[] = "a load was left with %llu of %u bytes";
constexpr char TXT_BLOCK_WITHOUT_ADDRESS[] = "block data without an address";
constexpr char TXT_BLOCK_OUTSIDE_LOAD[] = "block data outside a load";
constexpr char TXT_BLOCK_AT_OUTSIDE[] = "block at %s outside its load";
constexpr char TXT_UNKNOWN_WORD[] = "unknown word %s";
constexpr char TXT_CLOSING_TOO_EARLY[] = "the closing word came before a load was complete";
constexpr char TXT_PACKED_SIZES[] = "OS and CP data of %llu bytes against packed sizes %s";
constexpr char TXT_ANSWER_BEGAN[] = "answer to a request began with %s";
