// The installer program: its run state, windows, pages and installation.
#pragma once
#include <windows.h>

// Resources of Setup.
enum {
    SETUP_RES_ICON = 101,
    SETUP_RES_HELP = 104,
    SETUP_RES_PLAYER = 106,
    SETUP_RES_BANNER = 113,
    SETUP_DLG_STATUS = 114,
    SETUP_DLG_WELCOME = 115,
    SETUP_DLG_LICENCE = 116,
    SETUP_DLG_FOLDER = 117,
    SETUP_DLG_FINISH = 118,
    SETUP_DLG_REMOVAL = 120,
    SETUP_RES_LICENCE = 121,
    SETUP_RES_BACKGROUND = 127,
};

// Controls of the pages.
enum {
    SETUP_ID_HEADING = 1000,
    SETUP_ID_ACCEPT = 1001,
    SETUP_ID_EDIT = 1002,
    SETUP_ID_RUN = 1003,
    SETUP_ID_BROWSE = 1004,
    SETUP_ID_TARGET = 1005,
    SETUP_ID_WARNING = 1006,
};

// The installation's folders below the chosen base folder, and the key whose
// default value names an earlier installation's folder.
extern const char SETUP_SUB_FOLDER[];
extern const char SETUP_KEY[];

// The run's shared state (MAX_PATH buffers).
extern HINSTANCE setup_instance;
extern char setup_module_path[MAX_PATH];
extern char setup_module_folder[MAX_PATH];
extern char setup_install_folder[MAX_PATH];
extern HWND glass_window;
extern HWND status_window;

// The whole program: the mutex, the modes, and the exit code.
int setup_main(HINSTANCE instance, const char *command_line);

// Background picture and glass window.
int load_background_picture(void);
void free_background_picture(void);
int create_glass_window(void);
// Paints the picture letter-boxed into a client area of cw x ch.
void glass_paint(HDC dc, int cw, int ch);
// Destroys the glass window, repaints the desktop and lets messages run.
void close_glass_window(void);
// Whether the user closed the glass window: Setup then ends where it is, and
// every page, box and step after it is skipped.
int setup_cancelled(void);
void center_window(HWND window, HWND reference);

// Status window over the glass window.
void open_status(const char *text);
void status_text(const char *text);
void status_show(int show);
void close_status(void);

// Pages, each modal over the glass window. They return the page's result:
// welcome, licence and removal 1 to go on, else 0; the folder page starts
// with folder's text, copies what was typed (at most 119 characters, empty
// when the code page cannot hold it) into folder (MAX_PATH bytes) and returns
// 1 on "Next", 0 on "Prev"; the finish page returns 1 when its run box is
// checked.
int page_welcome(void);
int page_licence(void);
int page_folder(char *folder);
int page_finish(void);
int page_removal(void);

// The length of the agreement in the licence resource: up to its first
// section sign (the notes after it are not the agreement), or without one
// all but the last byte.
size_t licence_length(const char *bytes, size_t size);

// A message box owned by the glass window, the status window hidden meanwhile.
int setup_message(const char *text, const char *title, UINT style);

// Installation.
int folder_writable(const char *folder);
// Major, minor, build and revision of a file's version resource; 0 without one.
int read_file_version(const char *path, WORD version[4]);
int write_payload_file(int resource, const char *target);
int create_shortcut(const char *link, const char *target, const char *arguments, const char *description,
                    int show);
// The installation folder for a typed base folder: trailing spaces and
// separators trimmed, then "Ostrel's Lab\Quorva Media" appended. 0 when the
// base is not an absolute path or the result would not fit.
int install_folder_for(const char *typed, char *folder);
// The interactive installation, from the welcome page to the end.
int install_run(void);

// The entry in the system's list of installed programs (under
// UNINSTALL_KEY of the local machine, or of the user when that cannot be
// written): name, version, publisher, folder, icon and the removal command.
extern const char UNINSTALL_KEY[];
int write_uninstall_entry(const char *folder);
void remove_uninstall_entry(void);

// "Open with": Applications\Player.exe (friendly name, supported types, open
// command), the ProgID SETUP_PROGID (icon, open command) and the ProgID under
// each of SETUP_MEDIA_TYPES' OpenWithProgids, all machine-wide; no default
// association. Removal deletes what was written for this folder only.
extern const char SETUP_PROGID[];
extern const char *const SETUP_MEDIA_TYPES[];  // ending with a null
int write_open_with(const char *folder);
void remove_open_with(const char *folder);

// An earlier installation: its Setup.exe and folder (MAX_PATH each, the full
// path judged) from the places Setup records one, each judged an
// installation of ours; 0 when none.
int find_old_setup(char *setup_path, char *folder);
// Whether a version (major, minor, build, revision) counts as newer than 2.0.
int version_is_newer(const WORD version[4]);
int installed_version_is_newer(void);
// Runs an old installation's silent removal and deletes what it leaves, and
// the key; 0 when there is none (nothing is run or deleted).
int remove_old_installation(void);

// The guards on deletion. A program is ours when its version resource names
// the product and its maker; a folder is an installation when its full path
// ends in "Quorva Media", it holds Setup.exe and Player.exe of ours, and it is
// neither a root nor a system, program-files, profile or temporary folder nor
// a parent of one. The full path judged goes into judged (MAX_PATH, may be
// null): that path, not the text given, is the one to delete.
int program_is_ours(const char *path);
int installation_folder_ok(const char *folder, char *judged);
// Removes the emptied parents of folder named for the maker or product.
void remove_named_parents(const char *folder);

// Processes running a program file, given by its full path, or by its bare
// name for a program of the Windows folder (the help viewer, "hh.exe", of
// either kind). The first one, opened with full access, or null.
HANDLE find_process_by_path(const char *name);
// Ends them all, in a bounded number of rounds, passing over those that will
// not end; how many ended.
int kill_processes(const char *name);

// Removal.
void stop_player_and_help(const char *folder);
void remove_shell_entries(void);
// " /erase_me "folder"" into line (256 bytes); 0 when it would not fit.
int hand_over_line(const char *folder, char *line);
// The removal page and its run; the removal an upgrade asks for (no window);
// the self-erase of the folder named on the command line (always -99).
// The first two hand over to the temporary copy and end the process.
int removal_run(void);
int removal_for_upgrade(void);
int self_erase(const char *command_line);
