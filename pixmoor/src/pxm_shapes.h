// Shared by the shape, gradient, rounded-rectangle and flood-fill files:
// the line walker that the plain and gradient lines have in common, the
// rectangle clamp, and the integer and SSE2 forms of the row helpers.
//
// Coordinates are carried in 64-bit arithmetic inside the engine, so that
// no corner pair, however far outside the surface, can overflow a width,
// a step count or a fixed-point product.
#ifndef PXM_SHAPES_H
#define PXM_SHAPES_H

#include "pxm_private.h"

static inline int64_t pxm_min64s(int64_t a, int64_t b) { return a < b ? a : b; }
static inline int64_t pxm_max64s(int64_t a, int64_t b) { return a > b ? a : b; }

// Results beyond the 32-bit range are reported as its nearest end.
static inline int32_t pxm_saturate32(int64_t v)
{
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

// How a line colours its pixels: one colour or a run from start to end,
// stored or laid over the pixels with pxm_pixel_over.
typedef struct PxmPen {
    uint32_t start;
    uint32_t end;
    bool gradient;
    bool blend;
} PxmPen;

int32_t pxm_line_walk(const PxmThreadState *ts, PxmSurface *s, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                      const PxmPen *pen, uint32_t flags);

// Orders the corners, applies PXM_EXCLUSIVE and PXM_CLIP and clamps to the
// surface; false when no pixel remains. r receives x1, y1, x2, y2.
bool pxm_rect_clamp(const PxmThreadState *ts, const PxmSurface *s, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                    uint32_t flags, int32_t r[4]);

// Row helpers over n pixels starting at p.
void pxm_fill_run_int(uint32_t *p, int32_t n, uint32_t colour);
void pxm_blend_run_int(uint32_t *p, int32_t n, uint32_t colour);
void pxm_fill_run_sse2(uint32_t *p, int32_t n, uint32_t colour);
// The size of the largest processor cache, in bytes (8 MB when unknown).
size_t pxm_cache_bytes(void);
void pxm_blend_run_sse2(uint32_t *p, int32_t n, uint32_t colour);
// Rows of a rectangle, `stride` pixels apart, filled as pxm_fill_span does.
// Fills that fit in the last-level cache use ordinary stores (the next step
// usually reads them again); larger ones bypass the cache.
void pxm_fill_rows_sse2(uint32_t *row, size_t stride, int32_t x1, int32_t x2, int32_t rows, uint32_t colour);

#endif
