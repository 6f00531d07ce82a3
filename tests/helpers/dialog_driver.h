// Drives a common file dialog of this process from a second thread: waits for
// the dialog with the given title, types a file name and confirms or cancels.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct DialogScript {
    std::string title;   // the dialog's caption
    std::string typed;   // text for the file name box
    bool confirm = true; // OK, or Cancel
    bool found = false;  // set by the driver once it saw the dialog
    // What the driver read off the dialog before acting on it:
    std::vector<std::string> file_types;  // the file-type list, in order
    int file_type = -1;                   // the selected file type (0-based)
    int read_only = -1;                   // the read-only box: 1 checked, 0 not, -1 absent or hidden
};

// Starts the driver thread; join it with WaitForSingleObject and CloseHandle.
HANDLE dialog_driver_start(DialogScript *script);

// An HDROP as the shell builds it for WM_DROPFILES: a DROPFILES header and the
// paths, each zero-terminated, with an empty one at the end.
HDROP make_hdrop(const std::initializer_list<std::string> &paths);
