#pragma once

#include "HandsetAccess.h"

// The handset link over RAPI2: the first handset that ActiveSync reports, through the platform's
// COM class. Without that class registered (no desktop sync software) no handset ever answers.
class RapiLink : public HandsetLink {
public:
    std::unique_ptr<HandsetSession> Connect() override;
    bool ReadPcFile(const wchar_t* name, std::vector<uint8_t>& bytes) override;
    void Pause(uint32_t milliseconds) override;
};

// The wizard's handset operations: one for the whole process, so the version text it hands out
// stays valid until the process ends.
HandsetOperations& TheHandsetOperations();
