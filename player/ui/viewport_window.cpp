// The video viewport: hosts the media engine's video window, shows the splash
// on black when no video covers it, and turns graph events into the player's
// end-of-track advance.
#include "player.h"
#include "playlist.h"
#include "skin.h"
#include "sonmoor.h"
#include "ui_paint.h"
#include "ui_windows.h"

PxmSurface viewport_back_buffer;

#define VIEWPORT_MIN_SIDE 4
#define VIEWPORT_MAX_SIDE 99999
#define SPLASH_WIDTH 320
#define SPLASH_HEIGHT 240

static void viewport_on_size(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    snm_set_video_rect(&rc);
    InvalidateRect(hwnd, nullptr, FALSE);
}

// Black with the splash centred; a viewport smaller than the splash cuts it
// off equally on every side.
static void viewport_compose(int w, int h)
{
    PxmSurface *bb = &viewport_back_buffer;
    if (pxm_surface_lock(bb, 0)) {
        pxm_fill_rect(bb, 0, 0, w - 1, h - 1, 0x00000000, PXM_CLIP);
        pxm_surface_unlock(bb, 0);
    }
    int x = (w - SPLASH_WIDTH) / 2, y = (h - SPLASH_HEIGHT) / 2;
    pxm_copy(bb, x, y, x + SPLASH_WIDTH - 1, y + SPLASH_HEIGHT - 1, &player_skin.splash, 0, 0, SPLASH_WIDTH - 1,
             SPLASH_HEIGHT - 1, PXM_CLIP);
}

static void viewport_on_paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    int w = client.right - client.left, h = client.bottom - client.top;
    if (w < VIEWPORT_MIN_SIDE || h < VIEWPORT_MIN_SIDE || w > VIEWPORT_MAX_SIDE || h > VIEWPORT_MAX_SIDE) {
        EndPaint(hwnd, &ps);
        return;
    }
    RECT paint = ps.rcPaint;
    PxmSurface *bb = &viewport_back_buffer;
    if (!pxm_surface_validate(bb, 0) || bb->width != w || bb->height != h) {
        pxm_surface_free(bb, 0);
        if (!ui_surface_fits(w, h) || !pxm_surface_create(bb, w, h, 0)) {
            EndPaint(hwnd, &ps);
            return;
        }
        paint = client;  // a new buffer holds nothing yet
    }
    ui_clip_to_paint(&paint, &client);
    viewport_compose(w, h);
    ui_present(dc, &paint, &client, bb);
    EndPaint(hwnd, &ps);
}

static void viewport_on_lbuttondown(HWND hwnd)
{
    SetFocus(hwnd);
    snm_set_fullscreen(!snm_is_fullscreen());
}

// Events are fetched here but handled one per message, behind whatever the
// queue already holds, so the advance never runs inside DirectShow's notify.
static void viewport_on_media_notify(HWND hwnd)
{
    int kind = 0;
    while (snm_poll_event(&kind)) {
        Sleep(0);
        PostMessageA(hwnd, WM_APP_MEDIA_EVENT, (WPARAM)kind, 0);
        kind = 0;
    }
}

// The only place the player moves on by itself; it always wraps, so a list
// plays round and round until stopped. With Repeat Track on, the file that
// ended plays again from its start instead.
static void viewport_on_track_complete(void)
{
    snm_stop();
    if (player_repeat_track && snm_is_open()) {
        snm_play();
        return;
    }
    if (playlist_count < 1) return;
    playlist_step(1);
    snm_open(playlist_current_path());
    snm_play();
    player_update_caption();
}

static void viewport_on_media_event(WPARAM kind)
{
    switch (kind) {
    case SNM_EVENT_COMPLETE:
        viewport_on_track_complete();
        return;
    case SNM_EVENT_STATE_CHANGE:
        PostMessageA(playlist_window, WM_APP_PLAYLIST_SHOW_CURRENT, 0, 0);
        return;
    default:
        return;
    }
}

LRESULT CALLBACK player_viewport_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        return 1;
    case WM_DESTROY:
        return 0;
    case WM_SIZE:
        viewport_on_size(hwnd);
        return 0;
    case WM_PAINT:
        viewport_on_paint(hwnd);
        return 0;
    case WM_SETCURSOR:
        skin_set_cursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
        return TRUE;
    case WM_LBUTTONDOWN:
        viewport_on_lbuttondown(hwnd);
        return 0;
    case WM_RBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    case WM_APP_MEDIA_NOTIFY:
        viewport_on_media_notify(hwnd);
        return 0;
    case WM_APP_MEDIA_EVENT:
        viewport_on_media_event(wp);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
}
