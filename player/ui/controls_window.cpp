// The transport strip at the bottom of the player: seek bar with skip arrows,
// five round buttons, the time display, the volume knob and the mute toggle.
// Seeking, volume and mute go straight to the media engine; everything else
// is posted to the main window as its menu commands.
#include <math.h>
#include <stdio.h>

#include "player.h"
#include "skin.h"
#include "ui_font.h"
#include "sonmoor.h"
#include "ui_paint.h"
#include "ui_windows.h"

PxmSurface controls_back_buffer;
int controls_drag = CONTROLS_DRAG_NONE;

static const int CONTROLS_TIMER_MS = 100;
static const int CONTROLS_KNOB_RADIUS = 19;
static const int CONTROLS_PANEL_LEFT = 256;    // panel columns kept at the left
static const int CONTROLS_PANEL_RIGHT = 150;   // panel columns kept at the right
static const int CONTROLS_MAX_SIDE = 99999;
static const double CONTROLS_PI = 3.14159265358979323846;

enum { BUTTON_PREV, BUTTON_PLAY, BUTTON_NEXT, BUTTON_STOP, BUTTON_FIFTH, BUTTON_COUNT };

// Icon rows of the previous, play, next, stop and fifth buttons; the play
// button shows the pause icon (row 32) while playback runs.
static const int controls_icon_row[BUTTON_COUNT] = {96, 0, 128, 64, 160};
// The fifth button (circling arrows) toggles Repeat Track.
static const int controls_button_command[BUTTON_COUNT] = {PLAYER_CMD_PREV_TRACK, PLAYER_CMD_PLAY, PLAYER_CMD_NEXT_TRACK,
                                                          PLAYER_CMD_STOP, PLAYER_CMD_REPEAT_TRACK};

// Hit areas, right and bottom exclusive; drawn with the same four numbers as
// inclusive corners.
struct ControlsLayout {
    RECT client, seek, skip_reverse, skip_forward, time, knob, mute, grip;
    RECT button[BUTTON_COUNT];
    int cx, cy;  // the knob's centre
};

static void controls_layout(HWND hwnd, ControlsLayout *l)
{
    GetClientRect(hwnd, &l->client);
    LONG R = l->client.right, B = l->client.bottom;
    SetRect(&l->seek, 30, 0, R - 31, 28);
    SetRect(&l->skip_reverse, 2, 5, 20, 22);
    SetRect(&l->skip_forward, R - 21, 5, R - 3, 22);
    for (int i = 0; i < BUTTON_COUNT; i++) SetRect(&l->button[i], 26 + 40 * i, 37, 57 + 40 * i, 68);
    SetRect(&l->time, 250, 27, R - 144, B - 10);
    SetRect(&l->knob, R - 125, B - 57, R - 85, B - 17);
    SetRect(&l->mute, R - 68, 26, R - 46, 44);
    SetRect(&l->grip, R - 16, B - 16, R, B);
    l->cx = (l->knob.left + l->knob.right) / 2;
    l->cy = (l->knob.top + l->knob.bottom) / 2;
}

static void controls_post(int command)
{
    PostMessageA(main_window, WM_COMMAND, command, 0);
}

void controls_format_time(double seconds, char *out)
{
    // Positions past about 68 years would not fit the integer; they never occur.
    int t = seconds >= 0 && seconds < 2147483647.0 ? (int)seconds : 0;
    snprintf(out, 260, "%01i:%02i:%02i", t / 3600, t / 60 - (t / 3600) * 60, t % 60);
}

// Rounding of the knob mark's offsets: half up on both sides of the centre,
// so that the two ends of the travel sit symmetrically.
static int controls_round(double v)
{
    return (int)floor(v + 0.5);
}

static void controls_apply_drag(HWND hwnd, int x, int y)
{
    ControlsLayout l;
    controls_layout(hwnd, &l);
    if (controls_drag == CONTROLS_DRAG_SEEK) {
        double span = l.seek.right - l.seek.left;
        // A strip too narrow to have a seek bar seeks to the start.
        double f = span > 0 ? (x - l.seek.left) / span : 0.0;
        if (f < 0) f = 0;
        if (f > 1) f = 1;
        snm_seek(f * snm_get_duration());
    } else if (controls_drag == CONTROLS_DRAG_VOLUME) {
        double a = atan2((double)(y - l.cy), (double)(x - l.cx)) * 180.0 / CONTROLS_PI + 225.0;
        if (a > 315.0) a -= 360.0;
        snm_set_volume(a / 270.0);
    }
}

static void controls_on_lbuttondown(HWND hwnd, int x, int y)
{
    SetCapture(hwnd);
    SetFocus(hwnd);
    controls_drag = CONTROLS_DRAG_NONE;
    ControlsLayout l;
    controls_layout(hwnd, &l);
    POINT p = {x, y};
    if (PtInRect(&l.seek, p)) {
        controls_drag = CONTROLS_DRAG_SEEK;
        controls_apply_drag(hwnd, x, y);
    } else if (PtInRect(&l.knob, p)) {
        controls_drag = CONTROLS_DRAG_VOLUME;
        controls_apply_drag(hwnd, x, y);
    } else if (PtInRect(&l.mute, p)) {
        snm_set_mute(!snm_get_mute());
        InvalidateRect(hwnd, nullptr, FALSE);
        return;
    } else if (PtInRect(&l.skip_reverse, p)) {
        controls_post(PLAYER_CMD_SKIP_REVERSE);
    } else if (PtInRect(&l.skip_forward, p)) {
        controls_post(PLAYER_CMD_SKIP_FORWARD);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

// A button acts where the button is released, wherever it was pressed.
static void controls_on_lbuttonup(HWND hwnd, int x, int y)
{
    ReleaseCapture();
    controls_drag = CONTROLS_DRAG_NONE;
    ControlsLayout l;
    controls_layout(hwnd, &l);
    POINT p = {x, y};
    for (int i = BUTTON_PREV; i < BUTTON_COUNT; i++) {
        if (PtInRect(&l.button[i], p)) {
            controls_post(controls_button_command[i]);
            break;
        }
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

static void controls_on_mousemove(HWND hwnd, WPARAM keys, int x, int y)
{
    if (keys & (MK_LBUTTON | MK_RBUTTON)) controls_apply_drag(hwnd, x, y);
    InvalidateRect(hwnd, nullptr, FALSE);
}

static LRESULT controls_on_nchittest(HWND hwnd, WPARAM wp, LPARAM lp)
{
    ControlsLayout l;
    controls_layout(hwnd, &l);
    if (PtInRect(&l.grip, ui_cursor_pos(hwnd)) && !IsZoomed(hwnd)) return HTBOTTOMRIGHT;
    return DefWindowProcA(hwnd, WM_NCHITTEST, wp, lp);
}

static void controls_draw_panel(PxmSurface *bb, int w)
{
    PxmSurface *panel = &player_skin.controls_panel;
    pxm_tile(bb, CONTROLS_PANEL_LEFT - 1, 0, w - CONTROLS_PANEL_RIGHT, 89, panel, 256, 0, 266, 89, PXM_CLIP);
    pxm_copy(bb, 0, 0, CONTROLS_PANEL_LEFT - 1, 89, panel, 0, 0, 255, 89, PXM_CLIP);
    pxm_copy(bb, w - CONTROLS_PANEL_RIGHT, 0, w - 1, 89, panel, 330, 0, 479, 89, PXM_CLIP);
}

static void controls_draw_knob_and_mute(PxmSurface *bb, const ControlsLayout *l)
{
    double theta = (snm_get_volume() * 270.0 - 225.0) * CONTROLS_PI / 180.0;
    int x = l->cx + controls_round(cos(theta) * CONTROLS_KNOB_RADIUS);
    int y = l->cy + controls_round(sin(theta) * CONTROLS_KNOB_RADIUS);
    pxm_blit(bb, x - 6, y - 6, x + 5, y + 5, &player_skin.knob_dot, 0, 0, 12, 12, PXM_CLIP | PXM_BLEND_OVER);

    int row = snm_get_mute() ? 18 : 0;
    LONG R = l->client.right;
    pxm_blit(bb, R - 68, 26, R - 47, 43, &player_skin.mute_icon, 0, row, 21, row + 17, PXM_CLIP | PXM_BLEND_OVER);
}

// The ball is stored 32 times wider than drawn: the source offset s moves the
// thumb inside its square in 1/32-pixel steps.
static void controls_draw_thumb(PxmSurface *bb, const ControlsLayout *l)
{
    double d = snm_get_duration();
    double p = d != 0 ? snm_get_position() * (l->seek.right - l->seek.left) / d : 0.0;
    if (!(p > -1e6)) p = 0;  // also catches NaN
    if (p > 1e6) p = 1e6;
    int X = (int)p + l->seek.left;
    int Y = (l->seek.top + l->seek.bottom) / 2;
    int s = 15 - ((int)(p * 32) & 31);
    pxm_blit(bb, X - 8, Y - 8, X + 7, Y + 7, &player_skin.ball, s, 0, s + SKIN_BALL_WIDTH, 16,
             PXM_CLIP | PXM_BLEND_OVER);
}

static void controls_draw_skip_highlights(PxmSurface *bb, const ControlsLayout *l, POINT cursor, bool pressed)
{
    uint32_t top = pressed ? 0x80AACCAAu : 0x40FFFFFFu;
    uint32_t bottom = pressed ? 0x40FFFFFFu : 0x80AACCAAu;
    const RECT *areas[2] = {&l->skip_reverse, &l->skip_forward};
    for (const RECT *a : areas) {
        if (!PtInRect(a, cursor) || !pxm_surface_lock(bb, 0)) continue;
        pxm_fill_round_rect(bb, a->left, a->top, a->right, a->bottom, 4, 4, top, top, bottom, bottom, PXM_CLIP);
        pxm_surface_unlock(bb, 0);
    }
}

static void controls_draw_buttons(PxmSurface *bb, const ControlsLayout *l, POINT cursor, bool pressed)
{
    for (int i = 0; i < BUTTON_COUNT; i++) {
        const RECT *b = &l->button[i];
        int face = !PtInRect(b, cursor) ? 0 : pressed ? 64 : 32;
        if (i == BUTTON_FIFTH && player_repeat_track) face = 64;  // held down while repeating
        int icon = controls_icon_row[i];
        if (i == BUTTON_PLAY && snm_is_playing()) icon = 32;
        pxm_blit(bb, b->left, b->top, b->right, b->bottom, &player_skin.button_faces, 0, face, 31, face + 31,
                 PXM_CLIP | PXM_BLEND_OVER);
        pxm_blit(bb, b->left, b->top, b->right, b->bottom, &player_skin.button_icons, 0, icon, 31, icon + 31,
                 PXM_CLIP | PXM_BLEND_OVER);
    }
}

static void controls_draw_time(PxmSurface *bb, const ControlsLayout *l)
{
    const RECT *t = &l->time;
    HDC dc = nullptr;
    if (pxm_surface_get_dc(bb, &dc, nullptr)) {
        HGDIOBJ old = SelectObject(dc, player_skin.time_font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0x77, 0x99, 0xCC));
        char text[260];
        controls_format_time(snm_get_position(), text);
        RECT r = {t->left + 6, t->top, t->right, t->top + 24};
        ui_draw_text(dc, text, &r, DT_SINGLELINE);
        SelectObject(dc, old);
        pxm_surface_release_dc(bb, &dc);
    }
    // A strip of glass over the top of the time box.
    if (pxm_surface_lock(bb, 0)) {
        pxm_fill_round_rect(bb, t->left + 4, t->top + 4, t->right - 4, t->top + 12, 3, 3, 0x66CCCCFFu, 0x66CCCCFFu,
                            0xDDCCCCFFu, 0xDDCCCCFFu, PXM_CLIP);
        pxm_surface_unlock(bb, 0);
    }
}

static void controls_on_paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    ControlsLayout l;
    controls_layout(hwnd, &l);
    int w = l.client.right, h = l.client.bottom;
    if (w < 4 || h < 4 || w > CONTROLS_MAX_SIDE || h > CONTROLS_MAX_SIDE) {
        EndPaint(hwnd, &ps);
        return;
    }
    PxmSurface *bb = &controls_back_buffer;
    int fit = ui_back_buffer_fit(bb, w, h);
    if (fit < 0) {
        EndPaint(hwnd, &ps);
        return;
    }
    if (fit) ps.rcPaint = l.client;
    ui_clip_to_paint(&ps.rcPaint, &l.client);

    POINT cursor = ui_cursor_pos(hwnd);
    bool pressed = GetAsyncKeyState(VK_LBUTTON) < 0;
    controls_draw_panel(bb, w);
    controls_draw_knob_and_mute(bb, &l);
    controls_draw_thumb(bb, &l);
    controls_draw_skip_highlights(bb, &l, cursor, pressed);
    controls_draw_buttons(bb, &l, cursor, pressed);
    controls_draw_time(bb, &l);
    ui_present(ps.hdc, &ps.rcPaint, &l.client, bb);
    EndPaint(hwnd, &ps);
}

static void controls_on_timer(HWND hwnd)
{
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    player_taskbar_update();
}

LRESULT CALLBACK player_controls_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    int x = (short)LOWORD(lp), y = (short)HIWORD(lp);
    switch (msg) {
    case WM_CREATE:
        controls_drag = CONTROLS_DRAG_NONE;
        SetTimer(hwnd, UI_TIMER_ID, CONTROLS_TIMER_MS, nullptr);
        return 1;
    case WM_TIMER:
        controls_on_timer(hwnd);
        return 0;
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return DefWindowProcA(hwnd, msg, wp, lp);
    case WM_PAINT:
        controls_on_paint(hwnd);
        return 0;
    case WM_SETCURSOR:
        skin_set_cursor(player_skin.hand_cursor);
        return TRUE;
    case WM_NCHITTEST:
        return controls_on_nchittest(hwnd, wp, lp);
    case WM_MOUSEMOVE:
        controls_on_mousemove(hwnd, wp, x, y);
        return 0;
    case WM_LBUTTONDOWN:
        controls_on_lbuttondown(hwnd, x, y);
        return 0;
    case WM_LBUTTONUP:
        controls_on_lbuttonup(hwnd, x, y);
        return 0;
    case WM_DESTROY:
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
