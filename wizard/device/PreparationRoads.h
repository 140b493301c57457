#pragma once

#include <cstdint>

class HandsetAccess;

// The windows the preparation procedure shows and the pauses it makes. The Win32 wizard shows
// real pages; tests record what was asked.
class PreparationSteps {
public:
    virtual ~PreparationSteps();

    // Ends the preparation page (cancel): it hides now, and its run ends when the procedure
    // returns.
    virtual void EndPreparationPage() = 0;
    // Starts a wait-window thread with `argument` ("NORMAL" or "SUPER") and holds it until it
    // is ended or handed to an update page.
    virtual void StartWaitWindow(const wchar_t* argument) = 0;
    virtual void EndWaitWindow() = 0;
    // The update pages each take over the wait-window thread held now.
    virtual void RunRescueUpdatePage() = 0;
    virtual void RunNormalUpdatePage(const wchar_t* handsetVersion) = 0; // may be null
    virtual void RunErrorPage(int mode) = 0;
    // A message box with an OK button, topmost.
    virtual void ShowMessage(const wchar_t* text, const wchar_t* caption) = 0;
    virtual void Pause(uint32_t milliseconds) = 0;
};

// What the preparation page's Next does: reads what the handset answers over ActiveSync and
// takes one of the roads that follow (rescue update page, normal update page, error page, or
// the low-battery warning), ending the preparation page first. `updateMode` is the remembered
// update mode, which chooses the switch tool's argument.
void RunPreparationRoads(HandsetAccess& handset, PreparationSteps& steps, uint8_t updateMode);
