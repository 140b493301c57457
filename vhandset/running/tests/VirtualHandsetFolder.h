#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "ArmProcessor.h"

// The folder of the virtual running handset that the test script registered (it holds the COM
// server DLL and is named by KOV_VHANDSET_FOLDER). Each test gives the handset its state and
// starts from a handset with no files, flags, log or journal, with the processor the build
// found; the test's current directory is the PC side, a fresh folder beside it.
class VirtualHandsetFolder {
public:
    explicit VirtualHandsetFolder(const std::string& ini) {
        const char* folder = std::getenv("KOV_VHANDSET_FOLDER");
        if (!folder) {
            ADD_FAILURE() << "KOV_VHANDSET_FOLDER names no registered virtual handset";
            return;
        }
        m_folder = folder;
        for (const char* result : {"files", "flags.txt", "journal.txt", "rebooted", "pc",
                                   "calls.txt", "program.txt", "exited"})
            std::filesystem::remove_all(m_folder / result);
        std::ofstream(m_folder / "handset.ini") << ini << ArmProcessor::IniLines();
        std::filesystem::create_directories(m_folder / "pc");
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_folder / "pc");
    }
    ~VirtualHandsetFolder() {
        if (!m_previous.empty())
            std::filesystem::current_path(m_previous);
    }
    VirtualHandsetFolder(const VirtualHandsetFolder&) = delete;
    VirtualHandsetFolder& operator=(const VirtualHandsetFolder&) = delete;

    void PutPcFile(const std::wstring& name, const std::string& bytes) const {
        std::ofstream(m_folder / "pc" / name, std::ios::binary) << bytes;
    }
    // The exit status of the program the handset started last, once it has ended; empty, and
    // a failure, when it still runs after 15 s.
    std::string AwaitExit() const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        do {
            const std::string status = Read("exited");
            if (!status.empty() && status.back() == '\n')
                return status.substr(0, status.size() - 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < deadline);
        ADD_FAILURE() << "the handset's program had not ended 15 s after its start";
        return "";
    }
    std::string Read(const std::string& name) const {
        std::ifstream file(m_folder / name, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(m_folder / name); }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_previous;
};
