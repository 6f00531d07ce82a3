// The about box: the logo on a black panel and credits scrolling up without
// end, fading in at the bottom and out at the top, at 25 frames a second.
#include <string.h>

#include "player.h"
#include "skin.h"
#include "ui_font.h"
#include "ui_windows.h"

PxmSurface about_panel;
PxmSurface about_back_buffer;
PxmSurface about_credits;
int32_t about_frame;

#define ABOUT_WIDTH 320
#define ABOUT_HEIGHT 270
#define ABOUT_CREDITS_WIDTH 312
#define ABOUT_BAND_TOP 96  // first row of the credits band
#define ABOUT_TEXT_PIXELS 80
#define ABOUT_FRAME_MS 40

static const char about_credits_text[] =
    " Quorva Media Player 2.00 BETA \n"
    "\n"
    " Media Engine: Sonmoor \n"
    " Graphics Engine: Pixmoor \n"
    "  \n"
    " Created By: The Ostrel's Lab Team \n"
    "\n"
    " 14 Lantern Quay, Suite 3 \n"
    " Harrowmere HM4 7QX \n"
    "\n"
    " Contact: hello@quorvamedia.com \n"
    "\n"
    " Web: www.quorvamedia.com \n"
    "\n"
    " Quorva is a mark of Ostrel's Lab \n"
    "\n"
    " This program and its artwork \n"
    " are the property of Ostrel's Lab \n"
    " and are licensed, not sold \n"
    "\n"
    " Protected by copyright law \n"
    "\n"
    " Copyright (c) 2024-2026 Ostrel's Lab \n"
    "\n"
    " All rights reserved \n"
    "\n"
    " Thank you for your support \n";

// Black with the logo shrunk into the top middle. The source rectangle is
// taller than the image on purpose: rows past the image are skipped, so the
// logo keeps its proportions and the lowest rows stay black.
static void about_build_panel(void)
{
    pxm_surface_free(&about_panel, 0);
    pxm_surface_create(&about_panel, ABOUT_WIDTH, ABOUT_HEIGHT, 0);
    if (pxm_surface_lock(&about_panel, 0)) {
        pxm_fill_rect(&about_panel, 0, 0, ABOUT_WIDTH - 1, ABOUT_HEIGHT - 1, 0x00000000, 0);
        pxm_surface_unlock(&about_panel, 0);
    }
    pxm_stretch_copy(&about_panel, 100, 0, 219, 99, &player_skin.splash, 0, 0, ABOUT_WIDTH - 1, ABOUT_HEIGHT - 1, 0);
    pxm_surface_free(&about_back_buffer, 0);
    pxm_surface_copy(&about_back_buffer, &about_panel);
}

static HFONT about_credits_font(void)
{
    const char *face = ui_font_available("Calibri") ? "Calibri" : "Arial";
    return ui_font_create(face, ABOUT_TEXT_PIXELS, 1, 0, 0, 0, 0, 0);
}

// The text's extent at full size, measured on a scratch surface.
static RECT about_measure_credits(HFONT font)
{
    RECT r = {0, 0, ABOUT_WIDTH * 5, 360};
    PxmSurface scratch;
    memset(&scratch, 0, sizeof scratch);
    HDC dc = nullptr;
    if (pxm_surface_create(&scratch, ABOUT_WIDTH * 5, 360, 0) && pxm_surface_get_dc(&scratch, &dc, nullptr)) {
        HGDIOBJ old = SelectObject(dc, font);
        ui_draw_text(dc, about_credits_text, &r, DT_NOPREFIX | DT_CALCRECT | DT_CENTER);
        SelectObject(dc, old);
        pxm_surface_release_dc(&scratch, &dc);
    } else {
        SetRectEmpty(&r);
    }
    pxm_surface_free(&scratch, 0);
    return r;
}

// Drawn once with GDI at 80 pixels, made transparent around the glyphs, then
// shrunk smoothly: small text with soft edges the engine can lay over black.
static void about_build_credits(void)
{
    pxm_surface_free(&about_credits, 0);
    HFONT font = about_credits_font();
    RECT r = about_measure_credits(font);
    HDC dc = nullptr;
    if (!IsRectEmpty(&r) && pxm_surface_create(&about_credits, r.right - r.left + 32, r.bottom - r.top + 32, 0) &&
        pxm_surface_get_dc(&about_credits, &dc, nullptr)) {
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetBkColor(dc, 0);
        SetTextColor(dc, 0xFFFFFF);
        OffsetRect(&r, 16, 16);
        ui_draw_text(dc, about_credits_text, &r, DT_NOPREFIX | DT_CENTER);
        SelectObject(dc, old);
        pxm_surface_release_dc(&about_credits, &dc);
    }
    DeleteObject(font);
    if (!pxm_surface_validate(&about_credits, 0) || about_credits.width < 1) return;
    if (pxm_surface_lock(&about_credits, 0)) {
        pxm_flood_fill(&about_credits, 0, 0, 0, 0xFFFFFFFF, 0, nullptr);
        pxm_surface_unlock(&about_credits, 0);
    }
    uint32_t h = (uint32_t)about_credits.height * ABOUT_CREDITS_WIDTH / (uint32_t)about_credits.width;
    pxm_surface_resize(&about_credits, ABOUT_CREDITS_WIDTH, (int32_t)h, 2);
}

static BOOL about_on_initdialog(HWND hwnd)
{
    about_build_panel();
    about_build_credits();
    pxm_surface_validate(&about_panel, 0);
    player_set_client_size(hwnd, ABOUT_WIDTH, ABOUT_HEIGHT);
    player_center_window(hwnd, main_window && IsWindow(main_window) ? main_window : GetParent(hwnd));
    SetWindowTextA(hwnd, "About Quorva Media Player");
    SetTimer(hwnd, UI_TIMER_ID, ABOUT_FRAME_MS, nullptr);
    about_frame = 0;
    ShowWindow(hwnd, SW_SHOW);
    return TRUE;
}

static void about_on_timer(HWND hwnd, WPARAM id)
{
    if (id != UI_TIMER_ID) return;
    about_frame++;
    InvalidateRect(hwnd, nullptr, FALSE);
    // Re-asserted every frame so that nothing covers the box while it is open.
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    UpdateWindow(hwnd);
}

// The frames repeat after H + h - 96: the credits climb a row per frame from
// below the panel until their last row has left the band's top.
static void about_compose(const RECT *paint)
{
    PxmSurface *bb = &about_back_buffer;
    int32_t H = bb->height;
    int32_t period = H + about_credits.height - ABOUT_BAND_TOP;
    if (period < 1) period = 1;
    int32_t offset = (int32_t)((uint32_t)about_frame % (uint32_t)period);
    pxm_set_clip(paint->left, paint->top, paint->right - 1, paint->bottom - 1);
    pxm_copy(bb, 0, 0, bb->width - 1, bb->height - 1, &about_panel, 0, 0, about_panel.width - 1,
             about_panel.height - 1, PXM_CLIP);
    int32_t top = offset - H + ABOUT_BAND_TOP;
    pxm_blit(bb, 4, ABOUT_BAND_TOP, 4 + ABOUT_CREDITS_WIDTH - 1, 293, &about_credits, 0, top,
             ABOUT_CREDITS_WIDTH - 1, top + 293 - ABOUT_BAND_TOP, PXM_BLEND_OVER | PXM_CLIP);
    // Clipped like the rest, so areas outside this paint keep their last frame.
    if (pxm_surface_lock(bb, 0)) {
        pxm_fill_rect_gradient_blend(bb, 0, 96, 319, 116, 0x00000000, 0x00000000, 0xFF000000, 0xFF000000, PXM_CLIP);
        pxm_fill_rect_gradient_blend(bb, 0, 239, 319, 269, 0xFF000000, 0xFF000000, 0x00000000, 0x00000000, PXM_CLIP);
        pxm_surface_unlock(bb, 0);
    }
}

static void about_on_paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    pxm_surface_validate(&about_panel, 0);
    pxm_surface_validate(&about_back_buffer, 0);
    pxm_surface_validate(&about_credits, 0);
    RECT paint = ps.rcPaint;
    if (IsRectEmpty(&paint)) GetClientRect(hwnd, &paint);
    about_compose(&paint);
    pxm_blit_to_dc(dc, paint.left, paint.top, paint.right - 1, paint.bottom - 1, &about_back_buffer, paint.left,
                   paint.top, paint.right - 1, paint.bottom - 1, 0);
    EndPaint(hwnd, &ps);
}

static void about_on_command(HWND hwnd, WPARAM wp)
{
    int id = LOWORD(wp);
    if (id == IDOK || id == IDCANCEL) EndDialog(hwnd, id);
}

static void about_on_destroy(HWND hwnd)
{
    KillTimer(hwnd, UI_TIMER_ID);
    pxm_surface_free(&about_panel, 0);
    pxm_surface_free(&about_back_buffer, 0);
    pxm_surface_free(&about_credits, 0);
}

INT_PTR CALLBACK player_about_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    (void)lp;
    switch (msg) {
    case WM_INITDIALOG:
        return about_on_initdialog(hwnd);
    case WM_TIMER:
        about_on_timer(hwnd, wp);
        return 0;
    case WM_PAINT:
        about_on_paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_COMMAND:
        about_on_command(hwnd, wp);
        return 1;
    case WM_DESTROY:
        about_on_destroy(hwnd);
        return 0;
    default:
        return 0;
    }
}
