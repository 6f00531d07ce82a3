// Painting steps the skinned windows share: the back buffer's size, the
// engine clip for a paint, and the copy of the painted area to the screen.
#include "ui_paint.h"

#include "ui_rect.h"

// Keeps the back buffer between w x h and 32 pixels larger each way, so that
// small resizes reuse it. Returns 1 when it was made anew.
int ui_back_buffer_fit(PxmSurface *s, int w, int h)
{
    if (pxm_surface_validate(s, 0) && s->width >= w && s->height >= h && s->width <= w + 32 && s->height <= h + 32)
        return 0;
    pxm_surface_free(s, 0);
    pxm_surface_create(s, w + 32, h + 32, 0);
    return 1;
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

