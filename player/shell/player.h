// The player's entry, its windows and the small file operations other parts use.
#pragma once
#include <windows.h>
#include <stdint.h>

#define PLAYER_PATH_CHARS 260

#define PLAYER_MENU_RESOURCE 101
#define PLAYER_ACCELERATORS_RESOURCE 101
#define PLAYER_ICON_RESOURCE 102

// The main window's menu commands that the player acts on; the controls
// strip posts some of them too.
enum {
    PLAYER_CMD_OPEN_FILE = 40002,
    PLAYER_CMD_PLAY = 40005,
    PLAYER_CMD_STOP = 40006,
    PLAYER_CMD_NEXT_TRACK = 40007,
    PLAYER_CMD_PREV_TRACK = 40008,
    PLAYER_CMD_PLAYLIST_ADD = 40017,
    PLAYER_CMD_PLAYLIST_DELETE = 40029,
    PLAYER_CMD_PLAYLIST_EXPORT = 40032,
    PLAYER_CMD_ABOUT = 40035,
    PLAYER_CMD_CLOSE = 40041,
    PLAYER_CMD_HOME_PAGE = 40052,
    PLAYER_CMD_PLAYLIST_CLEAR = 40054,
    PLAYER_CMD_SKIP_REVERSE = 40061,
    PLAYER_CMD_SKIP_FORWARD = 40062,
    PLAYER_CMD_ON_TOP = 40013,
    PLAYER_CMD_ASPECT_NONE = 40014,
    PLAYER_CMD_ASPECT_ORIGINAL = 40015,
    PLAYER_CMD_EXIT = 40055,
    PLAYER_CMD_SORT_RANDOM = 40057,
    PLAYER_CMD_SORT_FILE = 40058,
    PLAYER_CMD_SORT_ARTIST = 40059,
    PLAYER_CMD_SORT_TITLE = 40060,
    PLAYER_CMD_REPEAT_TRACK = 40070,
    PLAYER_CMD_VOLUME_UP = 40071,
    PLAYER_CMD_VOLUME_DOWN = 40072,
    PLAYER_CMD_MUTE = 40073,
    PLAYER_CMD_FULL_SCREEN = 40074,
    PLAYER_CMD_MEDIA_KEYS = 40075,
};

// Repeat Track: at the end of a file the viewport plays it again instead of
// stepping on. Shown by the fifth button's pressed face.
extern int player_repeat_track;

// The caption names the open file: "song.mp3 - Quorva Media Player", or the
// player's name alone when nothing is open.
void player_update_caption(void);

extern HINSTANCE player_instance;
extern HWND main_window;
extern HWND viewport_window;
extern HWND playlist_window;
extern HWND controls_window;

int player_create_windows(void);
int player_parse_command_line(const char *command_line, char *path_out);
int player_file_is_readable(const char *path);
int player_resolve_shortcut(char *target_out, const char *shortcut_path);

// Start-up, message loop and shutdown; what WinMain runs. Returns 0.
int player_run(HINSTANCE instance, const char *command_line);
// What the command line names: a playlist file or a folder is added to the
// playlist and its first entry played; a media file plays without entering
// the playlist. 1 when something started.
int player_open_command_line_path(const char *path);

LRESULT CALLBACK player_main_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Media keys. The menu command a WM_APPCOMMAND stands for (0 when not one of
// the player's; -1 for play or pause asked of what already does it). The
// hardware keys as hot keys while "Media keys anywhere" is on: registering
// (a key another program holds stays its own) or releasing them; how many
// the player holds. The command of a hot key of the player's, or 0.
extern int player_media_keys_anywhere;
int player_command_for_appcommand(int appcommand);
int player_set_media_keys(HWND main, int on);
int player_command_for_hotkey(int id);

// Taskbar: the message Explorer sends when the button is made, the thumbnail
// toolbar (Prev Track, Play/Pause, Next Track, sending those commands), and
// the progress: a TBPF_ state and a value of PLAYER_TASKBAR_STEPS for a
// position, normal while playing, paused while paused, none when stopped.
#define PLAYER_TASKBAR_STEPS 1000
extern UINT player_taskbar_created_message;
void player_taskbar_create(HWND main);
void player_taskbar_update(void);
void player_taskbar_release(void);
int player_taskbar_progress(double position, double duration, int playing, int open, unsigned long long *value);

// One player window for many files: a second instance hands the quoted
// readable paths of its command line (or, without any, the path it found) to
// the running player with WM_COPYDATA (1 when taken; it then exits). The block
// holds at most PLAYER_HANDOVER_PATHS zero-terminated paths of at most 259
// bytes; player_take_handover copies them out (0 for any other block), and
// player_on_copydata adds them, giving the index of the first or -1.
#define PLAYER_HANDOVER_TAG 0x51564D50u
#define PLAYER_HANDOVER_PATHS 32
int player_hand_over(const char *command_line, const char *path);
int player_take_handover(const void *data, DWORD size, char paths[][PLAYER_PATH_CHARS]);
int player_on_copydata(const COPYDATASTRUCT *cd);

// Window arrangement.
#define PLAYER_CONTROLS_HEIGHT 90
#define PLAYER_MIN_WIDTH 500
#define PLAYER_MIN_HEIGHT 400

extern int32_t playlist_width;  // the playlist column at the right, 200 at start

void player_layout_children(HWND main);
void player_enforce_min_size(RECT *proposed);
void player_center_window(HWND window, HWND reference);
int player_set_client_size(HWND window, int width, int height);

// The product's web page, opened by Help, Home Page.
extern const char player_home_page[];
