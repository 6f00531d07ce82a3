// Blits between surfaces: copy, blend modes, tiling, and output to a DC.
//
// Destination rectangles map onto source rectangles by nearest neighbour
// with a fixed-point step per axis. All positions are computed in 64-bit
// arithmetic, so no rectangle, however large or far outside, can make the
// mapping overflow and reach outside either surface.
#include "pxm_private.h"

// The precision is the first shift from 11 that spreads the destination span
// over 2^29, capped at 24 bits.
PxmAxis pxm_axis(int64_t dlen, int64_t slen)
{
    PxmAxis a;
    const int64_t spread = (int64_t)1 << 29;
    if ((dlen - 1) * 10 >= spread) {
        a.shift = 10;
        a.step = 10;
        return a;
    }
    // step = floor(slen * 2^shift / dlen) for shift 11, 12, ...: one
    // division, then each next step is twice the last plus the carry of
    // the doubled remainder (64-bit divisions are library calls on 32-bit
    // processors, and a small scaled blit would otherwise make 28 of them).
    a.shift = 11;
    a.step = (slen << 11) / dlen;
    int64_t rem = (slen << 11) % dlen;
    while (a.shift < 24 && (dlen - 1) * a.step < spread) {
        a.shift++;
        rem *= 2;
        a.step = a.step * 2 + (rem >= dlen);
        if (rem >= dlen)
            rem -= dlen;
    }
    return a;
}

// Maps the rectangles onto the two surfaces. PXM_MAP_NOTHING: the
// rectangles miss the surfaces; PXM_MAP_EMPTY: nothing remains after the
// column adjustments and the clip; PXM_MAP_RUN: columns start..end are drawn.
int pxm_map(PxmMapping *m, const PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
            const PxmSurface *src, int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags,
            const PxmThreadState *clip)
{
    int64_t dw = (int64_t)x2 - x1 + 1, sw = (int64_t)sx2 - sx1 + 1;
    int64_t dh = (int64_t)y2 - y1 + 1, sh = (int64_t)sy2 - sy1 + 1;
    // Equal spans map one to one (the fixed-point step would be exactly 1.0).
    const PxmAxis unit_axis = {1, 0};
    m->cols = dw == sw ? unit_axis : pxm_axis(dw, sw);
    m->rows = dh == sh ? unit_axis : pxm_axis(dh, sh);
    m->same_width = dw == sw;

    int64_t first, last;
    int64_t unit = (int64_t)1 << m->cols.shift;
    if (m->cols.step == 0) {
        // Every column reads sx1.
        bool inside = sx1 >= 0 && sx1 < src->width;
        first = inside ? x1 : (int64_t)x2 + 1;
        last = x2;
    } else if (m->same_width) {
        // The quotients below with step 1 and unit 1, without a 64-bit
        // division (a library call on 32-bit processors) per blit.
        first = (int64_t)x1 - sx1;
        last = (int64_t)x1 + src->width - sx1 - 1;
    } else {
        first = x1 + (-(int64_t)sx1 * unit) / m->cols.step;
        last = x1 + (((int64_t)src->width - sx1) * unit - 1) / m->cols.step;
    }
    int64_t start = pxm_max64(pxm_max64(x1, 0), first);
    int64_t end = pxm_min64(pxm_min64(x2, (int64_t)dst->width - 1), last);
    if (end < start)
        return PXM_MAP_NOTHING;
    while (start <= end && pxm_axis_source(&m->cols, sx1, start - x1) < 0)
        start++;
    while (end >= start && pxm_axis_source(&m->cols, sx1, end - x1) > (int64_t)src->width - 1)
        end--;

    int64_t ystart = pxm_max64(y1, 0);
    int64_t yend = pxm_min64(y2, (int64_t)dst->height - 1);
    if (flags & PXM_CLIP) {
        start = pxm_max64(start, clip->clip_x1);
        end = pxm_min64(end, clip->clip_x2);
        ystart = pxm_max64(ystart, clip->clip_y1);
        yend = pxm_min64(yend, clip->clip_y2);
    }
    if (end < start)
        return PXM_MAP_EMPTY;
    m->start = (int32_t)start;
    m->end = (int32_t)end;
    m->ystart = (int32_t)ystart;
    m->yend = (int32_t)pxm_max64(yend, ystart - 1);
    return PXM_MAP_RUN;
}

// The source row for destination row y, or null when it lies outside the source.
static inline const uint32_t *pxm_source_row(const PxmMapping *m, const PxmSurface *src, int32_t y1, int32_t sy1,
                                             int32_t y)
{
    int64_t sy = pxm_axis_source(&m->rows, sy1, (int64_t)y - y1);
    if (sy < 0 || sy >= src->height)
        return nullptr;
    return src->pixels + (size_t)sy * (size_t)src->stride;
}

// Nearest-neighbour samples for n destination columns from column x.
void pxm_gather(uint32_t *out, const uint32_t *srow, int32_t sx1, const PxmAxis *a, int64_t offset, int32_t n)
{
    int64_t pos = offset * a->step;
    if (pos + (int64_t)(n - 1) * a->step < 0x7FFFFFFF) {
        uint32_t p = (uint32_t)pos, step = (uint32_t)a->step;
        int32_t shift = a->shift;
        for (int32_t i = 0; i < n; i++, p += step)
            out[i] = srow[sx1 + (int32_t)(p >> shift)];
    } else {
        for (int32_t i = 0; i < n; i++, pos += a->step)
            out[i] = srow[sx1 + (int32_t)(pos >> a->shift)];
    }
}

// dst_fresh, src_fresh: the surface passed validation just before.
bool pxm_lock_pair(PxmThreadState *ts, PxmSurface *dst, bool dst_fresh, PxmSurface *src, bool src_fresh)
{
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_lock_in(ts, dst, 0, dst_fresh)) {
        ts->status = PXM_STATUS_BAD_SURFACE;
        return false;
    }
    if (!pxm_lock_in(ts, src, 0, src_fresh)) {
        pxm_unlock_in(ts, dst);
        ts->status = PXM_STATUS_BAD_SURFACE;
        return false;
    }
    ts->status = PXM_STATUS_OK;
    return true;
}

// Both records passed the lock's checks within the same operation.
void pxm_unlock_pair(PxmThreadState *ts, PxmSurface *dst, PxmSurface *src)
{
    PxmSurface *pair[2] = {src, dst};
    for (PxmSurface *s : pair)
        if (!(s->kind & PXM_KIND_MEMORY) && s->lock_count > 0)
            s->lock_count--;
    ts->status = PXM_STATUS_OK;
}

bool pxm_rect_ok(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { return x2 >= x1 && y2 >= y1; }

int32_t pxm_copy(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, PxmSurface *src, int32_t sx1,
                 int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags)
{
    PxmThreadState *ts = pxm_thread_state();
    PxmThreadState clip = *ts;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (!pxm_rect_ok(x1, y1, x2, y2) || !pxm_rect_ok(sx1, sy1, sx2, sy2))
        return 0;
    if (!pxm_validate_in(ts, dst) || !pxm_validate_in(ts, src))
        return 0;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (sx2 < 0 || sx1 > src->width - 1)
        return 0;
    if (!pxm_lock_pair(ts, dst, true, src, true))
        return 0;

    PxmMapping m;
    int mapped = pxm_map(&m, dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, &clip);
    if (mapped != PXM_MAP_RUN) {
        pxm_unlock_pair(ts, dst, src);
        return mapped == PXM_MAP_NOTHING ? 1 : 0;
    }
    int32_t n = m.end - m.start + 1;
    int64_t first_column = (int64_t)sx1 + m.start - x1;
    if (m.same_width && (int64_t)y2 - y1 == (int64_t)sy2 - sy1 && first_column == 0 && n == dst->width &&
        n == dst->stride && n == src->width && n == src->stride) {
        // Whole rows, one after the other in both surfaces: one block.
        int64_t ya = pxm_max64(m.ystart, (int64_t)y1 - sy1);
        int64_t yb = pxm_min64(m.yend, (int64_t)y1 - sy1 + src->height - 1);
        if (ya <= yb)
            pxm_copy_bytes(dst->pixels + (size_t)ya * n, src->pixels + (size_t)(ya - y1 + sy1) * n,
                           (size_t)(yb - ya + 1) * (size_t)n * 4);
        pxm_unlock_pair(ts, dst, src);
        return 1;
    }
    if (m.same_width && m.rows.shift == 0 && m.rows.step == 1 && pxm_use_sse2()) {
        // One row per row: the rows inside the source in one call.
        int64_t ya = pxm_max64(m.ystart, (int64_t)y1 - sy1);
        int64_t yb = pxm_min64(m.yend, (int64_t)y1 - sy1 + src->height - 1);
        if (ya <= yb)
            pxm_copy_rows_sse2(dst->pixels + (size_t)ya * (size_t)dst->stride + m.start, (size_t)dst->stride,
                               src->pixels + (size_t)(ya - y1 + sy1) * (size_t)src->stride + first_column,
                               (size_t)src->stride, (int32_t)(yb - ya + 1), n);
        pxm_unlock_pair(ts, dst, src);
        return 1;
    }
    for (int32_t y = m.ystart; y <= m.yend; y++) {
        const uint32_t *srow = pxm_source_row(&m, src, y1, sy1, y);
        if (!srow)
            continue;
        uint32_t *drow = dst->pixels + (size_t)y * (size_t)dst->stride;
        if (m.same_width)
            pxm_copy_bytes(drow + m.start, srow + (int32_t)((int64_t)sx1 + m.start - x1), (size_t)n * 4);
        else
            pxm_gather(drow + m.start, srow, sx1, &m.cols, (int64_t)m.start - x1, n);
    }
    pxm_unlock_pair(ts, dst, src);
    return 1;
}

void pxm_blend_run(int mode, const PxmKernels *k, uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y)
{
    switch (mode) {
    case PXM_BLEND_BEHIND:
        k->behind(d, s, n);
        break;
    case PXM_BLEND_AVERAGE:
        k->average(d, s, n);
        break;
    case PXM_BLEND_COLOR:
        for (int32_t i = 0; i < n; i++)
            d[i] = (d[i] & 0xFF000000) | (s[i] & 0x00FFFFFF);
        break;
    case PXM_BLEND_CHECKER: {
        // The pattern is fixed to the destination surface.
        const uint32_t *pattern = pxm_checker_pattern + (y & 15) * 16;
        for (int32_t i = 0; i < n; i++)
            d[i] = pattern[(x + i) & 15];
        k->over(d, s, n);
        break;
    }
    case PXM_BLEND_ADD_TRANSPARENCY:
        for (int32_t i = 0; i < n; i++) {
            uint32_t t = (d[i] >> 24) + (s[i] >> 24);
            d[i] = ((t > 255 ? 255 : t) << 24) | (s[i] & 0x00FFFFFF);
        }
        break;
    default:
        k->over(d, s, n);
        break;
    }
}

void pxm_kernels(PxmKernels *k)
{
    if (pxm_use_avx2()) {
        k->over = pxm_over_span_avx2;
        k->behind = pxm_behind_span_avx2;
        k->average = pxm_average_span_avx2;
    } else if (pxm_use_ssse3()) {
        k->over = pxm_over_span_ssse3;
        k->behind = pxm_behind_span_ssse3;
        k->average = pxm_average_span_ssse3;
    } else if (pxm_use_sse2()) {
        k->over = pxm_over_span_sse2;
        k->behind = pxm_behind_span_sse2;
        k->average = pxm_average_span_sse2;
    } else {
        k->over = pxm_over_span_int;
        k->behind = pxm_behind_span_int;
        k->average = pxm_average_span_int;
    }
}

int32_t pxm_blit(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, PxmSurface *src, int32_t sx1,
                 int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags)
{
    PxmThreadState *ts = pxm_thread_state();
    PxmThreadState clip = *ts;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (!pxm_rect_ok(x1, y1, x2, y2) || !pxm_rect_ok(sx1, sy1, sx2, sy2))
        return 0;
    if (!pxm_validate_in(ts, src))
        return 0;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (sx2 < 0 || sx1 > src->width - 1)
        return 0;
    const int32_t limit = PXM_BLIT_COORD_LIMIT;
    if (x1 < -limit || x1 > limit || y1 < -limit || y1 > limit || x2 < -limit || x2 > limit || y2 < -limit ||
        y2 > limit)
        return 0;
    if (!pxm_lock_pair(ts, dst, false, src, true))
        return 0;

    PxmMapping m;
    if (pxm_map(&m, dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, &clip) != PXM_MAP_RUN) {
        pxm_unlock_pair(ts, dst, src);
        return 1;
    }
    int mode = (int)(flags & PXM_BLEND_MASK);
    if (mode > PXM_BLEND_ADD_TRANSPARENCY)
        mode = PXM_BLEND_OVER;
    PxmKernels k;
    pxm_kernels(&k);

    enum { CHUNK = 256 };
    uint32_t samples[CHUNK];
    int32_t first_column = (int32_t)((int64_t)sx1 + m.start - x1);
    if (m.same_width && m.rows.shift == 0 && m.rows.step == 1) {
        // One row per row: the rows inside the source, stepped by pointer.
        int64_t ya = pxm_max64(m.ystart, (int64_t)y1 - sy1);
        int64_t yb = pxm_min64(m.yend, (int64_t)y1 - sy1 + src->height - 1);
        uint32_t *drow = dst->pixels + (size_t)ya * (size_t)dst->stride + m.start;
        const uint32_t *srow = src->pixels + (size_t)(ya - y1 + sy1) * (size_t)src->stride + first_column;
        for (int64_t y = ya; y <= yb; y++, drow += dst->stride, srow += src->stride)
            pxm_blend_run(mode, &k, drow, srow, m.end - m.start + 1, m.start, (int32_t)y);
        pxm_unlock_pair(ts, dst, src);
        return 1;
    }
    for (int32_t y = m.ystart; y <= m.yend; y++) {
        const uint32_t *srow = pxm_source_row(&m, src, y1, sy1, y);
        if (!srow)
            continue;
        uint32_t *drow = dst->pixels + (size_t)y * (size_t)dst->stride;
        if (m.same_width) {
            pxm_blend_run(mode, &k, drow + m.start, srow + first_column, m.end - m.start + 1, m.start, y);
            continue;
        }
        for (int32_t x = m.start; x <= m.end; x += CHUNK) {
            int32_t n = m.end - x + 1 < CHUNK ? m.end - x + 1 : CHUNK;
            pxm_gather(samples, srow, sx1, &m.cols, (int64_t)x - x1, n);
            pxm_blend_run(mode, &k, drow + x, samples, n, x, y);
        }
    }
    pxm_unlock_pair(ts, dst, src);
    return 1;
}

int32_t pxm_tile(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, PxmSurface *src, int32_t sx1,
                 int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags)
{
    PxmThreadState *ts = pxm_thread_state();
    PxmThreadState clip = *ts;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (!pxm_rect_ok(x1, y1, x2, y2))
        return 0;
    if (!pxm_validate_in(ts, dst) || !pxm_validate_in(ts, src))
        return 0;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (x2 < 0 || x1 > dst->width - 1)
        return 0;
    if (sx1 < 0)
        sx1 = 0;
    if (sy1 < 0)
        sy1 = 0;
    if (sx2 > src->width - 1)
        sx2 = src->width - 1;
    if (sy2 > src->height - 1)
        sy2 = src->height - 1;
    // A source rectangle that lies wholly outside the source leaves no tile.
    if (sx2 < sx1 || sy2 < sy1)
        return 0;
    int64_t tile_w = (int64_t)sx2 - sx1 + 1, tile_h = (int64_t)sy2 - sy1 + 1;
    if (!pxm_lock_pair(ts, dst, true, src, true))
        return 0;

    int64_t start = pxm_max64(x1, 0), end = pxm_min64(x2, (int64_t)dst->width - 1);
    int64_t ystart = pxm_max64(y1, 0), yend = pxm_min64(y2, (int64_t)dst->height - 1);
    if (flags & PXM_CLIP) {
        start = pxm_max64(start, clip.clip_x1);
        end = pxm_min64(end, clip.clip_x2);
        ystart = pxm_max64(ystart, clip.clip_y1);
        yend = pxm_min64(yend, clip.clip_y2);
    }
    if (end >= start && ystart <= yend) {
        bool mirror = (flags & PXM_MIRROR) != 0;
        // Row phase: rows mirror with period 2A anchored at destination row
        // 0, or repeat with period A from y1. Stepped per row, divided once.
        int64_t phase = mirror ? ystart % (2 * tile_h) : (ystart - y1) % tile_h;
        int64_t period = mirror ? 2 * tile_h : tile_h;
        int32_t first_k = (int32_t)((start - x1) % tile_w);
        if (!mirror && pxm_use_sse2()) {
            pxm_tile_rows_sse2(dst->pixels + (size_t)ystart * (size_t)dst->stride + start, (size_t)dst->stride,
                               (int32_t)(yend - ystart + 1), (int32_t)(end - start + 1),
                               src->pixels + (size_t)sy1 * (size_t)src->stride + sx1, (size_t)src->stride,
                               (int32_t)tile_w, (int32_t)tile_h, (int32_t)phase, first_k);
            ystart = yend + 1;
        }
        for (int64_t y = ystart; y <= yend; y++, phase = phase + 1 == period ? 0 : phase + 1) {
            int64_t r = phase >= tile_h ? 2 * tile_h - 1 - phase : phase;
            const uint32_t *srow = src->pixels + (size_t)(sy1 + r) * (size_t)src->stride + sx1;
            uint32_t *drow = dst->pixels + (size_t)y * (size_t)dst->stride;
            if (!mirror) {
                int32_t k = first_k;
                for (int64_t x = start; x <= end;) {
                    int64_t n = pxm_min64(tile_w - k, end - x + 1);
                    pxm_copy_bytes(drow + x, srow + k, (size_t)n * 4);
                    x += n;
                    k = 0;
                }
            } else {
                // Columns walk from tile column (start mod B) and turn at each
                // edge, using the edge column twice.
                int32_t last = (int32_t)tile_w - 1;
                int32_t k = (int32_t)(start % tile_w);
                int dir = 1;
                for (int64_t x = start; x <= end; x++) {
                    drow[x] = srow[k];
                    if (dir > 0) {
                        if (k == last)
                            dir = -1;
                        else
                            k++;
                    } else {
                        if (k == 0)
                            dir = 1;
                        else
                            k--;
                    }
                }
            }
        }
    }
    pxm_unlock_pair(ts, dst, src);
    return 1;
}

int32_t pxm_blit_to_dc(HDC target, int32_t x1, int32_t y1, int32_t x2, int32_t y2, PxmSurface *src, int32_t sx1,
                       int32_t sy1, int32_t sx2, int32_t sy2, uint32_t ignored)
{
    (void)ignored;
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(src) || (src->kind & PXM_KIND_MEMORY))
        return 0;
    ts->status = PXM_STATUS_OK;
    pxm_select_dib(ts, src);
    int w = (int)((int64_t)x2 - x1 + 1), h = (int)((int64_t)y2 - y1 + 1);
    if ((int64_t)x2 - x1 == (int64_t)sx2 - sx1 && (int64_t)y2 - y1 == (int64_t)sy2 - sy1)
        return BitBlt(target, x1, y1, w, h, src->dc, sx1, sy1, SRCCOPY);
    return StretchBlt(target, x1, y1, w, h, src->dc, sx1, sy1, (int)((int64_t)sx2 - sx1 + 1),
                      (int)((int64_t)sy2 - sy1 + 1), SRCCOPY);
}
