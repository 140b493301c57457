#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "HandsetAccess.h"
#include "PreparationRoads.h"

// One transcript for the handset's answers and the procedure's windows, in the order they
// happened.
typedef std::vector<std::string> Transcript;

inline std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += static_cast<char>(*text);
    return out;
}

// A handset whose answers the test queues, one per read; a read past the script finds no
// handset (-2, percentage 0).
class ScriptedHandset : public HandsetAccess {
public:
    explicit ScriptedHandset(Transcript& transcript) : m_log(transcript) {}

    const wchar_t* ReadHandsetVersion() override {
        m_log.push_back(std::string("version ") + (version ? Narrow(version) : "none"));
        return version;
    }
    int32_t ReadBatteryCharge() override {
        const int32_t charge = Take(charges, -2);
        m_log.push_back("charge " + std::to_string(charge));
        return charge;
    }
    uint32_t ReadBatteryPercent() override {
        const uint32_t percent = Take(percents, 0u);
        m_log.push_back("percent " + std::to_string(percent));
        return percent;
    }
    int StartSwitchTool(uint8_t updateMode) override {
        m_log.push_back("switch tool " + Narrow(SwitchToolArgument(updateMode)) +
                        (startSucceeds ? " started" : " failed"));
        return startSucceeds ? 1 : 0;
    }

    const wchar_t* version = nullptr;
    std::deque<int32_t> charges;
    std::deque<uint32_t> percents;
    bool startSucceeds = true;

private:
    template <typename T> static T Take(std::deque<T>& queue, T otherwise) {
        if (queue.empty())
            return otherwise;
        const T value = queue.front();
        queue.pop_front();
        return value;
    }
    Transcript& m_log;
};

// Records every window the procedure asks for and every pause.
class RecordingSteps : public PreparationSteps {
public:
    explicit RecordingSteps(Transcript& transcript) : m_log(transcript) {}

    void EndPreparationPage() override { m_log.push_back("end preparation page"); }
    void StartWaitWindow(const wchar_t* argument) override {
        m_log.push_back("wait window " + Narrow(argument));
    }
    void EndWaitWindow() override { m_log.push_back("end wait window"); }
    void RunRescueUpdatePage() override { m_log.push_back("rescue update page"); }
    void RunNormalUpdatePage(const wchar_t* handsetVersion) override {
        m_log.push_back("normal update page " +
                        (handsetVersion ? std::string("\"") + Narrow(handsetVersion) + "\""
                                        : std::string("without version")));
    }
    void RunErrorPage(int mode) override { m_log.push_back("error page " + std::to_string(mode)); }
    void ShowMessage(const wchar_t* text, const wchar_t* caption) override {
        m_log.push_back("message [" + Narrow(caption) + "] " + Narrow(text));
    }
    void Pause(uint32_t milliseconds) override {
        m_log.push_back("pause " + std::to_string(milliseconds));
    }

private:
    Transcript& m_log;
};
