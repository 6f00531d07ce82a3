// Drives a common file dialog of this process from a second thread: waits for
// the dialog with the given title, types a file name and confirms or cancels.
#pragma once
#include <windows.h>

#include <string>

struct DialogScript {
    std::string title;   // the dialog's caption
    std::string typed;   // text for the file name box
    bool confirm = true; // OK, or Cancel
    bool found = false;  // set by the driver once it saw the dialog
};

// Starts the driver thread; join it with WaitForSingleObject and CloseHandle.
HANDLE dialog_driver_start(DialogScript *script);

// An HDROP as the shell builds it for WM_DROPFILES: a DROPFILES header and the
// paths, each zero-terminated, with an empty one at the end.
HDROP make_hdrop(const std::initializer_list<std::string> &paths);
