#include "WelcomeImage.h"

#include <cstdio>
#include <memory>
#include <new>

#include "ImageType.h"
#include "UpdateImage.h"

WelcomeImageCheck CheckWelcomeImage(const std::string& path) {
    WelcomeImageCheck check;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return check;
    check.outcome = ImageCheckOutcome::Unreadable;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[WELCOME_READ_SIZE]());
    const bool read = buffer && std::fseek(file, 0, SEEK_SET) == 0 &&
                      std::fread(buffer.get(), 1, WELCOME_READ_SIZE, file) == WELCOME_READ_SIZE;
    std::fclose(file);
    if (!read)
        return check;
    check.outcome = ImageCheckOutcome::Read;
    check.updateMode = buffer[OFFSET_UPDATE_MODE];
    check.imageType = RecognizeImageType(buffer.get());
    return check;
}

void RememberImageCheck(WizardState& state, const WelcomeImageCheck& check) {
    if (check.outcome != ImageCheckOutcome::Read)
        return;
    state.imageType = check.imageType;
    state.updateMode = check.updateMode;
}
