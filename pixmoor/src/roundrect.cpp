// Anti-aliased rounded rectangles with a four-corner gradient.
//
// Each pixel is split into 8 x 8 sub-samples. Sub-rows are walked top to
// bottom; each adds its covered sub-columns to a row of per-pixel counts
// (0..64), and after the eighth sub-row of a pixel row the counts become
// blend weights. Corner arcs are computed in single precision with
// truncation, which the x87 unit is switched to for the call; the caller's
// control word is put back afterwards.
#include "pxm_shapes.h"

#include <malloc.h>
#include <string.h>

enum { PXM_COVERAGE_COLUMNS = 65536 };

static inline uint16_t pxm_fpu_control(void)
{
    uint16_t cw;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw) : : "memory");
    return cw;
}

static inline void pxm_fpu_load(uint16_t cw)
{
    __asm__ __volatile__("fldcw %0" : : "m"(cw) : "memory");
}

// Rounds down, not toward zero: an edge at -0.5 sub-samples lies left of
// sub-column 0 and must not cover it. The unit already truncates, so the
// conversion needs no control word change of its own.
static inline int64_t pxm_floor_int(float v)
{
    int64_t t;
    __asm__("fistpll %0" : "=m"(t) : "t"(v) : "st");
    return (float)t > v ? t - 1 : t;
}

// Quotient and remainder in 32-bit arithmetic when both operands allow it
// (64-bit division is a library call on this processor).
static inline void pxm_divmod(int64_t a, int64_t b, int64_t *q, int64_t *r)
{
    if (a >= 0 && a <= INT32_MAX && b > 0 && b <= INT32_MAX) {
        *q = (uint32_t)a / (uint32_t)b;
        *r = (uint32_t)a % (uint32_t)b;
    } else {
        *q = a / b;
        *r = a % b;
    }
}

// Kept out of line, so the arithmetic cannot move across the control word
// changes around the loop.
__attribute__((noipa)) static void pxm_corner_span(int64_t f, int64_t e, int64_t rx, int64_t ry, int64_t dy,
                                                   int64_t *c, int64_t *d)
{
    float frx = (float)rx, fry = (float)ry, fdy = (float)dy;
    float sq = frx * frx * (1.0f - fdy * fdy / (fry * fry));
    __asm__("fsqrt" : "+t"(sq));
    float inset = frx - sq;
    *d = pxm_floor_int(((float)e - inset) + 0.5f);
    *c = pxm_floor_int(((float)f + inset) + 0.5f);
}

static void pxm_cover(uint8_t *cov, int64_t c, int64_t d)
{
    int64_t a = c >> 3, b = d >> 3;
    if (a == b) {
        cov[a] = (uint8_t)(cov[a] + (d - c + 1));
        return;
    }
    cov[a] = (uint8_t)(cov[a] + (8 - (c & 7)));
    for (int64_t x = a + 1; x < b; x++)
        cov[x] = (uint8_t)(cov[x] + 8);
    cov[b] = (uint8_t)(cov[b] + ((d & 7) + 1));
}

static inline uint32_t pxm_row_fraction(int64_t at, int64_t span)
{
    int64_t q, r;
    pxm_divmod(at * 256, span, &q, &r);
    return (uint32_t)q;
}

typedef struct PxmRoundShape {
    int64_t x1, F, E;
    uint32_t c1, c2, c3, c4;
} PxmRoundShape;

// Writes pixel row `row` columns j..k with coverage counts cov (or a full
// 64 for every column when cov is null) at vertical fraction fy.
static void pxm_round_row(uint32_t *row, int64_t j, int64_t k, const uint8_t *cov, const PxmRoundShape *sh,
                          uint32_t fy)
{
    // fx = (x - x1) * 2048 / (E - F), carried from column to column.
    const int64_t den = sh->E - sh->F;
    const bool across = sh->c1 != sh->c2 || sh->c3 != sh->c4;
    int64_t fq = 0, fr = 0, qadd = 0, radd = 0;
    if (across) {
        pxm_divmod((j - sh->x1) * 2048, den, &fq, &fr);
        pxm_divmod(2048, den, &qadd, &radd);
    }
    uint32_t colour = pxm_mix_int(sh->c1, sh->c3, fy);
    if (!across && !cov) {
        // One colour and one weight for the whole run.
        uint32_t weight = (64 * (255 - (colour >> 24)) + 127) / 255, c = colour & 0x00FFFFFF;
        if (weight >= 64) {
            pxm_fill_run_int(row + j, (int32_t)(k - j + 1), c);
            return;
        }
        uint32_t f = 4 * weight, g = 256 - f, rb = (c & 0x00FF00FF) * f, ag = ((c >> 8) & 0x00FF00FF) * f;
        for (int32_t x = (int32_t)j; x <= (int32_t)k; x++) {
            uint32_t d = row[x];
            row[x] = ((((d & 0x00FF00FF) * g + rb) >> 8) & 0x00FF00FF) | ((((d >> 8) & 0x00FF00FF) * g + ag) & 0xFF00FF00);
        }
        return;
    }
    for (int64_t x = j; x <= k; x++) {
        if (across) {
            uint32_t fx = (uint32_t)fq;
            colour = pxm_mix_int(pxm_mix_int(sh->c1, sh->c2, fx), pxm_mix_int(sh->c3, sh->c4, fx), fy);
            fq += qadd;
            fr += radd;
            if (fr >= den) {
                fr -= den;
                fq++;
            }
        }
        uint32_t weight = ((cov ? cov[x] : 64) * (255 - (colour >> 24)) + 127) / 255;
        uint32_t c = colour & 0x00FFFFFF;
        row[x] = weight >= 64 ? c : pxm_mix_int(row[x], c, 4 * weight);
    }
}

int32_t pxm_fill_round_rect(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t rx, int32_t ry,
                            uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, uint32_t flags)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_OK;
    if (x2 < x1) {
        int32_t t = x1;
        x1 = x2;
        x2 = t;
        uint32_t u = c1;
        c1 = c2;
        c2 = u;
        u = c3;
        c3 = c4;
        c4 = u;
    }
    if (y2 < y1) {
        int32_t t = y1;
        y1 = y2;
        y2 = t;
        uint32_t u = c1;
        c1 = c3;
        c3 = u;
        u = c2;
        c2 = c4;
        c4 = u;
    }
    if (x1 == x2 || y1 == y2)
        return 0;
    if (!s || !s->pixels)
        return 0;

    // Sub-sample space, 64-bit so that corners far outside cannot overflow.
    const int64_t F = 8 * (int64_t)x1, E = 8 * (int64_t)x2 + 7, V = 8 * (int64_t)y1, Wb = 8 * (int64_t)y2 + 7;
    // A radius of 0 or less (either of them) gives square corners: the arc
    // formula would divide by zero or bulge outward.
    const bool round = rx > 0 && ry > 0;
    const int64_t RX = round ? 8 * (int64_t)rx : 0, RY = round ? 8 * (int64_t)ry : 0;
    int64_t width = pxm_min64s(s->width, PXM_COVERAGE_COLUMNS);
    int64_t left = 0, top = 0, right = 8 * width - 1, bottom = 8 * (int64_t)s->height - 1;
    if (flags & PXM_CLIP) {
        if (ts->clip_x1 > 0)
            left = 8 * (int64_t)ts->clip_x1;
        if (ts->clip_y1 > 0)
            top = 8 * (int64_t)ts->clip_y1;
        right = pxm_min64s(right, 8 * (int64_t)ts->clip_x2 + 7);
        bottom = pxm_min64s(bottom, 8 * (int64_t)ts->clip_y2 + 7);
    }
    const int64_t first = pxm_max64s(V, top), last = pxm_min64s(Wb, bottom);
    if (first > last || left > right)
        return 1;
    const PxmRoundShape sh = {x1, F, E, c1, c2, c3, c4};
    const size_t stride = (size_t)s->stride;

    // The coverage row lives in the call's own stack storage, one byte for
    // each column up to the right limit (at most PXM_COVERAGE_COLUMNS), and
    // only columns between the limits are ever counted.
    uint8_t *cov = (uint8_t *)alloca((size_t)(right >> 3) + 1);
    memset(cov + (left >> 3), 0, (size_t)((right >> 3) - (left >> 3) + 1));
    int64_t lmost = 9999999, rmost = -9999999;

    uint16_t saved = pxm_fpu_control();
    // Single precision (precision bits 0), round toward zero, exceptions masked.
    pxm_fpu_load((uint16_t)((saved & ~0x0F3F) | 0x0C00 | 0x003F));

    for (int64_t i = first; i <= last; i++) {
        // A pixel row whose eight sub-rows all lie between the corner bands
        // covers whole pixels from the left edge to the right edge (both on
        // pixel boundaries), 64 sub-samples each.
        if ((i & 7) == 0 && i + 7 <= last && (!round || (i > V + RY && i + 7 < Wb - RY))) {
            int64_t c = pxm_max64s(F, left), d = pxm_min64s(E, right);
            if (d >= c)
                pxm_round_row(s->pixels + (size_t)(i >> 3) * stride, c >> 3, d >> 3, nullptr, &sh,
                              pxm_row_fraction(i + 7 - V, Wb - V));
            i += 7;
            continue;
        }
        int64_t c = F, d = E;
        if (round && i <= V + RY)
            pxm_corner_span(F, E, RX, RY, V + RY - i, &c, &d);
        else if (round && i >= Wb - RY)
            pxm_corner_span(F, E, RX, RY, i + RY - Wb, &c, &d);
        c = pxm_max64s(c, left);
        d = pxm_min64s(d, right);
        if (d >= c) {
            pxm_cover(cov, c, d);
            lmost = pxm_min64s(lmost, c);
            rmost = pxm_max64s(rmost, d);
        }
        if ((i & 7) != 7 && i != Wb)
            continue;

        // The fraction of the row's last sub-row: the first pixel row never
        // has 0, the last has 256.
        int64_t j = pxm_max64s(lmost >> 3, left >> 3), k = pxm_min64s(rmost >> 3, right >> 3);
        if (j <= k)
            pxm_round_row(s->pixels + (size_t)(i >> 3) * stride, j, k, cov, &sh, pxm_row_fraction(i - V, Wb - V));
        if (rmost >= lmost)
            memset(cov + (lmost >> 3), 0, (size_t)((rmost >> 3) - (lmost >> 3) + 1));
        lmost = 9999999;
        rmost = -9999999;
    }

    pxm_fpu_load(saved);
    return 1;
}
