// The main window: menu commands, dropped files, minimum size and closing.
// It draws nothing itself; the class brush fills what the children leave.
#include "player.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "path_name.h"
#include "playlist.h"
#include "sonmoor.h"
#include "ui_windows.h"

const char player_home_page[] = "https://www.quorvamedia.com/quorva_media.php";

static const double PLAYER_SKIP_SECONDS = 10.0;
static const double PLAYER_RESTART_AFTER = 10.0;  // Prev Track restarts the entry past this
static const double PLAYER_VOLUME_STEP = 0.05;
static const char PLAYER_NAME[] = "Quorva Media Player";

int player_repeat_track;

void player_update_caption(void)
{
    char path[SNM_PATH_CHARS], caption[SNM_PATH_CHARS + sizeof PLAYER_NAME + 3], shown[sizeof caption];
    if (!main_window) return;
    if (snm_is_open() && snm_current_path(path)) {
        snprintf(caption, sizeof caption, "%s - %s", path_file_name(path), PLAYER_NAME);
    } else {
        lstrcpynA(caption, PLAYER_NAME, sizeof caption);
    }
    GetWindowTextA(main_window, shown, sizeof shown);
    if (strcmp(shown, caption)) SetWindowTextA(main_window, caption);
}

static void player_play_current(void)
{
    snm_open(playlist_current_path());
    snm_play();
    player_update_caption();
}

static void player_repaint_now(HWND w)
{
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
}

static void main_toggle_on_top(HWND hwnd)
{
    int on = !(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    SetWindowPos(hwnd, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    CheckMenuItem(GetMenu(hwnd), PLAYER_CMD_ON_TOP, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

static void main_set_aspect(HWND hwnd, int id)
{
    snm_set_keep_aspect(id == PLAYER_CMD_ASPECT_ORIGINAL);
    CheckMenuRadioItem(GetMenu(hwnd), PLAYER_CMD_ASPECT_NONE, PLAYER_CMD_ASPECT_ORIGINAL, id, MF_BYCOMMAND);
}

static void main_toggle_repeat(HWND hwnd)
{
    player_repeat_track = !player_repeat_track;
    CheckMenuItem(GetMenu(hwnd), PLAYER_CMD_REPEAT_TRACK,
                  MF_BYCOMMAND | (player_repeat_track ? MF_CHECKED : MF_UNCHECKED));
    player_repaint_now(controls_window);
}

// Window, view, sound and sorting commands beyond the transport and playlist
// ones.
static int main_on_extra_command(HWND hwnd, int id)
{
    switch (id) {
    case PLAYER_CMD_EXIT:
        SendMessageA(hwnd, WM_CLOSE, 0, 0);  // exactly as the close box
        return 1;
    case PLAYER_CMD_ON_TOP:
        main_toggle_on_top(hwnd);
        return 1;
    case PLAYER_CMD_ASPECT_NONE:
    case PLAYER_CMD_ASPECT_ORIGINAL:
        main_set_aspect(hwnd, id);
        return 1;
    case PLAYER_CMD_REPEAT_TRACK:
        main_toggle_repeat(hwnd);
        return 1;
    case PLAYER_CMD_VOLUME_UP:
    case PLAYER_CMD_VOLUME_DOWN:
        snm_set_volume(snm_get_volume() + (id == PLAYER_CMD_VOLUME_UP ? PLAYER_VOLUME_STEP : -PLAYER_VOLUME_STEP));
        player_repaint_now(controls_window);
        return 1;
    case PLAYER_CMD_MUTE:
        snm_set_mute(!snm_get_mute());
        player_repaint_now(controls_window);
        return 1;
    case PLAYER_CMD_FULL_SCREEN:
        snm_set_fullscreen(!snm_is_fullscreen());
        return 1;
    case PLAYER_CMD_MEDIA_KEYS:
        player_set_media_keys(hwnd, !player_media_keys_anywhere);
        return 1;
    case PLAYER_CMD_SORT_RANDOM:
    case PLAYER_CMD_SORT_FILE:
    case PLAYER_CMD_SORT_TITLE:
    case PLAYER_CMD_SORT_ARTIST:
        playlist_sort(id == PLAYER_CMD_SORT_RANDOM  ? PLAYLIST_SORT_RANDOM
                      : id == PLAYER_CMD_SORT_FILE  ? PLAYLIST_SORT_FILE
                      : id == PLAYER_CMD_SORT_TITLE ? PLAYLIST_SORT_TITLE
                                                    : PLAYLIST_SORT_ARTIST);
        player_repaint_now(playlist_window);
        return 1;
    }
    return 0;
}

static void main_on_command(HWND hwnd, int id)
{
    if (main_on_extra_command(hwnd, id)) return;
    switch (id) {
    case PLAYER_CMD_OPEN_FILE:
        if (!playlist_open_dialog(hwnd)) return;
        player_repaint_now(playlist_window);
        if (!snm_is_playing()) player_play_current();
        return;
    case PLAYER_CMD_PLAY:
        if (snm_is_playing())
            snm_pause();
        else if (!snm_is_open())
            player_play_current();
        else
            snm_play();
        return;
    case PLAYER_CMD_STOP:
        snm_stop();
        return;
    case PLAYER_CMD_NEXT_TRACK:
        playlist_step(1);
        player_repaint_now(playlist_window);
        player_play_current();
        return;
    case PLAYER_CMD_PREV_TRACK:
        if (snm_get_position() > PLAYER_RESTART_AFTER) {
            snm_seek(0.0);
            return;
        }
        playlist_step(-1);
        player_repaint_now(playlist_window);
        player_play_current();
        return;
    case PLAYER_CMD_PLAYLIST_ADD:
        playlist_open_dialog(hwnd);
        InvalidateRect(playlist_window, nullptr, FALSE);
        return;
    case PLAYER_CMD_PLAYLIST_DELETE:
        playlist_remove_selected();
        InvalidateRect(playlist_window, nullptr, FALSE);
        return;
    case PLAYER_CMD_PLAYLIST_EXPORT:
        playlist_save_dialog(hwnd);
        return;
    case PLAYER_CMD_ABOUT:
        DialogBoxParamA(player_instance, MAKEINTRESOURCEA(ABOUT_DIALOG_RESOURCE), hwnd, player_about_proc, 0);
        return;
    case PLAYER_CMD_CLOSE:
        snm_stop();
        snm_close();
        player_update_caption();
        return;
    case PLAYER_CMD_HOME_PAGE:
        ShellExecuteA(hwnd, "open", player_home_page, nullptr, nullptr, SW_SHOW);
        return;
    case PLAYER_CMD_PLAYLIST_CLEAR:
        playlist_clear();
        InvalidateRect(playlist_window, nullptr, FALSE);
        return;
    case PLAYER_CMD_SKIP_REVERSE:
        snm_seek(snm_get_position() - PLAYER_SKIP_SECONDS);
        player_repaint_now(controls_window);
        return;
    case PLAYER_CMD_SKIP_FORWARD:
        snm_seek(snm_get_position() + PLAYER_SKIP_SECONDS);
        player_repaint_now(controls_window);
        return;
    default:
        // Open Disc, Open Device, Video Effects, Subtitles, Equalizer and Use
        // DirectX9 VMR are greyed in the menu: nothing backs them yet.
        return;
    }
}

static void main_on_dropfiles(HDROP drop)
{
    playlist_add_dropped(drop);
    player_repaint_now(playlist_window);
    if (!snm_is_playing()) player_play_current();
}

// A media key pressed inside the player: the command it stands for.
static LRESULT main_on_appcommand(HWND hwnd, WPARAM wp, LPARAM lp)
{
    int command = player_command_for_appcommand(GET_APPCOMMAND_LPARAM(lp));
    if (!command) return DefWindowProcA(hwnd, WM_APPCOMMAND, wp, lp);
    if (command > 0) main_on_command(hwnd, command);
    return TRUE;
}

// Files another instance hands over join the playlist; the first plays when
// nothing does. FALSE, with nothing changed, for a block that is not one.
static LRESULT main_on_copydata(const COPYDATASTRUCT *cd)
{
    int first = player_on_copydata(cd);
    if (first < 0) return FALSE;
    player_repaint_now(playlist_window);
    if (!snm_is_playing()) {
        playlist_current = first;
        player_play_current();
    }
    return TRUE;
}

static LRESULT main_on_size(HWND hwnd, WPARAM wp, LPARAM lp)
{
    player_layout_children(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
    ShowOwnedPopups(hwnd, wp == SIZE_MINIMIZED ? FALSE : TRUE);
    return DefWindowProcA(hwnd, WM_SIZE, wp, lp);
}

LRESULT CALLBACK player_main_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        player_center_window(hwnd, GetDesktopWindow());
        return 1;
    case WM_SIZE:
        return main_on_size(hwnd, wp, lp);
    case WM_SIZING:
        player_enforce_min_size((RECT *)lp);
        return TRUE;
    case WM_DROPFILES:
        main_on_dropfiles((HDROP)wp);
        return 0;
    case WM_COMMAND:  // menu, keys, and the thumbnail buttons (THBN_CLICKED)
        main_on_command(hwnd, LOWORD(wp));
        return 0;
    case WM_APPCOMMAND:
        return main_on_appcommand(hwnd, wp, lp);
    case WM_HOTKEY:
        if (int command = player_command_for_hotkey((int)wp)) main_on_command(hwnd, command);
        return 0;
    case WM_COPYDATA:
        return main_on_copydata((const COPYDATASTRUCT *)lp);
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        player_set_media_keys(hwnd, 0);
        player_taskbar_release();
        PostQuitMessage(0);
        return 0;
    }
    if (msg == player_taskbar_created_message && msg) {
        player_taskbar_create(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
