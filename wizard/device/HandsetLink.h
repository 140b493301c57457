#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// One connection to the running handset over ActiveSync, set up and ready for calls. Ending
// it (destroying the object) ends the connection. Every call reaches the handset afresh.
class HandsetSession {
public:
    virtual ~HandsetSession();

    typedef uintptr_t Key;
    typedef uintptr_t File;

    // Opens `subKey` under the handset's HKEY_LOCAL_MACHINE, options 0 and access mask 0.
    virtual bool OpenKey(const wchar_t* subKey, Key& key) = 0;
    // Reads the value `name` into `data`, offering `size` bytes; `size` becomes the number of
    // bytes the handset wrote. False when the value is missing or larger than offered. The
    // value's type is not asked for.
    virtual bool QueryValue(Key key, const wchar_t* name, void* data, uint32_t& size) = 0;
    virtual void CloseKey(Key key) = 0;

    // The main battery's life percentage from a fresh power status (0..100, 255 when the
    // handset cannot tell). False when the status cannot be read.
    virtual bool BatteryLifePercent(uint8_t& percent) = 0;

    // Creates `name` for writing, replacing any file of that name.
    virtual bool CreateHandsetFile(const wchar_t* name, File& file) = 0;
    // Writes all of `size` bytes with one call.
    virtual bool WriteHandsetFile(File file, const void* data, uint32_t size) = 0;
    virtual void CloseHandsetFile(File file) = 0;

    // Starts `application` with `commandLine` and lets it run on its own.
    virtual bool StartProcess(const wchar_t* application, const wchar_t* commandLine) = 0;
};

// What the handset operations stand on: connections to the first handset on ActiveSync, the
// PC's files and the calling thread's pauses. The Win32 provider speaks RAPI2; tests script it.
class HandsetLink {
public:
    virtual ~HandsetLink();

    // A connection to the first connected handset, or null when none answers.
    virtual std::unique_ptr<HandsetSession> Connect() = 0;

    // Reads an existing PC file whole (opened for reading, sharing reading).
    virtual bool ReadPcFile(const wchar_t* name, std::vector<uint8_t>& bytes) = 0;

    // Blocks the calling thread for `milliseconds`.
    virtual void Pause(uint32_t milliseconds) = 0;
};
