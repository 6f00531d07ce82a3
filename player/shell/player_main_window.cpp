// The main window: menu commands, dropped files, minimum size and closing.
// It draws nothing itself; the class brush fills what the children leave.
#include "player.h"

#include <shellapi.h>

#include "playlist.h"
#include "sonmoor.h"
#include "ui_windows.h"

const char player_home_page[] = "https://www.quorvamedia.com/quorva_media.php";

static const double PLAYER_SKIP_SECONDS = 10.0;
static const double PLAYER_RESTART_AFTER = 10.0;  // Prev Track restarts the entry past this

static void player_play_current(void)
{
    snm_open(playlist_current_path());
    snm_play();
}

static void player_repaint_now(HWND w)
{
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
}

static void main_on_command(HWND hwnd, int id)
{
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
        // Exit, Open Disc, Open Device, On Top, Aspect Ratio, Video Effects,
        // Subtitles, Equalizer, Use DirectX9 VMR and Sort have no action.
        return;
    }
}

static void main_on_dropfiles(HDROP drop)
{
    playlist_add_dropped(drop);
    player_repaint_now(playlist_window);
    if (!snm_is_playing()) player_play_current();
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
    case WM_COMMAND:
        main_on_command(hwnd, LOWORD(wp));
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
