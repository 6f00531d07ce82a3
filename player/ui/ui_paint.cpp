// Painting steps the skinned windows share: the back buffer's size, the
// engine clip for a paint, and the copy of the painted area to the screen.
#include "ui_paint.h"

#include "ui_rect.h"

bool ui_surface_fits(int w, int h)
{
    return w > 0 && h > 0 && w <= PXM_MAX_SIDE && h <= PXM_MAX_SIDE && (long long)w * h <= PXM_MAX_PIXELS;
}

// Keeps the back buffer between w x h and 32 pixels larger each way, so that
// small resizes reuse it. A size the engine cannot hold is refused rather than
// asked for again at every paint.
int ui_back_buffer_fit(PxmSurface *s, int w, int h)
{
    if (pxm_surface_validate(s, 0) && s->width >= w && s->height >= h && s->width <= w + 32 && s->height <= h + 32)
        return 0;
    pxm_surface_free(s, 0);
    if (!ui_surface_fits(w + 32, h + 32)) return -1;
    pxm_surface_create(s, w + 32, h + 32, 0);
    return pxm_surface_validate(s, 0) && s->width == w + 32 && s->height == h + 32 ? 1 : -1;
}

POINT ui_cursor_pos(HWND hwnd)
{
    POINT p = {-100000, -100000};
    if (GetCursorPos(&p)) ScreenToClient(hwnd, &p);
    return p;
}

// The paint rectangle grown by a pixel and kept inside the client area.
void ui_present(HDC dc, const RECT *paint, const RECT *client, PxmSurface *bb)
{
    RECT r = IsRectEmpty(paint) ? *client : *paint;
    rect_grow(&r, 1, 1);
    if (!rect_intersect(&r, &r, client)) return;
    pxm_blit_to_dc(dc, r.left, r.top, r.right - 1, r.bottom - 1, bb, r.left, r.top, r.right - 1, r.bottom - 1, 0);
}

// The engine's clip for this paint: the paint rectangle grown by a pixel.
void ui_clip_to_paint(const RECT *paint, const RECT *client)
{
    RECT r = IsRectEmpty(paint) ? *client : *paint;
    rect_grow(&r, 1, 1);
    pxm_set_clip(r.left, r.top, r.right, r.bottom);
}

