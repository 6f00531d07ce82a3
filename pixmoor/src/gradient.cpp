// Gradient lines and four-corner gradient rectangles, opaque and blended.
//
// Colours are interpolated with pxm_mix, the transparency byte included.
// Fractions are measured from the corners as passed, so a rectangle drawn
// with swapped corners runs its colours the other way round.
#include "pxm_shapes.h"

static PxmThreadState *pxm_gradient_state(void)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_OK;
    return ts;
}

static int32_t pxm_gradient_line(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t start,
                                 uint32_t end, uint32_t flags, bool blend)
{
    PxmThreadState *ts = pxm_gradient_state();
    if (!s)
        return 0;
    PxmPen pen = {start, end, start != end, blend};
    return pxm_line_walk(ts, s, x1, y1, x2, y2, &pen, flags);
}

int32_t pxm_draw_line_gradient(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t start,
                               uint32_t end, uint32_t flags)
{
    return pxm_gradient_line(s, x1, y1, x2, y2, start, end, flags, false);
}

int32_t pxm_draw_line_gradient_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t start,
                                     uint32_t end, uint32_t flags)
{
    bool blend = ((start | end) >> 24) != 0;
    return pxm_gradient_line(s, x1, y1, x2, y2, start, end, flags, blend);
}

// Fractions across the rectangle depend on the column only: they are
// computed for a block of columns at a time and used for every row. The
// colours are laid over the pixels with the blits' run kernel, which gives
// pxm_pixel_over per pixel.
enum { PXM_GRADIENT_BLOCK = 256 };

static int32_t pxm_gradient_rect(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t c1,
                                 uint32_t c2, uint32_t c3, uint32_t c4, uint32_t flags, bool blend)
{
    PxmThreadState *ts = pxm_gradient_state();
    if (!s)
        return 0;
    int32_t r[4];
    if (!pxm_rect_clamp(ts, s, x1, y1, x2, y2, flags, r))
        return 0;
    int64_t dx = (int64_t)x2 - x1, dy = (int64_t)y2 - y1;
    const size_t stride = (size_t)s->stride;
    // Equal colours down both sides: every row is one colour.
    if (c1 == c2 && c3 == c4) {
        for (int32_t y = r[1]; y <= r[3]; y++) {
            uint32_t fy = dy ? (uint32_t)((((int64_t)y - y1) * 256) / dy) : 128;
            uint32_t c = pxm_mix_int(c1, c3, fy);
            uint32_t *row = s->pixels + (size_t)y * stride;
            if (blend)
                pxm_blend_span(row, r[0], r[2], c);
            else
                pxm_fill_span(row, r[0], r[2], c);
        }
        return 1;
    }
    // The opaque form steps in 1/65536 and reaches the right-hand colour
    // only when 65536 divides evenly by the width; the blended form divides
    // per pixel and always reaches it.
    int64_t step = dx ? 65536 / dx : 0;
    PxmKernels kernels;
    pxm_kernels(&kernels);
    PxmSpanFn over = kernels.over;
    uint16_t fxs[PXM_GRADIENT_BLOCK];
    uint32_t block[PXM_GRADIENT_BLOCK];
    for (int32_t x0 = r[0]; x0 <= r[2]; x0 += PXM_GRADIENT_BLOCK) {
        int32_t n = (int32_t)pxm_min64s(PXM_GRADIENT_BLOCK, (int64_t)r[2] - x0 + 1);
        for (int32_t i = 0; i < n; i++) {
            int64_t off = (int64_t)x0 + i - x1;
            if (!dx)
                fxs[i] = 128;
            else if (blend)
                fxs[i] = (uint16_t)((off * 256) / dx);
            else
                fxs[i] = (uint16_t)((uint32_t)(off * step) >> 8);
        }
        for (int32_t y = r[1]; y <= r[3]; y++) {
            uint32_t fy = dy ? (uint32_t)((((int64_t)y - y1) * 256) / dy) : 128;
            uint32_t left = pxm_mix_int(c1, c3, fy), right = pxm_mix_int(c2, c4, fy);
            uint32_t *row = s->pixels + (size_t)y * stride + x0;
            uint32_t *out = blend ? block : row;
            for (int32_t i = 0; i < n; i++)
                out[i] = pxm_mix_int(left, right, fxs[i]);
            if (blend)
                over(row, block, n);
        }
    }
    return 1;
}

int32_t pxm_fill_rect_gradient(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t c1,
                               uint32_t c2, uint32_t c3, uint32_t c4, uint32_t flags)
{
    if (c1 == c2 && c1 == c3 && c1 == c4)
        return pxm_fill_rect(s, x1, y1, x2, y2, c1, flags);
    return pxm_gradient_rect(s, x1, y1, x2, y2, c1, c2, c3, c4, flags, false);
}

int32_t pxm_fill_rect_gradient_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t c1,
                                     uint32_t c2, uint32_t c3, uint32_t c4, uint32_t flags)
{
    if (((c1 | c2 | c3 | c4) >> 24) == 0)
        return pxm_fill_rect_gradient(s, x1, y1, x2, y2, c1, c2, c3, c4, flags);
    return pxm_gradient_rect(s, x1, y1, x2, y2, c1, c2, c3, c4, flags, true);
}
