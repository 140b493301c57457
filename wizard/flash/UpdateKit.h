#pragma once

#include <functional>
#include <string>

#include "ImageLoader.h"
#include "UpdateImage.h"

constexpr const char* UPDATE_IMAGE_NAME = "WMUPDAT.DIP";
constexpr const char* IPL_IMAGE_NAME = "WMIPL.DIP";

enum class KitOutcome { Missing, NotLoaded, Loaded };

// Reads the kit's two image files whole into the records: the optional IPL image (absent,
// unreadable or unloadable all leave the IPL record without data, silently) and the update
// image, whose fate is the outcome. `directory` empty means the current directory.
// `measured`, when given, is called once the update image has been measured and before its
// buffer is obtained: reading a large image whole takes a moment worth telling the user about.
KitOutcome ReadUpdateKit(CImageLoader& loader, ImageRecord& ipl, ImageRecord& update,
                         const std::string& directory = std::string(),
                         const std::function<void()>& measured = nullptr);

// `name` inside `directory`, or `name` alone when `directory` is empty.
std::string KitPath(const std::string& directory, const char* name);
