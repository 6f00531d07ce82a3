// Raster-operation blits and fills: bitwise and saturating operations,
// burn, multiply and screen, colour-space blends in HSL and YCbCr, the
// transparency mask and the checker blend. The operation is chosen once per
// call; each row is one run of the chosen span function.
#include "pxm_rop.h"

static inline uint32_t pxm_byte(uint32_t p, int k) { return (p >> (8 * k)) & 255; }

static inline uint32_t pxm_clamp_byte(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : (uint32_t)v; }

uint32_t pxm_rop_add_pixel(uint32_t d, uint32_t s)
{
    uint32_t r = 0;
    for (int k = 0; k < 4; k++) {
        uint32_t v = pxm_byte(d, k) + pxm_byte(s, k);
        r |= (v > 255 ? 255 : v) << (8 * k);
    }
    return r;
}

uint32_t pxm_rop_sub_pixel(uint32_t d, uint32_t s)
{
    uint32_t r = 0;
    for (int k = 0; k < 4; k++) {
        uint32_t a = pxm_byte(d, k), b = pxm_byte(s, k);
        r |= (a > b ? a - b : 0) << (8 * k);
    }
    return r;
}

uint32_t pxm_rop_burn_pixel(uint32_t d, uint32_t s)
{
    uint32_t r = s & 0xFF000000;
    for (int k = 0; k < 3; k++) {
        uint32_t a = pxm_byte(d, k), b = 255 - pxm_byte(s, k);
        r |= (a > b ? a - b : 0) << (8 * k);
    }
    return r;
}

// The integer rule widens the destination to 0..256 first, so white
// multiplies as the identity; the SSE2 rule is the plain product.
uint32_t pxm_rop_multiply_pixel(uint32_t d, uint32_t s, bool sse2_rule)
{
    uint32_t r = s & 0xFF000000;
    for (int k = 0; k < 3; k++) {
        uint32_t a = pxm_byte(d, k), b = pxm_byte(s, k);
        if (!sse2_rule)
            a += a >> 7;
        r |= ((a * b) >> 8) << (8 * k);
    }
    return r;
}

uint32_t pxm_rop_add_signed_pixel(uint32_t d, uint32_t s)
{
    uint32_t r = s & 0xFF000000;
    for (int k = 0; k < 3; k++)
        r |= pxm_clamp_byte((int32_t)pxm_byte(d, k) + (int32_t)pxm_byte(s, k) - 128) << (8 * k);
    return r;
}

uint32_t pxm_rop_screen_pixel(uint32_t d, uint32_t s, bool sse2_rule)
{
    uint32_t r = s & 0xFF000000;
    for (int k = 0; k < 3; k++) {
        uint32_t a = 255 - pxm_byte(d, k), b = 255 - pxm_byte(s, k);
        if (!sse2_rule)
            a += a >> 7;
        r |= (255 - ((a * b) >> 8)) << (8 * k);
    }
    return r;
}

// YCbCr in 16-bit fixed point with the JFIF coefficients, packed as
// byte 2 = Y, byte 1 = Cr, byte 0 = Cb, byte 3 = T.
static uint32_t pxm_to_ycc(uint32_t p)
{
    int32_t r = (int32_t)pxm_byte(p, 2), g = (int32_t)pxm_byte(p, 1), b = (int32_t)pxm_byte(p, 0);
    int32_t y = (19595 * r + 38470 * g + 7471 * b + 32768) >> 16;
    int32_t cb = ((32768 * b - 11059 * r - 21709 * g) >> 16) + 128;
    int32_t cr = ((32768 * r - 27439 * g - 5329 * b) >> 16) + 128;
    return (p & 0xFF000000) | pxm_clamp_byte(y) << 16 | pxm_clamp_byte(cr) << 8 | pxm_clamp_byte(cb);
}

static uint32_t pxm_from_ycc(uint32_t p)
{
    int32_t y = (int32_t)pxm_byte(p, 2), cr = (int32_t)pxm_byte(p, 1) - 128, cb = (int32_t)pxm_byte(p, 0) - 128;
    int32_t r = (65536 * y + 91881 * cr + 32768) >> 16;
    int32_t g = (65536 * y - 46802 * cr - 22553 * cb + 32768) >> 16;
    int32_t b = (65536 * y + 116130 * cb + 32768) >> 16;
    return (p & 0xFF000000) | pxm_clamp_byte(r) << 16 | pxm_clamp_byte(g) << 8 | pxm_clamp_byte(b);
}

// HSL on a scale where 24000 is the full range, packed as byte 2 = H,
// byte 1 = S, byte 0 = L, byte 3 = T.
static inline uint32_t pxm_hsl_byte(int32_t v) { return pxm_clamp_byte((v * 255 + 12000) / 24000); }

static uint32_t pxm_to_hsl(uint32_t p)
{
    int32_t r = (int32_t)pxm_byte(p, 2), g = (int32_t)pxm_byte(p, 1), b = (int32_t)pxm_byte(p, 0);
    int32_t mx = r > g ? r : g, mn = r < g ? r : g;
    if (b > mx)
        mx = b;
    if (b < mn)
        mn = b;
    int32_t l = ((mx + mn) * 24000 + 255) / 510, s, h;
    if (mx == mn) {
        s = 0;
        h = 16000;
    } else {
        int32_t delta = mx - mn, e = l > 12000 ? 510 - mx - mn : mx + mn;
        s = (delta * 24000 + e / 2) / e;
        int32_t rc = ((mx - r) * 4000 + delta / 2) / delta;
        int32_t gc = ((mx - g) * 4000 + delta / 2) / delta;
        int32_t bc = ((mx - b) * 4000 + delta / 2) / delta;
        if (r == mx)
            h = bc - gc;
        else if (g == mx)
            h = 8000 + rc - bc;
        else
            h = 16000 + gc - rc;
        if (h < 0)
            h += 24000;
        if (h > 24000)
            h -= 24000;
    }
    return (p & 0xFF000000) | pxm_hsl_byte(h) << 16 | pxm_hsl_byte(s) << 8 | pxm_hsl_byte(l);
}

static int32_t pxm_hue(int32_t m1, int32_t m2, int32_t h)
{
    if (h < 0)
        h += 24000;
    if (h > 24000)
        h -= 24000;
    if (h < 4000)
        return m1 + ((m2 - m1) * h + 2000) / 4000;
    if (h < 12000)
        return m2;
    if (h < 16000)
        return m1 + ((m2 - m1) * (16000 - h) + 2000) / 4000;
    return m1;
}

static uint32_t pxm_from_hsl(uint32_t p)
{
    int32_t h = ((int32_t)pxm_byte(p, 2) * 24000 + 127) / 255;
    int32_t s = ((int32_t)pxm_byte(p, 1) * 24000 + 127) / 255;
    int32_t l = ((int32_t)pxm_byte(p, 0) * 24000 + 127) / 255;
    if (s == 0) {
        uint32_t v = pxm_hsl_byte(l);
        return (p & 0xFF000000) | v << 16 | v << 8 | v;
    }
    int32_t m2 = l > 12000 ? l + s - (s * l + 12000) / 24000 : (l * (s + 24000) + 12000) / 24000;
    int32_t m1 = 2 * l - m2;
    return (p & 0xFF000000) | pxm_hsl_byte(pxm_hue(m1, m2, h + 8000)) << 16 | pxm_hsl_byte(pxm_hue(m1, m2, h)) << 8 |
           pxm_hsl_byte(pxm_hue(m1, m2, h - 8000));
}

// Hue and saturation of s, lightness of d, transparency of s.
uint32_t pxm_rop_hsl_color_pixel(uint32_t d, uint32_t s)
{
    uint32_t hs = pxm_to_hsl(s) & 0xFFFFFF00, l = pxm_to_hsl(d) & 0xFF;
    return pxm_from_hsl(hs | l);
}

uint32_t pxm_rop_ycc_color_pixel(uint32_t d, uint32_t s)
{
    return pxm_from_ycc((s & 0xFF000000) | (pxm_to_ycc(d) & 0x00FF0000) | (pxm_to_ycc(s) & 0x0000FFFF));
}

uint32_t pxm_rop_ycc_luma_pixel(uint32_t d, uint32_t s)
{
    return pxm_from_ycc((s & 0xFF000000) | (pxm_to_ycc(s) & 0x00FF0000) | (pxm_to_ycc(d) & 0x0000FFFF));
}

// T = 255 - floor((255 - dT) * (255 - sT) / 255): the opacities multiply.
static inline uint32_t pxm_alpha_mask(uint32_t d, uint32_t s)
{
    uint32_t t = 255 - ((255 - (d >> 24)) * (255 - (s >> 24))) / 255;
    return (d & 0x00FFFFFF) | t << 24;
}

// Shifts red, green and blue down by 80, 72 and 65, modulo 256.
static inline uint32_t pxm_shift_pixel(uint32_t d)
{
    uint32_t r = (pxm_byte(d, 2) - 80) & 255, g = (pxm_byte(d, 1) - 72) & 255, b = (pxm_byte(d, 0) - 65) & 255;
    return (d & 0xFF000000) | r << 16 | g << 8 | b;
}

#define PXM_ROP_SPAN(name, expr)                                                                                      \
    static void name(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y)                                 \
    {                                                                                                                  \
        (void)x;                                                                                                       \
        (void)y;                                                                                                       \
        for (int32_t i = 0; i < n; i++) {                                                                              \
            uint32_t dv = d[i], sv = s[i];                                                                             \
            (void)dv;                                                                                                  \
            (void)sv;                                                                                                  \
            d[i] = (expr);                                                                                             \
        }                                                                                                              \
    }

PXM_ROP_SPAN(pxm_span_copy, sv)
PXM_ROP_SPAN(pxm_span_or, dv | sv)
PXM_ROP_SPAN(pxm_span_and, dv & sv)
PXM_ROP_SPAN(pxm_span_xor, dv ^ sv)
PXM_ROP_SPAN(pxm_span_add, pxm_rop_add_pixel(dv, sv))
PXM_ROP_SPAN(pxm_span_sub, pxm_rop_sub_pixel(dv, sv))
PXM_ROP_SPAN(pxm_span_burn, pxm_rop_burn_pixel(dv, sv))
PXM_ROP_SPAN(pxm_span_multiply, pxm_rop_multiply_pixel(dv, sv, false))
PXM_ROP_SPAN(pxm_span_shift, pxm_shift_pixel(dv))
PXM_ROP_SPAN(pxm_span_add_signed, pxm_rop_add_signed_pixel(dv, sv))
PXM_ROP_SPAN(pxm_span_hsl_color, pxm_rop_hsl_color_pixel(dv, sv))
PXM_ROP_SPAN(pxm_span_ycc_color, pxm_rop_ycc_color_pixel(dv, sv))
PXM_ROP_SPAN(pxm_span_ycc_luma, pxm_rop_ycc_luma_pixel(dv, sv))
PXM_ROP_SPAN(pxm_span_screen, pxm_rop_screen_pixel(dv, sv, false))
PXM_ROP_SPAN(pxm_span_alpha_mask, pxm_alpha_mask(dv, sv))

// Blit: the pattern toward the source by the source's weight.
static void pxm_span_checker_blit(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y)
{
    const uint32_t *pattern = pxm_checker_pattern + (y & 15) * 16;
    for (int32_t i = 0; i < n; i++)
        d[i] = pxm_mix_int(pattern[(x + i) & 15], s[i], pxm_weight(s[i]));
}

// Fill: the pattern toward the destination by the colour's weight.
static void pxm_span_checker_fill(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y)
{
    const uint32_t *pattern = pxm_checker_pattern + (y & 15) * 16;
    for (int32_t i = 0; i < n; i++)
        d[i] = pxm_mix_int(pattern[(x + i) & 15], d[i], pxm_weight(s[i]));
}

// The forms of one operation by level: integer, SSE2, AVX2.
typedef struct PxmRopForms {
    PxmRopSpan integer, sse2, avx2;
} PxmRopForms;

static PxmRopSpan pxm_rop_pick(const PxmRopForms *f)
{
    if (pxm_use_avx2() && f->avx2)
        return f->avx2;
    if (pxm_use_sse2() && f->sse2)
        return f->sse2;
    return f->integer;
}

// Indexed by operation code up to PXM_ROP_SCREEN; a blit with the shift
// code copies.
static const PxmRopForms pxm_rop_forms[] = {
    {pxm_span_copy, pxm_rop_copy_sse2, pxm_rop_copy_avx2},
    {pxm_span_or, pxm_rop_or_sse2, pxm_rop_or_avx2},
    {pxm_span_and, pxm_rop_and_sse2, pxm_rop_and_avx2},
    {pxm_span_xor, pxm_rop_xor_sse2, pxm_rop_xor_avx2},
    {pxm_span_add, pxm_rop_add_sse2, pxm_rop_add_avx2},
    {pxm_span_sub, pxm_rop_sub_sse2, pxm_rop_sub_avx2},
    {pxm_span_burn, pxm_rop_burn_sse2, pxm_rop_burn_avx2},
    {pxm_span_multiply, pxm_rop_multiply_sse2, pxm_rop_multiply_avx2},
    {pxm_span_copy, pxm_rop_copy_sse2, pxm_rop_copy_avx2},
    {pxm_span_add_signed, pxm_rop_add_signed_sse2, pxm_rop_add_signed_avx2},
    {pxm_span_hsl_color, pxm_rop_hsl_color_sse2, pxm_rop_hsl_color_avx2},
    {pxm_span_ycc_color, pxm_rop_ycc_color_sse2, pxm_rop_ycc_color_avx2},
    {pxm_span_ycc_luma, pxm_rop_ycc_luma_sse2, pxm_rop_ycc_luma_avx2},
    {pxm_span_screen, pxm_rop_screen_sse2, pxm_rop_screen_avx2},
};
static_assert(sizeof(pxm_rop_forms) / sizeof(pxm_rop_forms[0]) == PXM_ROP_SCREEN + 1, "one entry per code");

static PxmRopSpan pxm_rop_span(int32_t op, bool fill)
{
    const PxmRopForms *copy = &pxm_rop_forms[PXM_ROP_COPY];
    switch (op) {
    case PXM_ROP_SHIFT: return fill ? pxm_span_shift : pxm_rop_pick(copy);
    case PXM_ROP_ALPHA_MASK: return fill ? pxm_rop_pick(copy) : pxm_span_alpha_mask;
    case PXM_ROP_CHECKER: return fill ? pxm_span_checker_fill : pxm_span_checker_blit;
    default: return op >= 0 && op <= PXM_ROP_SCREEN ? pxm_rop_pick(&pxm_rop_forms[op]) : pxm_rop_pick(copy);
    }
}

int32_t pxm_blit_op(PxmSurface *dst, int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2, PxmSurface *src,
                    int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, int32_t op, uint32_t flags)
{
    PxmThreadState *ts = pxm_thread_state();
    PxmThreadState clip = *ts;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (!pxm_rect_ok(dx1, dy1, dx2, dy2) || !pxm_rect_ok(sx1, sy1, sx2, sy2))
        return 0;
    if (!pxm_validate_in(ts, dst) || !pxm_validate_in(ts, src))
        return 0;
    if ((sx1 < 0 && sx2 < 0) || (sx1 > src->width - 1 && sx2 > src->width - 1))
        return 0;
    if (!pxm_lock_pair(ts, dst, true, src, true))
        return 0;

    // Nothing inside the surfaces succeeds; a clip that leaves nothing fails.
    PxmMapping m;
    if (pxm_map(&m, dst, dx1, dy1, dx2, dy2, src, sx1, sy1, sx2, sy2, flags & ~PXM_CLIP, &clip) != PXM_MAP_RUN) {
        pxm_unlock_pair(ts, dst, src);
        return 1;
    }
    if ((flags & PXM_CLIP) &&
        pxm_map(&m, dst, dx1, dy1, dx2, dy2, src, sx1, sy1, sx2, sy2, flags, &clip) != PXM_MAP_RUN) {
        pxm_unlock_pair(ts, dst, src);
        return 0;
    }
    PxmRopSpan span = pxm_rop_span(op, false);
    enum { CHUNK = 256 };
    uint32_t samples[CHUNK];
    for (int32_t y = m.ystart; y <= m.yend; y++) {
        int64_t sy = pxm_axis_source(&m.rows, sy1, (int64_t)y - dy1);
        if (sy < 0 || sy >= src->height)
            continue;
        const uint32_t *srow = src->pixels + (size_t)sy * (size_t)src->stride;
        uint32_t *drow = dst->pixels + (size_t)y * (size_t)dst->stride;
        if (m.same_width) {
            span(drow + m.start, srow + (int32_t)((int64_t)sx1 + m.start - dx1), m.end - m.start + 1, m.start, y);
            continue;
        }
        for (int32_t x = m.start; x <= m.end; x += CHUNK) {
            int32_t n = m.end - x + 1 < CHUNK ? m.end - x + 1 : CHUNK;
            pxm_gather(samples, srow, sx1, &m.cols, (int64_t)x - dx1, n);
            span(drow + x, samples, n, x, y);
        }
    }
    pxm_unlock_pair(ts, dst, src);
    return 1;
}

int32_t pxm_fill_rect_op(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t op,
                         uint32_t flags)
{
    PxmThreadState *ts = pxm_thread_state();
    // The caller holds a lock, so the record's fields are used as they
    // stand; a record that cannot describe reachable pixels is refused.
    if (!pxm_record_readable(s) || !pxm_memory_record_ok(s)) {
        ts->status = PXM_STATUS_BAD_SURFACE;
        return 0;
    }
    ts->status = PXM_STATUS_OK;
    int64_t ax = x1, ay = y1, bx = x2, by = y2;
    if (ax > bx) {
        int64_t t = ax;
        ax = bx;
        bx = t;
    }
    if (ay > by) {
        int64_t t = ay;
        ay = by;
        by = t;
    }
    if (flags & PXM_EXCLUSIVE) {
        bx--;
        by--;
    }
    if (flags & PXM_CLIP) {
        ax = pxm_max64(ax, ts->clip_x1);
        ay = pxm_max64(ay, ts->clip_y1);
        bx = pxm_min64(bx, ts->clip_x2);
        by = pxm_min64(by, ts->clip_y2);
    }
    ax = pxm_max64(ax, 0);
    ay = pxm_max64(ay, 0);
    bx = pxm_min64(bx, (int64_t)s->width - 1);
    by = pxm_min64(by, (int64_t)s->height - 1);
    if (bx < ax || by < ay)
        return 0;
    PxmRopSpan span = pxm_rop_span(op, true);
    enum { CHUNK = 256 };
    uint32_t colours[CHUNK];
    for (int i = 0; i < CHUNK; i++)
        colours[i] = colour;
    for (int64_t y = ay; y <= by; y++) {
        uint32_t *row = s->pixels + (size_t)y * (size_t)s->stride;
        for (int64_t x = ax; x <= bx; x += CHUNK) {
            int32_t n = (int32_t)pxm_min64(CHUNK, bx - x + 1);
            span(row + x, colours, n, (int32_t)x, (int32_t)y);
        }
    }
    return 1;
}
