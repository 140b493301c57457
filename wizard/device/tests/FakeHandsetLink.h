#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HandsetLink.h"
#include "ScriptedHandset.h"

// A running handset behind the link, with a registry, a power status and files, and the PC's
// files beside it. Every call on it lands in `calls`, so tests see keys, sizes and the order of
// opening and closing.
class FakeHandsetLink : public HandsetLink {
public:
    std::unique_ptr<HandsetSession> Connect() override;
    bool ReadPcFile(const wchar_t* name, std::vector<uint8_t>& bytes) override {
        calls.push_back("read PC file " + Narrow(name));
        auto found = pcFiles.find(name);
        if (found == pcFiles.end())
            return false;
        bytes = found->second;
        return true;
    }
    void Pause(uint32_t milliseconds) override {
        calls.push_back("pause " + std::to_string(milliseconds));
    }

    void SetValue(const std::wstring& key, const std::wstring& name, std::vector<uint8_t> bytes) {
        registry[key][name] = std::move(bytes);
    }
    void SetText(const std::wstring& key, const std::wstring& name, const std::wstring& text,
                 bool terminated = true) {
        std::vector<uint8_t> bytes;
        for (wchar_t c : text) {
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(static_cast<uint8_t>(c >> 8));
        }
        if (terminated)
            bytes.insert(bytes.end(), {0, 0});
        SetValue(key, name, bytes);
    }

    bool present = true;
    std::map<std::wstring, std::map<std::wstring, std::vector<uint8_t>>> registry;
    bool hasPowerStatus = true;
    uint8_t percent = 100;
    std::map<std::wstring, std::vector<uint8_t>> files;
    bool failCreate = false;
    bool failWrite = false;
    bool failStart = false;
    std::map<std::wstring, std::vector<uint8_t>> pcFiles;
    Transcript calls;
    int openConnections = 0;
};

class FakeHandsetSession : public HandsetSession {
public:
    explicit FakeHandsetSession(FakeHandsetLink& handset) : m_handset(handset) {
        ++m_handset.openConnections;
    }
    ~FakeHandsetSession() override {
        --m_handset.openConnections;
        m_handset.calls.push_back("end connection");
    }

    bool OpenKey(const wchar_t* subKey, Key& key) override {
        m_handset.calls.push_back("open key " + Narrow(subKey));
        auto found = m_handset.registry.find(subKey);
        if (found == m_handset.registry.end())
            return false;
        m_keys.push_back(found->first);
        key = m_keys.size();
        return true;
    }
    bool QueryValue(Key key, const wchar_t* name, void* data, uint32_t& size) override {
        m_handset.calls.push_back("query " + Narrow(name) + " " + std::to_string(size));
        const auto& values = m_handset.registry[m_keys.at(key - 1)];
        auto found = values.find(name);
        if (found == values.end() || found->second.size() > size)
            return false;
        std::copy(found->second.begin(), found->second.end(), static_cast<uint8_t*>(data));
        size = static_cast<uint32_t>(found->second.size());
        return true;
    }
    void CloseKey(Key) override { m_handset.calls.push_back("close key"); }
    bool BatteryLifePercent(uint8_t& percent) override {
        m_handset.calls.push_back("power status");
        percent = m_handset.percent;
        return m_handset.hasPowerStatus;
    }
    bool CreateHandsetFile(const wchar_t* name, File& file) override {
        m_handset.calls.push_back("create " + Narrow(name));
        if (m_handset.failCreate)
            return false;
        m_created = name;
        m_handset.files[m_created].clear();
        file = 1;
        return true;
    }
    bool WriteHandsetFile(File, const void* data, uint32_t size) override {
        m_handset.calls.push_back("write " + std::to_string(size));
        if (m_handset.failWrite)
            return false;
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        m_handset.files[m_created].assign(bytes, bytes + size);
        return true;
    }
    void CloseHandsetFile(File) override { m_handset.calls.push_back("close file"); }
    bool StartProcess(const wchar_t* application, const wchar_t* commandLine) override {
        m_handset.calls.push_back("start " + Narrow(application) + " " + Narrow(commandLine));
        return !m_handset.failStart && m_handset.files.count(application) != 0;
    }

private:
    FakeHandsetLink& m_handset;
    std::vector<std::wstring> m_keys;
    std::wstring m_created;
};

inline std::unique_ptr<HandsetSession> FakeHandsetLink::Connect() {
    calls.push_back("connect");
    if (!present)
        return nullptr;
    return std::make_unique<FakeHandsetSession>(*this);
}
