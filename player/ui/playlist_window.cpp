// The playlist column: the disc picture, the scrolling list of entries with
// its own scroll bar, and the splitter on the left edge that sets the
// column's width. Everything runs on the user-interface thread.
#include <windowsx.h>
#include <string.h>

#include "player.h"
#include "playlist.h"
#include "skin.h"
#include "sonmoor.h"
#include "ui_font.h"
#include "ui_paint.h"
#include "ui_windows.h"

PxmSurface playlist_back_buffer;
PxmSurface playlist_list_surface;
int playlist_scroll_offset = 0;
int playlist_max_scroll = 0;
int playlist_drag = PLAYLIST_DRAG_NONE;

static int playlist_last_current = 0;

#define PLAYLIST_ROW_HEIGHT 20
#define PLAYLIST_SPLITTER_RIGHT 7
#define PLAYLIST_MIN_WIDTH 128
#define PLAYLIST_SIZE_MIN 4
#define PLAYLIST_SIZE_MAX 99999
// Used when the skin has no edge image to take the colour from.
#define PLAYLIST_FALLBACK_BACKGROUND 0x00E4E8F0u

// The list area in client coordinates, corners inclusive.
struct PlaylistGeometry {
    int w, h;
    int left, top, right, bottom;
};

static PlaylistGeometry playlist_geometry(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    PlaylistGeometry g;
    g.w = rc.right;
    g.h = rc.bottom;
    g.left = 10;
    g.top = 108;
    g.right = g.w - 4;
    g.bottom = g.h - 24;
    return g;
}

static bool playlist_in_list(const PlaylistGeometry *g, int x, int y)
{
    return x >= g->left && x <= g->right && y >= g->top && y <= g->bottom;
}

static bool playlist_size_drawable(int w, int h)
{
    return w >= PLAYLIST_SIZE_MIN && h >= PLAYLIST_SIZE_MIN && w <= PLAYLIST_SIZE_MAX && h <= PLAYLIST_SIZE_MAX;
}

static int playlist_clamp(long long v, int lo, int hi)
{
    return v < lo ? lo : v > hi ? hi : (int)v;
}

// Row under a client y inside the list area; may lie past the last entry.
static int playlist_row_at(const PlaylistGeometry *g, int y)
{
    return (int)(((long long)playlist_scroll_offset + y - g->top) / PLAYLIST_ROW_HEIGHT);
}

static void playlist_invalidate(HWND hwnd) { InvalidateRect(hwnd, nullptr, FALSE); }

// ---- dragging --------------------------------------------------------------

// The thumb travels over the list height less its own 16 pixels. A list too
// low for that gives the thumb no travel, so the pointer is mapped over the
// whole list height instead (the divisor kept at 1 or more).
static void playlist_drag_scroll(const PlaylistGeometry *g, int y)
{
    long long travel = (long long)g->bottom - g->top - 16;
    long long pos = (long long)y - g->top - 8;
    if (travel <= 0) {
        travel = (long long)g->bottom - g->top;
        if (travel < 1) travel = 1;
        pos = (long long)y - g->top;
    }
    int max = playlist_max_scroll > 0 ? playlist_max_scroll : 0;
    playlist_scroll_offset = playlist_clamp(pos * max / travel, 0, max);
}

// Moving the edge left widens the column; the main window then lays its
// children out again and everything beside the edge repaints at once.
static void playlist_drag_splitter(HWND hwnd, int x)
{
    HWND parent = GetParent(hwnd);
    long long width = (long long)playlist_width - x;
    if (parent) {
        RECT pc;
        GetClientRect(parent, &pc);
        long long limit = 2LL * (pc.right - pc.left) / 3;
        if (width > limit) width = limit;
    }
    if (width < PLAYLIST_MIN_WIDTH) width = PLAYLIST_MIN_WIDTH;
    playlist_width = playlist_clamp(width, PLAYLIST_MIN_WIDTH, 0x7FFFFFFF);
    if (!parent) {
        playlist_invalidate(hwnd);
        return;
    }
    SendMessageA(parent, WM_SIZE, 0, 0);
    InvalidateRect(parent, nullptr, FALSE);
    if (viewport_window) InvalidateRect(viewport_window, nullptr, FALSE);
    playlist_invalidate(hwnd);
    if (viewport_window) UpdateWindow(viewport_window);
    UpdateWindow(hwnd);
}

static void playlist_apply_drag(HWND hwnd, int x, int y)
{
    PlaylistGeometry g = playlist_geometry(hwnd);
    if (playlist_drag == PLAYLIST_DRAG_SCROLL)
        playlist_drag_scroll(&g, y);
    else if (playlist_drag == PLAYLIST_DRAG_SPLITTER)
        playlist_drag_splitter(hwnd, x);
}

// ---- painting --------------------------------------------------------------

static uint32_t playlist_background_colour(void)
{
    uint32_t colour = PLAYLIST_FALLBACK_BACKGROUND;
    PxmSurface *edge = &player_skin.playlist_edge;
    if (!pxm_surface_validate(edge, 0)) return colour;
    uint32_t *p = pxm_surface_lock(edge, 0);
    if (p) colour = p[0];
    pxm_surface_unlock(edge, 0);
    return colour;
}

// Background, disc and left edge with its grip, over the whole back buffer
// (limited by the clip to the area being repainted).
static void playlist_paint_frame(const PlaylistGeometry *g, uint32_t background)
{
    PxmSurface *b = &playlist_back_buffer;
    PxmSurface *edge = &player_skin.playlist_edge;
    if (!pxm_copy(b, 0, 0, b->width, b->height, edge, 0, 0, 1, 1, PXM_CLIP)) {
        if (pxm_surface_lock(b, 0)) {
            pxm_fill_rect(b, 0, 0, b->width - 1, b->height - 1, background & 0x00FFFFFF, PXM_CLIP);
            pxm_surface_unlock(b, 0);
        }
    }
    int dx = (g->w - 100) / 2;
    // Burn: the disc's white leaves the background as it is, its darker parts darken it.
    pxm_blit_op(b, dx, 4, dx + 99, 103, &player_skin.disc, 0, 0, 99, 99, PXM_ROP_BURN, PXM_CLIP);
    pxm_tile(b, 0, 0, PLAYLIST_SPLITTER_RIGHT, g->h - 24, edge, 0, 0, 7, 1, PXM_CLIP);
    if (g->h >= 50) {
        int gy = (g->h - 50) / 2;
        pxm_copy(b, 0, gy, 7, gy + 49, edge, 0, 0, 7, 49, PXM_CLIP);
    }
}

static bool playlist_row_loaded(int row, const char *loaded_path)
{
    return loaded_path[0] && strcmp(loaded_path, playlist_entries[row].path) == 0;
}

// Only the rows that can show are drawn: the list height plus one row. The
// fills and markers go first, then all the text through one device context.
static void playlist_paint_rows(int lw, int lh, uint32_t background)
{
    PxmSurface *list = &playlist_list_surface;
    char loaded_path[SNM_PATH_CHARS];
    loaded_path[0] = 0;
    if (snm_is_open()) snm_current_path(loaded_path);
    uint32_t fill = (background & 0x00FFFFFF) | 0xEE000000;
    uint32_t selected_fill = pxm_mix(0x3300FF00, fill, 128);
    int shift = playlist_scroll_offset % PLAYLIST_ROW_HEIGHT;
    int first = playlist_scroll_offset / PLAYLIST_ROW_HEIGHT;
    int rows = (lh + PLAYLIST_ROW_HEIGHT - 1) / PLAYLIST_ROW_HEIGHT + 1;
    if (rows > playlist_count - first) rows = playlist_count - first;
    if (rows <= 0) return;

    for (int i = 0; i < rows; i++) {
        int row = first + i, y = i * PLAYLIST_ROW_HEIGHT - shift;
        uint32_t colour = (playlist_entries[row].flags & PLAYLIST_SELECTED) ? selected_fill : fill;
        if (pxm_surface_lock(list, 0)) {
            pxm_fill_rect_blend(list, 0, y, lw - 18, y + 19, colour, 0);
            pxm_surface_unlock(list, 0);
        }
        if (playlist_row_loaded(row, loaded_path))
            pxm_stretch_blit(list, 4, y + 5, 12, y + 14, &player_skin.ball, 0, 0, SKIN_BALL_WIDTH - 1, 15,
                             PXM_BLEND_OVER);
    }

    HDC dc = nullptr;
    if (!pxm_surface_get_dc(list, &dc, nullptr)) return;
    HGDIOBJ old_font = GetCurrentObject(dc, OBJ_FONT);
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < rows; i++) {
        int row = first + i, y = i * PLAYLIST_ROW_HEIGHT - shift;
        bool current = row == playlist_current;
        HFONT font = current ? player_skin.list_current_font : player_skin.list_font;
        SelectObject(dc, font ? (HGDIOBJ)font : old_font);
        SetTextColor(dc, current ? RGB(0x66, 0x00, 0x00) : RGB(0x33, 0x66, 0xAA));
        char name[PLAYLIST_PATH_CHARS];
        playlist_display_name(row, name);
        RECT text = {playlist_row_loaded(row, loaded_path) ? 16 : 8, y, lw - 18 - 16, y + 19};
        ui_draw_text(dc, name, &text, DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
    }
    SelectObject(dc, old_font);
    pxm_surface_release_dc(list, &dc);
}

static void playlist_paint_scroll_bar(int lw, int lh)
{
    PxmSurface *list = &playlist_list_surface;
    if (!pxm_surface_lock(list, 0)) return;
    pxm_draw_rect_blend(list, lw - 17, -1, lw - 2, lh, 1, 0xDD000066, 0);
    pxm_fill_rect_gradient_blend(list, lw - 16, 1, lw - 3, lh - 2, 0xCCBBBBEE, 0xCCFFFFFF, 0xCCBBBBEE, 0xCCFFFFFF,
                                 0);
    if (playlist_max_scroll > 0) {
        int t = (int)((long long)(lh - 16) * playlist_scroll_offset / playlist_max_scroll);
        pxm_fill_rect_gradient_blend(list, lw - 15, t + 1, lw - 4, t + 14, 0x33CCFFCC, 0x33006600, 0x33CCFFCC,
                                     0x33006600, 0);
        pxm_draw_rect_blend(list, lw - 15, t + 1, lw - 4, t + 14, 1, 0x99000000, 0);
    }
    pxm_surface_unlock(list, 0);
}

// Rows and scroll bar on the list surface, then the list into the back buffer.
static void playlist_paint_list(const PlaylistGeometry *g, uint32_t background)
{
    int lw = g->right - g->left + 1, lh = g->bottom - g->top + 1;
    if (!playlist_size_drawable(lw, lh) || !ui_surface_fits(lw, lh)) return;
    PxmSurface *list = &playlist_list_surface;
    if (!pxm_surface_validate(list, 0) || list->width != lw || list->height != lh) {
        pxm_surface_free(list, 0);
        if (!pxm_surface_create(list, lw, lh, 0) || list->width != lw || list->height != lh) {
            pxm_surface_free(list, 0);
            return;
        }
    }
    long long max = (long long)playlist_count * PLAYLIST_ROW_HEIGHT - lh;
    playlist_max_scroll = playlist_clamp(max, -0x7FFFFFFF, 0x7FFFFFFF);
    // Removals can leave the offset past the new end.
    int end = playlist_max_scroll > 0 ? playlist_max_scroll : 0;
    playlist_scroll_offset = playlist_clamp(playlist_scroll_offset, 0, end);
    if (!pxm_surface_lock(list, 0)) return;
    pxm_fill_rect(list, 0, 0, lw - 1, lh - 1, background & 0x00FFFFFF, 0);
    pxm_surface_unlock(list, 0);
    playlist_paint_rows(lw, lh, background);
    playlist_paint_scroll_bar(lw, lh);
    pxm_copy(&playlist_back_buffer, g->left, g->top, g->right, g->bottom, list, 0, 0, lw - 1, lh - 1, 0);
    PxmSurface *b = &playlist_back_buffer;
    if (!pxm_surface_lock(b, 0)) return;
    pxm_draw_line_gradient_blend(b, g->left, g->top - 1, g->right - 1, g->top - 1, 0xFF000033, 0xDD000033, PXM_CLIP);
    pxm_draw_line_gradient_blend(b, g->left, g->bottom + 1, g->right - 1, g->bottom + 1, 0xFF000033, 0xDD000033,
                                 PXM_CLIP);
    pxm_surface_unlock(b, 0);
}

static LRESULT playlist_on_paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    PlaylistGeometry g = playlist_geometry(hwnd);
    RECT client = {0, 0, g.w, g.h};
    int fit = dc && playlist_size_drawable(g.w, g.h) ? ui_back_buffer_fit(&playlist_back_buffer, g.w, g.h) : -1;
    if (fit < 0) {
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (fit) ps.rcPaint = client;
    uint32_t background = playlist_background_colour();
    ui_clip_to_paint(&ps.rcPaint, &client);
    playlist_paint_frame(&g, background);
    playlist_paint_list(&g, background);
    ui_present(dc, &ps.rcPaint, &client, &playlist_back_buffer);
    EndPaint(hwnd, &ps);
    return 0;
}

// ---- messages --------------------------------------------------------------

static LRESULT playlist_on_create(HWND hwnd)
{
    playlist_drag = PLAYLIST_DRAG_NONE;
    playlist_last_current = playlist_current;
    SetTimer(hwnd, UI_TIMER_ID, 100, nullptr);
    return 1;
}

static LRESULT playlist_on_destroy(HWND hwnd)
{
    KillTimer(hwnd, UI_TIMER_ID);
    pxm_surface_free(&playlist_list_surface, 0);
    return 0;
}

static LRESULT playlist_on_size(HWND hwnd, WPARAM wp, LPARAM lp)
{
    playlist_invalidate(hwnd);
    return DefWindowProcA(hwnd, WM_SIZE, wp, lp);
}

static LRESULT playlist_on_setcursor(HWND hwnd)
{
    POINT p = ui_cursor_pos(hwnd);
    PlaylistGeometry g = playlist_geometry(hwnd);
    bool hand = playlist_in_list(&g, p.x, p.y) || (p.x >= 0 && p.x <= PLAYLIST_SPLITTER_RIGHT);
    // Without the skin's cursor the arrow is better than no cursor at all.
    HCURSOR cursor = hand ? player_skin.hand_cursor : nullptr;
    if (!cursor) cursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    skin_set_cursor(cursor);
    return TRUE;
}

static LRESULT playlist_on_keydown(HWND hwnd, WPARAM key)
{
    if (key == VK_DELETE) {
        playlist_remove_selected();
        playlist_invalidate(hwnd);
    }
    return 0;
}

static LRESULT playlist_on_timer(HWND hwnd)
{
    if (playlist_current != playlist_last_current) {
        SendMessageA(hwnd, WM_APP_PLAYLIST_SHOW_CURRENT, 0, 0);
        playlist_last_current = playlist_current;
    }
    playlist_invalidate(hwnd);
    return 0;
}

static LRESULT playlist_on_mousemove(HWND hwnd, WPARAM keys, int x, int y)
{
    if (keys & (MK_LBUTTON | MK_RBUTTON)) playlist_apply_drag(hwnd, x, y);
    playlist_invalidate(hwnd);
    return 0;
}

// Ctrl counts when the click itself carried it or the key is down now.
static LRESULT playlist_on_lbuttondown(HWND hwnd, WPARAM keys, int x, int y)
{
    SetCapture(hwnd);
    SetFocus(hwnd);
    playlist_drag = PLAYLIST_DRAG_NONE;
    PlaylistGeometry g = playlist_geometry(hwnd);
    if (x >= 0 && x <= PLAYLIST_SPLITTER_RIGHT) {
        playlist_drag = PLAYLIST_DRAG_SPLITTER;
        playlist_apply_drag(hwnd, x, y);
    } else if (playlist_in_list(&g, x, y)) {
        if (x > g.right - 16) {
            playlist_drag = PLAYLIST_DRAG_SCROLL;
            playlist_apply_drag(hwnd, x, y);
        } else {
            playlist_drag = PLAYLIST_DRAG_ROW;
            bool ctrl = (keys & MK_CONTROL) || GetAsyncKeyState(VK_CONTROL) < 0;
            playlist_toggle_selection(playlist_row_at(&g, y), ctrl);
        }
    }
    playlist_invalidate(hwnd);
    return 0;
}

static LRESULT playlist_on_lbuttonup(HWND hwnd)
{
    ReleaseCapture();
    playlist_drag = PLAYLIST_DRAG_NONE;
    playlist_invalidate(hwnd);
    return 0;
}

// The capture taken here is released by the button-up that follows.
static LRESULT playlist_on_lbuttondblclk(HWND hwnd, int x, int y)
{
    SetCapture(hwnd);
    playlist_drag = PLAYLIST_DRAG_NONE;
    PlaylistGeometry g = playlist_geometry(hwnd);
    if (playlist_in_list(&g, x, y) && x < g.right - 16) {
        int row = playlist_row_at(&g, y);
        if (row >= 0 && row < playlist_count) {
            playlist_current = row;
            snm_stop();
            const char *path = playlist_current_path();
            if (path && snm_open(path)) snm_play();
            player_update_caption();
        }
    }
    playlist_invalidate(hwnd);
    return 0;
}

// Scrolls just enough to bring the current entry's top into the list, using
// the list height of the last paint.
static LRESULT playlist_on_show_current(void)
{
    if (playlist_count < 1) return 0;
    int current = playlist_clamp(playlist_current, 0, playlist_count - 1);
    long long top = (long long)current * PLAYLIST_ROW_HEIGHT;
    long long height = playlist_list_surface.height;
    long long offset = playlist_scroll_offset;
    if (top < offset)
        offset = top;
    else if (offset + height < top)
        offset = top - height + PLAYLIST_ROW_HEIGHT;
    playlist_scroll_offset = playlist_clamp(offset, 0, 0x7FFFFFFF);
    return 0;
}

LRESULT CALLBACK player_playlist_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        return playlist_on_create(hwnd);
    case WM_DESTROY:
        return playlist_on_destroy(hwnd);
    case WM_SIZE:
        return playlist_on_size(hwnd, wp, lp);
    case WM_PAINT:
        return playlist_on_paint(hwnd);
    case WM_SETCURSOR:
        return playlist_on_setcursor(hwnd);
    case WM_KEYDOWN:
        return playlist_on_keydown(hwnd, wp);
    case WM_TIMER:
        return playlist_on_timer(hwnd);
    case WM_MOUSEMOVE:
        return playlist_on_mousemove(hwnd, wp, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    case WM_LBUTTONDOWN:
        return playlist_on_lbuttondown(hwnd, wp, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    case WM_LBUTTONUP:
        return playlist_on_lbuttonup(hwnd);
    case WM_LBUTTONDBLCLK:
        return playlist_on_lbuttondblclk(hwnd, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    case WM_APP_PLAYLIST_SHOW_CURRENT:
        return playlist_on_show_current();
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
