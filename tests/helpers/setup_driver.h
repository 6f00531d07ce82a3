// Finds and drives the installer's pages and message boxes, in this process
// or in a Setup.exe started by the test, as a person would.
#pragma once
#include <windows.h>

#include <string>

// A visible dialog of process pid (0: any) whose caption is title (null: any)
// and that holds control id, waited for up to ms milliseconds. With text set
// the control must also show that text.
HWND wait_dialog(DWORD pid, const char *title, int id, const char *text, DWORD ms);
std::string item_text(HWND dialog, int id);
bool item_enabled(HWND dialog, int id);
// Presses a button as a click would: WM_COMMAND with BN_CLICKED, posted.
void press(HWND dialog, int id);

// Runs a shell script on the Unix side (Wine makes no links itself) and
// returns once it has ended. Quote paths in it with single quotes.
void unix_run(const std::string &script);
// The Unix path of a Windows path.
std::string unix_path(const std::string &dos);

// What a shell link holds.
struct LinkInfo {
    std::string target, arguments, description;
    int show = 0;
};
// Reads a .lnk file through the shell's link object; false when it cannot.
bool read_link(const std::string &path, LinkInfo *info);

// Rewrites the fixed file version in a program's version resource.
bool set_file_version(const std::string &path, WORD major, WORD minor, WORD build, WORD revision);
// How many visible top-level windows process pid has.
int visible_windows(DWORD pid);
// text in single quotes for the Unix shell, quotes inside it escaped.
std::string sh_quote(const std::string &text);

// Replaces the UTF-16 text from inside the program's own version block with
// to (of the same length), as a forger would.
bool forge_version_string(const std::string &path, const wchar_t *from, const char *to);
