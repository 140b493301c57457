// Writes the seed corpora of the fuzz targets into DIR/<target>/ (fuzz_seeds DIR): a few small
// inputs each, one per road through the code, in each target's input layout. The COFF seeds
// come from the COFF reader's tests and are not written here.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "HandMadeImage.h"
#include "WireWords.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

fs::path g_root;

void Seed(const char* target, const char* name, const Bytes& bytes) {
    const fs::path dir = g_root / target;
    fs::create_directories(dir);
    std::FILE* f = std::fopen((dir / name).string().c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f)) {
        std::perror(name);
        std::exit(1);
    }
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Le16(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes out;
    for (uint32_t w : words)
        out = out + Le16(w) + Le16(w >> 16);
    return out;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// kit_reader_fuzz: a flag byte, an optional 24-bit padding, an optional IPL with its 16-bit
// length, the update image.
void KitSeeds() {
    auto image = [](uint8_t mode, uint16_t os, uint16_t cp, int64_t payload, uint8_t family) {
        HandMadeImage h;
        h.mode = mode;
        h.osMiB = os;
        h.cpMiB = cp;
        h.payloadBytes = payload;
        h.signatureSeed = family;
        return h.Bytes();
    };
    auto noIpl = [](const Bytes& update) { return Bytes{0} + update; };
    auto withIpl = [](const Bytes& ipl, const Bytes& update) {
        return Bytes{1} + Le16(static_cast<uint32_t>(ipl.size())) + ipl + update;
    };
    const Bytes cp = image(0xC0, 0, 3, 700, 0x4B);
    Seed("kit", "os_only_no_payload", noIpl(image(0xCE, 0, 0, -1, 0x4B)));
    Seed("kit", "cp_only", noIpl(cp));
    Seed("kit", "os_and_cp_no_payload", noIpl(image(0xE0, 0, 0, -1, 0x4B)));
    Seed("kit", "os_larger_than_file", noIpl(image(0xCE, 1, 0, 100, 0x4B)));
    Seed("kit", "os_and_cp_larger_than_file", noIpl(image(0xE0, 0, 2, 64, 0x4B)));
    Seed("kit", "unknown_mode", noIpl(image(0x12, 0, 0, 10, 0x4B)));
    Seed("kit", "short_header", noIpl(Bytes(cp.begin(), cp.begin() + 600)));
    // A header that announces 1 MiB of OS, followed by exactly that many zero bytes.
    Seed("kit", "os_one_mib_padded", Bytes{2, 0, 0, 0x10} + image(0xCE, 1, 0, 0, 0x4B));
    Seed("kit", "ipl_same_family", withIpl(HandMadeIpl(cp, 200), cp));
    Seed("kit", "ipl_other_family", withIpl(image(0xC0, 0, 0, 50, 0x11), cp));
    Seed("kit", "ipl_short", withIpl(Bytes(cp.begin(), cp.begin() + 100), cp));
}

// package_extract_fuzz: the archive after the stub.
Bytes Entry(const std::u16string& name, const Bytes& data, size_t announced) {
    Bytes field(260, 0);
    for (size_t i = 0; i < name.size() && i < 130; ++i) {
        field[2 * i] = static_cast<uint8_t>(name[i]);
        field[2 * i + 1] = static_cast<uint8_t>(name[i] >> 8);
    }
    return field + Le16(static_cast<uint32_t>(announced)) +
           Le16(static_cast<uint32_t>(announced >> 16)) + data;
}
Bytes Entry(const std::u16string& name, const Bytes& data) {
    return Entry(name, data, data.size());
}

void PackageSeeds() {
    Seed("package", "empty_archive", {});
    Seed("package", "two_files",
         Entry(u"KovShop.exe", Text("MZ wizard")) + Entry(u"WMUPDAT.DIP", Bytes(300, 0x5A)));
    Seed("package", "empty_file_and_long_name",
         Entry(u"Quillo.exe", {}) + Entry(std::u16string(130, u'n'), Text("x")));
    Seed("package", "data_ends_early", Entry(u"WMUPDAT.DIP", Bytes(10, 1), 100));
    const Bytes whole = Entry(u"KovShop.exe", {});
    Seed("package", "name_field_cut", Bytes(whole.begin(), whole.begin() + 100));
    Seed("package", "parent_directory", Entry(u"a.txt", Text("a")) + Entry(u"..", Text("b")));
    Seed("package", "separator", Entry(u"sub/evil.txt", Text("c")));
    Seed("package", "backslash", Entry(u"..\\evil.txt", Text("c")));
    Seed("package", "drive_colon", Entry(u"C:evil.txt", Text("d")));
    Seed("package", "device_name", Entry(u"nul.txt", Text("e")));
    Seed("package", "wildcard", Entry(u"x*.txt", Text("f")));
    Seed("package", "non_ascii_name", Entry(u"\u00e9t\u00e9.txt", Text("g")));
}

// message_loop_fuzz: a flag byte (stored file ends in "cfg"), then the device's words.
void MessageSeeds() {
    using namespace wire;
    Seed("message", "ack_only", Bytes{0} + Words({WORD_ACK}));
    Seed("message", "texts_and_progress",
         Bytes{0} + Words({MSG_TEXT_LENGTH, 5, MSG_TEXT}) + Text("Flash") +
             Words({MSG_PROGRESS_RANGE, 250, MSG_PROGRESS_POS, 7, MSG_READY, WORD_ACK}));
    Seed("message", "file_requests",
         Bytes{0} +
             Words({MSG_REQUEST_FILE_0, MSG_REQUEST_FILE_1, MSG_REQUEST_FLASH_SIZE, WORD_ACK}));
    Seed("message", "upload_in_two_chunks",
         Bytes{0} + Words({MSG_UPLOAD_BEGIN, 8, MSG_LENGTH, 5, MSG_UPLOAD_CHUNK}) + Text("abcde") +
             Words({MSG_LENGTH, 3, MSG_UPLOAD_CHUNK}) + Text("fgh") + Words({WORD_ACK}));
    Seed("message", "upload_unfinished",
         Bytes{0} + Words({MSG_UPLOAD_BEGIN, 8, MSG_LENGTH, 5, MSG_UPLOAD_CHUNK}) + Text("abcde") +
             Words({MSG_UPLOAD_BEGIN, 2, WORD_ACK}));
    Seed("message", "stored_file",
         Bytes{0} + Words({MSG_LENGTH, 4, MSG_STORE_FILE}) + Text("cfg1") + Words({WORD_ACK}));
    Seed("message", "stored_cfg_cut_short",
         Bytes{1} + Words({MSG_LENGTH, 8, MSG_STORE_FILE}) + Text("halfhalf"));
    Seed("message", "firmware_error", Bytes{0} + Words({MSG_FIRMWARE_ERROR, 0xFFFFFFFF}));
    Seed("message", "text_cut_short",
         Bytes{0} + Words({MSG_TEXT_LENGTH, 10, MSG_TEXT}) + Text("Era"));
}

// tftp_transfer_fuzz: file length, retry limit, then events (kind, and for a datagram its
// 16-bit length and bytes): 0 silence, 1 a failing wait, 2 a failing receive, 3 a datagram
// (from the peer when its length is even, from a stranger when odd).
Bytes Datagram(const Bytes& d) {
    return Bytes{3} + Le16(static_cast<uint32_t>(d.size())) + d;
}
Bytes Ack(uint16_t block) {
    return {0, 4, static_cast<uint8_t>(block >> 8), static_cast<uint8_t>(block)};
}

void TftpSeeds() {
    Seed("tftp", "good_server_three_blocks", Le16(1100) + Bytes{1});
    Seed("tftp", "empty_file", Le16(0) + Bytes{0});
    Seed("tftp", "whole_blocks_only", Le16(1024) + Bytes{2});
    Seed("tftp", "refused_with_error",
         Le16(600) + Bytes{1} + Datagram(Bytes{0, 5, 0, 1} + Text("denied") + Bytes{0}));
    Seed("tftp", "silence_and_failures",
         Le16(700) + Bytes{3} + Bytes{0} + Datagram(Ack(0)) + Bytes{1, 2, 0} + Datagram(Ack(1)));
    Seed("tftp", "stranger_and_wrong_acks",
         Le16(1500) + Bytes{2} + Datagram(Ack(0)) + Datagram(Ack(1) + Bytes{0}) + Datagram(Ack(7)) +
             Datagram(Ack(0)) + Datagram(Ack(1)));
    Seed("tftp", "oversize_reply", Le16(100) + Bytes{0} + Datagram(Bytes(900, 0)));
    Seed("tftp", "no_answer", Le16(100) + Bytes{0} + Bytes{0});
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    g_root = argv[1];
    KitSeeds();
    PackageSeeds();
    MessageSeeds();
    TftpSeeds();
    return 0;
}
