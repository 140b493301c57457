#pragma once

#include <string>

// Where each control of the wizard's pages leads. Pages never return to an earlier page
// object: a move ends the current page and runs the next one from inside the handler, so the
// runs nest, and the chain ends when the newest page ends without a successor.

// The pages with a choice to make; the error page and the wait windows only ever end.
enum class WizardPage { Welcome, Preparation };

enum class PageControl { Next, Back, Cancel };

enum class PageMove {
    Stay,                 // nothing happens: the page stays as it is
    EndChain,             // the page ends; with it the whole wizard
    NewWelcome,           // the page ends and a fresh welcome page runs
    Preparation,          // the page ends and a preparation page runs
    PreparationProcedure, // the page ends, the preparation procedure runs and its road follows
};

// The move that `control` makes on `page`. `boxTicked` is the page's check box: Next leads on
// only when it is ticked, however the click arrived.
PageMove MoveFor(WizardPage page, PageControl control, bool boxTicked);

// The two wait windows: the connect-the-handset window for the thread argument "SUPER"
// (exactly, case-sensitive), the verifying window for anything else.
enum class WaitWindowKind { Verifying, ConnectHandset };
WaitWindowKind WaitWindowKindFor(const wchar_t* argument);

// The error page's two texts for a mode: 1, 2, or any other value.
struct ErrorPageTexts {
    std::wstring explanation; // control 1021
    std::wstring checklist;   // caption of group box 1023
};
ErrorPageTexts ErrorTextsFor(int mode);
