#pragma once

// The application: start-up only. It guards against a second running copy, prepares the
// platform and runs the page chain, whose first page is the main window.
class CNemDirivedaApp {
public:
    // Runs the whole program; returns when the wizard's last page has closed, or at once for
    // a second copy or a failed start-up.
    bool InitInstance();
};

extern CNemDirivedaApp theApp;
