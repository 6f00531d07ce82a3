// Lines, filled rectangles and rectangle outlines, opaque and blended, and
// the row helpers they share with the gradients.
//
// None of these validates or locks the surface: the caller holds the lock.
// Pixels outside the surface (and, with PXM_CLIP, outside the thread's clip
// rectangle) are never written; lines and outlines far outside it are
// skipped without walking their off-surface parts.
#include "pxm_shapes.h"

#include <intrin.h>

typedef struct PxmBounds {
    int64_t x1, y1, x2, y2;
} PxmBounds;

static PxmBounds pxm_bounds(const PxmThreadState *ts, const PxmSurface *s, uint32_t flags)
{
    PxmBounds b = {0, 0, (int64_t)s->width - 1, (int64_t)s->height - 1};
    if (flags & PXM_CLIP) {
        b.x1 = pxm_max64s(ts->clip_x1, 0);
        b.y1 = pxm_max64s(ts->clip_y1, 0);
        b.x2 = pxm_min64s(ts->clip_x2, b.x2);
        b.y2 = pxm_min64s(ts->clip_y2, b.y2);
    }
    return b;
}

static inline uint32_t *pxm_at(PxmSurface *s, int64_t x, int64_t y)
{
    return s->pixels + (size_t)y * (size_t)s->stride + (size_t)x;
}

static inline void pxm_plot(uint32_t *p, const PxmPen *pen, int64_t f)
{
    uint32_t c = pen->gradient ? pxm_mix_int(pen->start, pen->end, (uint32_t)f) : pen->start;
    if (pen->blend)
        pxm_pixel_over(p, c);
    else
        *p = c;
}

// A horizontal or vertical run from a to b (in either order) along one axis
// at fixed position `at` on the other; f runs from 0 at `from` to 256 at `to`.
static int64_t pxm_axis_run(PxmSurface *s, bool horizontal, int64_t at, int64_t a, int64_t b, int64_t lo, int64_t hi,
                            const PxmPen *pen)
{
    int64_t from = a, span = b - a;
    if (a > b) {
        int64_t t = a;
        a = b;
        b = t;
    }
    a = pxm_max64s(a, lo);
    b = pxm_min64s(b, hi);
    if (b < a)
        return b - a + 1;
    if (horizontal && !pen->gradient) {
        uint32_t *row = pxm_at(s, 0, at);
        if (pen->blend)
            pxm_blend_span(row, (int32_t)a, (int32_t)b, pen->start);
        else
            pxm_fill_span(row, (int32_t)a, (int32_t)b, pen->start);
        return b - a + 1;
    }
    for (int64_t v = a; v <= b; v++)
        pxm_plot(horizontal ? pxm_at(s, v, at) : pxm_at(s, at, v), pen, pen->gradient ? ((v - from) * 256) / span : 0);
    return b - a + 1;
}

// The general line's steps kmin..kmax when every position fits in 32 bits:
// the same positions and fractions as the 64-bit walk below, carried in
// 32-bit words with one division at the start.
static void pxm_line_steps32(PxmSurface *s, const PxmPen *pen, bool x_major, int32_t major1, int32_t minor1,
                             int32_t dir, int32_t minor_dir, uint32_t steps, uint32_t aminor, int32_t flen,
                             int32_t kmin, int32_t kmax, int32_t mlo, int32_t mhi)
{
    uint64_t num = (uint64_t)(uint32_t)kmin * aminor;
    uint32_t q = (uint32_t)(num / steps), rem = (uint32_t)(num % steps);
    int32_t mv = minor1 + minor_dir * (int32_t)q, mj = major1 + dir * kmin;
    int32_t fq = 0, fr = 0, fadd = 0, fradd = 0;
    if (pen->gradient) {
        int64_t f = (int64_t)kmin * 256;
        fq = (int32_t)(f / flen);
        fr = (int32_t)(f % flen);
        fadd = 256 / flen;
        fradd = 256 % flen;
    }
    const size_t stride = (size_t)s->stride;
    uint32_t *pixels = s->pixels;
    for (int32_t k = kmin; k <= kmax; k++) {
        if (mv >= mlo && mv <= mhi) {
            uint32_t *p = x_major ? pixels + (size_t)mv * stride + mj : pixels + (size_t)mj * stride + mv;
            if (!pen->gradient && !pen->blend)
                *p = pen->start;
            else
                pxm_plot(p, pen, fq);
        }
        mj += dir;
        rem += aminor;
        if (rem >= steps) {
            rem -= steps;
            mv += minor_dir;
        }
        fq += fadd;
        fr += fradd;
        if (fr >= flen) {
            fr -= flen;
            fq++;
        }
    }
}

int32_t pxm_line_walk(const PxmThreadState *ts, PxmSurface *s, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                      const PxmPen *pen, uint32_t flags)
{
    int64_t w = s->width, h = s->height;
    if ((x1 < 0 && x2 < 0) || (x1 >= w && x2 >= w) || (y1 < 0 && y2 < 0) || (y1 >= h && y2 >= h))
        return 0;
    if (!s->pixels)
        return 0;
    PxmBounds b = pxm_bounds(ts, s, flags);
    if (x1 == x2 && y1 == y2) {
        if (x1 < b.x1 || x1 > b.x2 || y1 < b.y1 || y1 > b.y2)
            return 0;
        pxm_plot(pxm_at(s, x1, y1), pen, 128);
        return 1;
    }
    if (y1 == y2) {
        if (y1 < b.y1 || y1 > b.y2)
            return 0;
        return pxm_saturate32(pxm_axis_run(s, true, y1, x1, x2, b.x1, b.x2, pen));
    }
    if (x1 == x2) {
        if (x1 < b.x1 || x1 > b.x2)
            return 0;
        return pxm_saturate32(pxm_axis_run(s, false, x1, y1, y2, b.y1, b.y2, pen));
    }

    // The major axis advances one pixel per step; the minor position at
    // step k is k * minor / |major|, truncated toward zero. Magnitudes stay
    // below 2^32, so their product fits an unsigned 64-bit word.
    int64_t m = x2 > x1 ? x2 - x1 + 1 : x2 - x1 - 1;
    int64_t o = y2 > y1 ? y2 - y1 + 1 : y2 - y1 - 1;
    int64_t am = m < 0 ? -m : m, ao = o < 0 ? -o : o;
    bool x_major = ao < am;
    int64_t steps = x_major ? am : ao;
    int64_t major1 = x_major ? x1 : y1, minor1 = x_major ? y1 : x1;
    int64_t minor = x_major ? o : m, aminor = x_major ? ao : am;
    int64_t dir = (x_major ? m : o) > 0 ? 1 : -1;
    int64_t lo = x_major ? b.x1 : b.y1, hi = x_major ? b.x2 : b.y2;
    int64_t mlo = x_major ? b.y1 : b.x1, mhi = x_major ? b.y2 : b.x2;
    int64_t flen = x_major ? (x2 > x1 ? x2 - x1 : x1 - x2) : (y2 > y1 ? y2 - y1 : y1 - y2);
    // Only the steps whose major position lies within the bounds can draw.
    int64_t kmin = dir > 0 ? lo - major1 : major1 - hi;
    int64_t kmax = dir > 0 ? hi - major1 : major1 - lo;
    kmin = pxm_max64s(kmin, 0);
    kmax = pxm_min64s(kmax, steps - 1);
    if (kmin > kmax)
        return pxm_saturate32(steps);
    if (steps < ((int64_t)1 << 30) && major1 > -((int64_t)1 << 30) && major1 < ((int64_t)1 << 30) &&
        minor1 > -((int64_t)1 << 30) && minor1 < ((int64_t)1 << 30)) {
        pxm_line_steps32(s, pen, x_major, (int32_t)major1, (int32_t)minor1, (int32_t)dir, minor < 0 ? -1 : 1,
                         (uint32_t)steps, (uint32_t)aminor, (int32_t)flen, (int32_t)kmin, (int32_t)kmax,
                         (int32_t)mlo, (int32_t)mhi);
        return pxm_saturate32(steps);
    }
    // The quotients k * |minor| / steps and k * 256 / flen are carried from
    // step to step with their remainders: the same values as dividing at
    // every step (|minor| never exceeds steps, so the first carries at most 1).
    uint64_t usteps = (uint64_t)steps, uminor = (uint64_t)aminor;
    uint64_t num = (uint64_t)kmin * uminor, q = num / usteps, rem = num % usteps;
    int64_t fq = 0, fr = 0, fadd = 0, fradd = 0;
    if (pen->gradient) {
        fq = (kmin * 256) / flen;
        fr = (kmin * 256) % flen;
        fadd = 256 / flen;
        fradd = 256 % flen;
    }
    for (int64_t k = kmin; k <= kmax; k++) {
        int64_t mv = minor < 0 ? minor1 - (int64_t)q : minor1 + (int64_t)q;
        if (mv >= mlo && mv <= mhi) {
            int64_t mj = major1 + dir * k;
            pxm_plot(x_major ? pxm_at(s, mj, mv) : pxm_at(s, mv, mj), pen, fq);
        }
        rem += uminor;
        if (rem >= usteps) {
            rem -= usteps;
            q++;
        }
        fq += fadd;
        fr += fradd;
        if (fr >= flen) {
            fr -= flen;
            fq++;
        }
    }
    return pxm_saturate32(steps);
}

bool pxm_rect_clamp(const PxmThreadState *ts, const PxmSurface *s, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                    uint32_t flags, int32_t r[4])
{
    if (x2 < x1) {
        int64_t t = x1;
        x1 = x2;
        x2 = t;
    }
    if (y2 < y1) {
        int64_t t = y1;
        y1 = y2;
        y2 = t;
    }
    if (flags & PXM_EXCLUSIVE) {
        x2--;
        y2--;
    }
    if (flags & PXM_CLIP) {
        x1 = pxm_max64s(x1, ts->clip_x1);
        y1 = pxm_max64s(y1, ts->clip_y1);
        x2 = pxm_min64s(x2, ts->clip_x2);
        y2 = pxm_min64s(y2, ts->clip_y2);
    }
    x1 = pxm_max64s(x1, 0);
    y1 = pxm_max64s(y1, 0);
    x2 = pxm_min64s(x2, (int64_t)s->width - 1);
    y2 = pxm_min64s(y2, (int64_t)s->height - 1);
    if (x2 < x1 || y2 < y1 || !s->pixels)
        return false;
    r[0] = (int32_t)x1;
    r[1] = (int32_t)y1;
    r[2] = (int32_t)x2;
    r[3] = (int32_t)y2;
    return true;
}

static int32_t pxm_fill_rect_in(const PxmThreadState *ts, PxmSurface *s, int64_t x1, int64_t y1, int64_t x2,
                                int64_t y2, uint32_t colour, uint32_t flags, bool blend)
{
    int32_t r[4];
    if (!pxm_rect_clamp(ts, s, x1, y1, x2, y2, flags, r))
        return 0;
    if (blend && (colour >> 24) == 0)
        blend = false;
    if (!blend && pxm_use_sse2()) {
        pxm_fill_rows_sse2(pxm_at(s, 0, r[1]), (size_t)s->stride, r[0], r[2], r[3] - r[1] + 1, colour);
        return 1;
    }
    for (int32_t y = r[1]; y <= r[3]; y++) {
        uint32_t *row = pxm_at(s, 0, y);
        if (blend)
            pxm_blend_span(row, r[0], r[2], colour);
        else
            pxm_fill_span(row, r[0], r[2], colour);
    }
    return 1;
}

// Rings of four lines that share no pixel. Rings lying wholly around the
// surface, or wholly beyond one of its edges, draw nothing and add 0 to
// the result, so they are skipped rather than walked.
static int32_t pxm_draw_rect_in(const PxmThreadState *ts, PxmSurface *s, int64_t x1, int64_t y1, int64_t x2,
                                int64_t y2, int32_t thickness, uint32_t colour, uint32_t flags, bool blend)
{
    PxmPen pen = {colour, colour, false, blend && (colour >> 24) != 0};
    if (x1 == x2 || y1 == y2)
        return pxm_line_walk(ts, s, x1, y1, x2, y1, &pen, flags);
    if (x2 < x1) {
        int64_t t = x1;
        x1 = x2;
        x2 = t;
    }
    if (y2 < y1) {
        int64_t t = y1;
        y1 = y2;
        y2 = t;
    }
    int64_t half = (pxm_min64s(y2 - y1, x2 - x1) + 1) / 2;
    if (thickness > pxm_max64s(half, 1))
        return pxm_fill_rect_in(ts, s, x1, y1, x2, y2, colour, flags, pen.blend);
    int64_t w = s->width, h = s->height;
    int64_t first = pxm_max64s(0, pxm_min64s(pxm_min64s(-x1, -y1), pxm_min64s(x2 - w + 1, y2 - h + 1)));
    int64_t last = pxm_min64s(pxm_min64s((int64_t)thickness, h - y1), pxm_min64s(y2 + 1, pxm_min64s(w - x1, x2 + 1)));
    int64_t sum = 0;
    for (int64_t i = first; i < last; i++) {
        int64_t l = x1 + i, t = y1 + i, r = x2 - i, b = y2 - i;
        sum += pxm_line_walk(ts, s, l + 1, t, r, t, &pen, flags);
        sum += pxm_line_walk(ts, s, r, t + 1, r, b, &pen, flags);
        sum += pxm_line_walk(ts, s, l, b, r - 1, b, &pen, flags);
        sum += pxm_line_walk(ts, s, l, t, l, b - 1, &pen, flags);
    }
    return pxm_saturate32(sum) | 1;
}

static PxmThreadState *pxm_shape_state(void)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_OK;
    return ts;
}

int32_t pxm_draw_line(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, uint32_t flags)
{
    PxmThreadState *ts = pxm_shape_state();
    if (!s)
        return 0;
    PxmPen pen = {colour, colour, false, false};
    return pxm_line_walk(ts, s, x1, y1, x2, y2, &pen, flags);
}

int32_t pxm_draw_line_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
                            uint32_t flags)
{
    PxmThreadState *ts = pxm_shape_state();
    if (!s)
        return 0;
    PxmPen pen = {colour, colour, false, (colour >> 24) != 0};
    return pxm_line_walk(ts, s, x1, y1, x2, y2, &pen, flags);
}

int32_t pxm_fill_rect(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, uint32_t flags)
{
    PxmThreadState *ts = pxm_shape_state();
    if (!s)
        return 0;
    return pxm_fill_rect_in(ts, s, x1, y1, x2, y2, colour, flags, false);
}

int32_t pxm_fill_rect_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
                            uint32_t flags)
{
    PxmThreadState *ts = pxm_shape_state();
    if (!s)
        return 0;
    return pxm_fill_rect_in(ts, s, x1, y1, x2, y2, colour, flags, true);
}

int32_t pxm_draw_rect(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t thickness,
                      uint32_t colour, uint32_t flags)
{
    PxmThreadState *ts = pxm_shape_state();
    if (!s)
        return 0;
    return pxm_draw_rect_in(ts, s, x1, y1, x2, y2, thickness, colour, flags, false);
}

int32_t pxm_draw_rect_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t thickness,
                            uint32_t colour, uint32_t flags)
{
    PxmThreadState *ts = pxm_shape_state();
    if (!s)
        return 0;
    return pxm_draw_rect_in(ts, s, x1, y1, x2, y2, thickness, colour, flags, true);
}

// Runs of 32 pixels or more are stored with a plain repeated 4-byte store.
void pxm_fill_run_int(uint32_t *p, int32_t n, uint32_t colour)
{
    if (n >= 32) {
        __stosd((unsigned long *)p, colour, (size_t)n);
        return;
    }
    for (int32_t i = 0; i < n; i++)
        p[i] = colour;
}

// pxm_pixel_over with one colour: its share c * (256 - w) of each lane
// pair is the same for every pixel.
void pxm_blend_run_int(uint32_t *p, int32_t n, uint32_t colour)
{
    uint32_t w = pxm_weight(colour);
    if (w == 0) {
        pxm_fill_run_int(p, n, colour);
        return;
    }
    if (w == 256)
        return;
    uint32_t g = 256 - w;
    uint32_t rb = (colour & 0x00FF00FF) * g, ag = ((colour >> 8) & 0x0000FF) * g;
    for (int32_t i = 0; i < n; i++) {
        uint32_t d = p[i];
        uint32_t lo = (((d & 0x00FF00FF) * w + rb) >> 8) & 0x00FF00FF;
        uint32_t hi = (((d >> 8) & 0x00FF00FF) * w + ag) & 0xFF00FF00;
        p[i] = lo | hi;
    }
}

void pxm_fill_span(uint32_t *row, int32_t x1, int32_t x2, uint32_t colour)
{
    if (x2 < x1)
        return;
    int32_t n = x2 - x1 + 1;
    if (n >= 32 && pxm_use_sse2() && ((uintptr_t)row & 3) == 0)
        pxm_fill_run_sse2(row + x1, n, colour);
    else
        pxm_fill_run_int(row + x1, n, colour);
}

void pxm_blend_span(uint32_t *row, int32_t x1, int32_t x2, uint32_t colour)
{
    if (x2 < x1)
        return;
    if (pxm_use_sse2())
        pxm_blend_run_sse2(row + x1, x2 - x1 + 1, colour);
    else
        pxm_blend_run_int(row + x1, x2 - x1 + 1, colour);
}
