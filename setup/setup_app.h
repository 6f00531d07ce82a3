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
    SETUP_ID_WARNING = 1006,
};

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
void center_window(HWND window, HWND reference);

// Status window over the glass window.
void open_status(const char *text);
void status_text(const char *text);
void status_show(int show);
void close_status(void);

// Pages, each modal over the glass window. They return the page's result:
// welcome, licence and removal 1 to go on, else 0; the folder page copies its
// text (at most 119 characters) into folder (120 bytes) and returns 1 on
// "Next", 0 on "Prev"; the finish page returns 1 when its run box is checked.
int page_welcome(void);
int page_licence(void);
int page_folder(char *folder);
int page_finish(void);
int page_removal(void);

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
