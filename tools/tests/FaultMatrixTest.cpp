// The fault matrix: the real kovflash against the real kovvboot over a pty, one row per fault a
// handset or its cable can throw at an update. Every row must end within its bound, with its
// exit status and its message, without a crash or a sanitizer report, and leave the device as
// it should be: answering a fresh open when the cable is in, gone when the cable was pulled.
// The test prints the whole matrix, so that a reader can check each row.
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CVug_CommsDLL.h"
#include "ChildProcess.h"
#include "SampleKit.h"
#include "TempDir.h"

namespace {

using Clock = ChildProcess::Clock;
using Args = std::vector<std::string>;

// The short limits the matrix passes to kovflash, and the waits they allow.
constexpr int kTransferLimitS = 2;
constexpr int kFlashLimitS = 2;
constexpr int kDeviceWaitS = 1;
// A full block's handshake gives up after more than 3 whole seconds: up to 5 of real time.
constexpr int kBlockRuleS = 5;
// What every row may take beyond its wait: starting the programs, and a sanitizer's exit.
constexpr int kSlackS = 10;
// A device asleep for longer than kovflash's limit, but not so long that the fresh open after
// the row waits for ever.
constexpr int kSilenceMs = (kTransferLimitS + 3) * 1000;

const Args kTransferLimit = {"--transfer-timeout", std::to_string(kTransferLimitS)};
const Args kFlashLimit = {"--flash-timeout", std::to_string(kFlashLimitS)};

enum class Kit { Cp, IplAndOs };
// After the row: the device answers a fresh open, or the cable is out and kovvboot has ended.
enum class After { Answers, Gone };

struct Row {
    const char* name;
    Args fault;     // kovvboot's options; empty for a handset that is not there at all
    Args flashArgs; // kovflash's options beyond --device and the kit
    int waitS;      // what the fault may make kovflash wait, by the limits above
    int exit;
    const char* message; // a line kovflash must print; {device} stands for the pty's path
    After after;
    Kit kit = Kit::Cp;
};

Args Join(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Repeated(char c, size_t n) {
    return std::string(n, c);
}

// The CP kit is 4 full blocks and a short fifth of 5000 bytes. Handshakes of its transfer, as
// kovvboot counts them: 1 the load's first, 2..5 the full blocks, 6 the short one, 7 the last.
const Row kRows[] = {
    // The cable pulled at every phase.
    {"cable pulled: open",
     {},
     {"--wait", std::to_string(kDeviceWaitS)},
     kDeviceWaitS,
     4,
     "The handset did not appear on {device} within 1 s.",
     After::Gone},
    {"cable pulled: key",
     {"--pull-at", "key:1"},
     {},
     0,
     1,
     "Error: the connection to the handset was lost: it stopped answering, and refused nothing.",
     After::Gone},
    {"cable pulled: flash mode",
     {"--pull-at", "ready:2"},
     {},
     0,
     1,
     "Error, flash mode error 1",
     After::Gone,
     Kit::IplAndOs},
    {"cable pulled: version",
     {"--pull-at", "version:1"},
     {},
     0,
     1,
     "Error: the connection to the handset was lost: it stopped answering, and refused nothing.",
     After::Gone},
    {"cable pulled: first block",
     {"--pull-at", "block:1"},
     {},
     0,
     1,
     "Error, A Problem occurred while sending the Image",
     After::Gone},
    {"cable pulled: middle block",
     {"--pull-at", "block:3"},
     {},
     0,
     1,
     "Error, A Problem occurred while sending the Image",
     After::Gone},
    {"cable pulled: last, short block",
     {"--pull-at", "block:5"},
     {},
     0,
     1,
     "Error, A Problem occurred while sending the Image",
     After::Gone},
    {"cable pulled: closing word",
     {"--pull-at", "data:1"},
     {},
     0,
     6,
     "Error, lost the connection to the handset while it was flashing.",
     After::Gone},
    {"cable pulled: message loop",
     {"--pull-at", "stream:3"},
     {},
     0,
     6,
     "Error, lost the connection to the handset while it was flashing.",
     After::Gone},
    // Acknowledgements.
    {"no ack: the load's first handshake",
     {"--ack-on", "4000000000@1"},
     {},
     0,
     1,
     "Error, A Problem occurred while sending the Image",
     After::Answers},
    {"no ack: a full block",
     {"--ack-on", "4000000000@2"},
     {},
     kBlockRuleS,
     1,
     "Error, A Problem occurred while sending the Image",
     After::Answers},
    {"no ack: the short block",
     {"--ack-on", "4000000000@6"},
     kTransferLimit,
     kTransferLimitS + 1,
     1,
     "Error, A Problem occurred while sending the Image",
     After::Answers},
    {"ack after 4.5 s, \"not ready\" meanwhile",
     {"--late-ack", "4500@2:busy"},
     {},
     kBlockRuleS,
     1,
     "Error, A Problem occurred while sending the Image",
     After::Answers},
    {"ack after 4.5 s, silent meanwhile",
     {"--late-ack", "4500@2"},
     {},
     kBlockRuleS,
     0,
     "The handset has its new firmware.",
     After::Answers},
    {"wrong CRC, check on",
     {"--wrong-crc", "2"},
     {"--crc-check"},
     0,
     1,
     "Error, A Problem occurred while sending the Image",
     After::Answers},
    // Refusals and the handset's own error.
    {"key refused",
     {"--key", "refuse"},
     {},
     0,
     5,
     "Error, The image file is invalid, please contact with the operator to fetch a new image.",
     After::Answers},
    {"version refused",
     {"--held-cp", "FFFFFFFFFFFF"},
     {},
     0,
     5,
     "Error, version of image file is older than handset's version. There is no need for you "
     "to do update.",
     After::Answers},
    {"firmware error",
     {"--firmware-error", "7"},
     {},
     0,
     6,
     "Flash Firmware Error occurred:  code 7",
     After::Answers},
    // What the message loop takes from the device.
    {"text of 4095 bytes (fits)",
     {"--stream", "text:" + Repeated('t', 4095)},
     {},
     0,
     0,
     "The handset has its new firmware.",
     After::Answers},
    {"text of 4096 bytes",
     {"--stream", "text:" + Repeated('t', 4096)},
     {},
     0,
     6,
     "Error, the handset sent a text of 4096 bytes; at most 4095 fit.",
     After::Answers},
    {"upload in 3 chunks, file of 65536 (fit)",
     {"--stream", "upload:70000/3;store:65536"},
     {},
     0,
     0,
     "The handset has its new firmware.",
     After::Answers},
    {"upload announced at 2 GiB (cannot be held)",
     {"--stream", "word:AAAA000E;word:80000000"},
     {},
     0,
     6,
     "The PC refused the upload the handset announced while writing its flash",
     After::Answers},
    {"upload beyond its announcement",
     {"--stream", "word:AAAA000E;word:10;word:AAAA0008;word:20;word:AAAA000F"},
     {},
     0,
     6,
     "Error, the handset sent more upload data than the 16 bytes it announced.",
     After::Answers},
    {"stored file of 65537 bytes",
     {"--stream", "store:65537"},
     {},
     0,
     6,
     "Error, the handset sent a file of 65537 bytes; at most 65536 fit.",
     After::Answers},
    // Alive but silent.
    {"silent in a transfer",
     {"--silent-at", "ack:3:" + std::to_string(kSilenceMs)},
     kTransferLimit,
     kTransferLimitS + 1,
     1,
     "Error, A Problem occurred while sending the Image",
     After::Answers},
    {"silent in the message loop",
     {"--silent-at", "stream:3:" + std::to_string(kSilenceMs)},
     kFlashLimit,
     kFlashLimitS + 1,
     6,
     "Error, lost the connection to the handset while it was flashing.",
     After::Answers},
};

struct Outcome {
    bool skipped = false;
    bool notRun = false; // after kovflash hung in earlier rows
    std::string why;     // for a skipped row, or what did not hold
    double tookS = 0;
    std::string exit = "-";
    std::string after = "-";
};

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    const size_t at = text.find(what);
    return at == std::string::npos ? text : text.replace(at, what.size(), with);
}

std::string Shown(const Args& args) {
    if (args.empty())
        return "no kovvboot: a path where no device can be";
    std::string out;
    for (const std::string& a : args)
        out +=
            (out.empty() ? "" : " ") +
            (a.size() > 64 ? a.substr(0, 12) + "...(" + std::to_string(a.size()) + " chars)" : a);
    return out;
}

// Opens the device afresh with the link's own calls and asks for an acknowledgement: any word
// back shows that kovflash let go of the device and the handset still talks.
std::string Reopen(const std::string& path) {
    CVug_CommsDLL link;
    link.SetDevicePath(path.c_str());
    LinkTimeouts timeouts;
    timeouts.transferMs = kSilenceMs + 5000;
    link.SetTimeouts(timeouts);
    link.m_Cancel = 1; // one attempt: the device is there or it is not
    if (link.OpenUsbSyncDriver() != 1)
        return "cannot be opened";
    const uint8_t query[4] = {0x80, 0x55, 0x55, 0xFF}; // WORD_ACK
    uint8_t reply[4];
    const bool answered = link.Write_USB_Data(query, 4) == USB_WRITE_OK &&
                          link.Read_USB_Data(reply, 4) == USB_READ_OK;
    link.CloseUSBSyncDriver();
    return answered ? "answers" : "silent";
}

class FaultMatrix : public ::testing::Test {
protected:
    FaultMatrix() {
        SampleImageSpec cp = SampleSpec(0xC0, 0, 1);
        cp.payloadBytes = 4 * 65536 + 5000;
        EXPECT_TRUE(WriteSampleImage(cpKit.File("WMUPDAT.DIP"), cp).Ok());
        SampleImageSpec os = SampleSpec(0xCE, 1, 0);
        EXPECT_TRUE(WriteSampleImage(iplKit.File("WMUPDAT.DIP"), os).Ok());
        SampleImageSpec ipl = os;
        ipl.payloadBytes = 4096;
        ipl.seed = 99;
        EXPECT_TRUE(WriteSampleImage(iplKit.File("WMIPL.DIP"), ipl).Ok());

        ChildProcess help({KOVFLASH_PATH, "--help"});
        help.WaitUntil(Clock::now() + std::chrono::seconds(kSlackS));
        flashHelp = help.Output();
    }

    Outcome Run(const Row& row) {
        Outcome o;
        for (const std::string& a : row.flashArgs)
            if (a.compare(0, 2, "--") == 0 && flashHelp.find(a) == std::string::npos) {
                o.skipped = true;
                o.why = "kovflash has no " + a;
                return o;
            }
        // A cable pulled before the open leaves no device at all. A pty freed by a kovvboot
        // that ended would not do: the system gives its path to the next pty opened, perhaps
        // by a test running beside this one. Nothing in the test's own folder is a terminal.
        std::string device = noDevice.File("no-handset");
        std::unique_ptr<ChildProcess> vboot;
        if (!row.fault.empty()) {
            vboot = std::make_unique<ChildProcess>(Join({KOVVBOOT_PATH}, row.fault));
            if (!vboot->ReadLine(device, Clock::now() + std::chrono::seconds(kSlackS))) {
                o.why = "kovvboot did not start: " + vboot->Output();
                return o;
            }
        }

        const std::string kit = (row.kit == Kit::Cp ? cpKit : iplKit).Path();
        const Clock::time_point start = Clock::now();
        ChildProcess flash(Join(Join({KOVFLASH_PATH, "--device", device}, row.flashArgs), {kit}));
        const ChildProcess::Status status =
            flash.WaitUntil(start + std::chrono::seconds(row.waitS + kSlackS));
        o.tookS = std::chrono::duration<double>(Clock::now() - start).count();
        const std::string& said = flash.Output();

        std::vector<std::string> wrong;
        if (!status.ended) {
            flash.Kill();
            o.exit = "hung";
            wrong.push_back("still running at its bound");
        } else if (status.signaled) {
            o.exit = "signal " + std::to_string(status.code);
            wrong.push_back("ended by a signal");
        } else {
            o.exit = std::to_string(status.code);
            if (status.code != row.exit)
                wrong.push_back("exit " + o.exit + ", not " + std::to_string(row.exit));
        }
        const std::string message = Replace(row.message, "{device}", device);
        if (said.find(message) == std::string::npos)
            wrong.push_back("no \"" + message + "\"");
        if (said.find("Sanitizer") != std::string::npos ||
            said.find("runtime error") != std::string::npos)
            wrong.push_back("a sanitizer report");

        if (!vboot) {
            o.after = "gone";
        } else if (row.after == After::Gone) {
            // The pulled cable ends kovvboot by itself, status 4.
            const ChildProcess::Status ended =
                vboot->WaitUntil(Clock::now() + std::chrono::seconds(kSlackS));
            o.after = ended.ended && !ended.signaled && ended.code == 4 ? "gone" : "still there";
        } else if (vboot->WaitUntil(Clock::now()).ended) {
            // Its pty is free for any other test to take: not to be opened again.
            o.after = "ended";
        } else {
            o.after = Reopen(device);
        }
        const std::string wanted = row.after == After::Gone ? "gone" : "answers";
        if (o.after != wanted)
            wrong.push_back("device " + o.after + ", not " + wanted);
        for (const std::string& w : wrong)
            o.why += (o.why.empty() ? "" : "; ") + w;
        if (!o.why.empty())
            o.why += "\n--- kovflash said:\n" + said;
        return o;
    }

    TempDir cpKit, iplKit, noDevice;
    std::string flashHelp;
};

// One line of the printed matrix, its columns padded to `widths`.
std::string Line(const std::vector<std::string>& cells, const std::vector<size_t>& widths) {
    std::string out = "|";
    for (size_t i = 0; i < cells.size(); ++i)
        out += " " + cells[i] + std::string(widths[i] - cells[i].size(), ' ') + " |";
    return out;
}

TEST_F(FaultMatrix, EveryRowEndsInItsBoundWithItsExitAndMessage) {
    std::vector<std::vector<std::string>> table = {{"case", "fault (kovvboot)", "bound", "took",
                                                    "exit", "expected", "message", "device after",
                                                    "holds"}};
    // A kovflash that hangs in two rows most likely hangs in every row: the matrix ends there,
    // within its own bounds, rather than at ctest's limit.
    int hung = 0;
    for (const Row& row : kRows) {
        Outcome o;
        if (hung < 2) {
            o = Run(row);
            hung += o.exit == "hung";
        } else {
            o.notRun = true;
            o.why = "not run: kovflash hung in two rows before";
        }
        char took[32];
        std::snprintf(took, sizeof took, "%.1f s", o.tookS);
        std::string fault = Shown(row.fault);
        if (!row.flashArgs.empty())
            fault += "; kovflash";
        for (const std::string& a : row.flashArgs)
            fault += " " + a;
        table.push_back({row.name, fault, std::to_string(row.waitS + kSlackS) + " s",
                         o.skipped ? "-" : took, o.exit, std::to_string(row.exit), row.message,
                         o.after,
                         o.skipped       ? "skipped (" + o.why + ")"
                         : o.notRun      ? "not run"
                         : o.why.empty() ? "yes"
                                         : "NO"});
        if (!o.skipped && !o.why.empty())
            ADD_FAILURE() << row.name << ": " << o.why;
    }
    std::vector<size_t> widths(table[0].size(), 0);
    for (const auto& cells : table)
        for (size_t i = 0; i < cells.size(); ++i)
            widths[i] = std::max(widths[i], cells[i].size());
    std::ostringstream out;
    out << "\n" << Line(table[0], widths) << "\n|";
    for (size_t w : widths)
        out << std::string(w + 2, '-') << "|";
    out << "\n";
    for (size_t r = 1; r < table.size(); ++r)
        out << Line(table[r], widths) << "\n";
    std::cout << out.str() << std::flush;
}

} // namespace
