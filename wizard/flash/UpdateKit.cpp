#include "UpdateKit.h"

#include <cstdio>
#include <new>

namespace {

bool CanOpen(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

// Measures and loads one file into a record. False leaves the record without data.
bool LoadWhole(CImageLoader& loader, ImageRecord& record, const std::string& path,
               const std::function<void()>& measured = nullptr) {
    record.Release();
    loader.SetType(CImageLoader::TYPE_RAW);
    record.size = loader.Measure(path.c_str());
    // A failed measure says 0xFFFFFFFF: no buffer of that size is worth asking for.
    if (record.size == 0xFFFFFFFF)
        return false;
    if (measured)
        measured();
    record.data.reset(new (std::nothrow) uint8_t[record.size ? record.size : 1]);
    if (!record.data)
        return false;
    if (!loader.Load(record.data.get(), path.c_str())) {
        record.Release();
        return false;
    }
    return true;
}

} // namespace

std::string KitPath(const std::string& directory, const char* name) {
    if (directory.empty())
        return name;
    char last = directory.back();
    return directory + (last == '/' || last == '\\' ? "" : "/") + name;
}

KitOutcome ReadUpdateKit(CImageLoader& loader, ImageRecord& ipl, ImageRecord& update,
                         const std::string& directory, const std::function<void()>& measured) {
    const std::string iplPath = KitPath(directory, IPL_IMAGE_NAME);
    if (CanOpen(iplPath))
        LoadWhole(loader, ipl, iplPath);

    const std::string updatePath = KitPath(directory, UPDATE_IMAGE_NAME);
    if (!CanOpen(updatePath))
        return KitOutcome::Missing;
    return LoadWhole(loader, update, updatePath, measured) ? KitOutcome::Loaded
                                                           : KitOutcome::NotLoaded;
}
