// Scaled blits with filtering: four-sample and box averages for shrinking,
// bilinear and bicubic interpolation for enlarging. The integer forms live
// here; the row loop hands each row to the sampler of the processor level
// (integer, SSE2, SSSE3 or AVX2; the faster forms give the SSE2 form's
// pixels exactly).
//
// The destination columns and rows drawn come from the blits' rectangle
// mapping. Every sample index is clamped into the source, so no rectangle
// can lead a filter outside the source's pixels.
#include "pxm_stretch.h"

#include <stdlib.h>
#include <string.h>

// Four-sample average: (a + b + c + d) / 4 per byte, two lanes per word.
static inline uint32_t pxm_avg4(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    const uint32_t m = 0x00FF00FF;
    uint32_t rb = (a & m) + (b & m) + (c & m) + (d & m);
    uint32_t ag = ((a >> 8) & m) + ((b >> 8) & m) + ((c >> 8) & m) + ((d >> 8) & m);
    return ((rb >> 2) & m) | ((ag << 6) & 0xFF00FF00);
}

void pxm_four_int(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    for (int32_t i = 0; i < n; i++) {
        int32_t a, mid;
        pxm_four_columns(c, (int64_t)x + i, &a, &mid);
        out[i] = pxm_avg4(r0[a], r0[mid], r1[a], r1[mid]);
    }
}

static inline uint32_t pxm_quotient(uint64_t sum, uint64_t n, bool reciprocal)
{
    if (reciprocal && n < 256)
        return (uint32_t)((sum * (65536 / n)) >> 16);
    return (uint32_t)(sum / n);
}

// Counts of block indices [a, b] that fall below the source, inside it
// ([*in_a, *in_b], possibly empty) and beyond it.
static void pxm_split_range(int64_t a, int64_t b, int32_t size, int64_t *low, int64_t *in_a, int64_t *in_b,
                            int64_t *high)
{
    *low = a < 0 ? pxm_min64(b, -1) - a + 1 : 0;
    *high = b >= size ? b - pxm_max64(a, size) + 1 : 0;
    *in_a = pxm_max64(a, 0);
    *in_b = pxm_min64(b, (int64_t)size - 1);
}

uint32_t pxm_box_general(const PxmStretch *c, int64_t left, int64_t right, bool reciprocal)
{
    int64_t top = c->box_top, bottom = c->box_bottom;
    int64_t bw = right - left + 1, bh = bottom - top + 1;
    if (bw < 1 || bh < 1 || (bw == 1 && bh == 1)) {
        int32_t x = pxm_clamp_index(right, c->width), y = pxm_clamp_index(bottom, c->height);
        return c->pixels[(size_t)y * c->stride + x];
    }
    int64_t clow, ca, cb, chigh, rlow, ra, rb, rhigh;
    pxm_split_range(left, right, c->width, &clow, &ca, &cb, &chigh);
    pxm_split_range(top, bottom, c->height, &rlow, &ra, &rb, &rhigh);
    // Blocks beyond 2^24 pixels (only for rectangles far larger than any
    // surface) are summed in extended precision.
    bool exact = bw < ((int64_t)1 << 24) && bh < ((int64_t)1 << 24) && bw * bh < ((int64_t)1 << 24);
    long double big[4] = {0, 0, 0, 0};
    uint64_t sum[4] = {0, 0, 0, 0};
    for (int part = 0; part < 3; part++) {
        int64_t weight, y0, y1;
        if (part == 0) {
            weight = rlow, y0 = 0, y1 = 0;
        } else if (part == 1) {
            weight = 1, y0 = ra, y1 = rb;
        } else {
            weight = rhigh, y0 = y1 = (int64_t)c->height - 1;
        }
        if (weight == 0)
            continue;
        for (int64_t y = y0; y <= y1; y++) {
            const uint32_t *row = c->pixels + (size_t)y * c->stride;
            uint64_t rs[4] = {0, 0, 0, 0};
            for (int k = 0; k < 4; k++)
                rs[k] = (uint64_t)clow * ((row[0] >> (8 * k)) & 255) +
                        (uint64_t)chigh * ((row[c->width - 1] >> (8 * k)) & 255);
            for (int64_t x = ca; x <= cb; x++) {
                uint32_t p = row[x];
                rs[0] += p & 255;
                rs[1] += (p >> 8) & 255;
                rs[2] += (p >> 16) & 255;
                rs[3] += p >> 24;
            }
            for (int k = 0; k < 4; k++) {
                if (exact)
                    sum[k] += rs[k] * (uint64_t)weight;
                else
                    big[k] += (long double)rs[k] * (long double)weight;
            }
        }
    }
    uint32_t r = 0;
    if (exact) {
        uint64_t n = (uint64_t)(bw * bh);
        for (int k = 0; k < 4; k++)
            r |= pxm_quotient(sum[k], n, reciprocal) << (8 * k);
    } else {
        long double n = (long double)bw * (long double)bh;
        for (int k = 0; k < 4; k++) {
            long double q = big[k] / n;
            uint32_t v = q >= 255 ? 255 : (uint32_t)q;
            r |= v << (8 * k);
        }
    }
    return r;
}

void pxm_box_int(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    int64_t top = c->box_top, bottom = c->box_bottom;
    bool rows_inside = top >= 0 && bottom < c->height && bottom - top < 256;
    for (int32_t i = 0; i < n; i++) {
        int64_t left, right;
        pxm_box_columns(c, (int64_t)x + i, &left, &right);
        int64_t bw = right - left + 1, bh = bottom - top + 1;
        if (!rows_inside || left < 0 || right >= c->width || bw * bh < 2 || bw * bh > 256) {
            out[i] = pxm_box_general(c, left, right, c->reciprocal);
            continue;
        }
        // At most 256 pixels: each 16-bit lane of the pair sums holds 255 * 256.
        const uint32_t m = 0x00FF00FF;
        uint32_t rb = 0, ag = 0;
        for (int64_t y = top; y <= bottom; y++) {
            const uint32_t *row = c->pixels + (size_t)y * c->stride;
            for (int64_t k = left; k <= right; k++) {
                rb += row[k] & m;
                ag += (row[k] >> 8) & m;
            }
        }
        uint32_t count = (uint32_t)(bw * bh);
        out[i] = pxm_quotient(rb & 0xFFFF, count, c->reciprocal) |
                 pxm_quotient(ag & 0xFFFF, count, c->reciprocal) << 8 |
                 pxm_quotient(rb >> 16, count, c->reciprocal) << 16 |
                 pxm_quotient(ag >> 16, count, c->reciprocal) << 24;
    }
}

// Bilinear: weights 256 - fx - fy + Z, fx - Z, fy - Z and Z with
// Z = fx * fy >> 8; every weighted lane sum stays below 65536, so two lanes
// share a word.
void pxm_bilinear_int(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    const uint32_t m = 0x00FF00FF;
    uint32_t fy = (uint32_t)c->fy;
    int64_t pos = ((int64_t)x - c->x1) * c->cols.step;
    for (int32_t i = 0; i < n; i++, pos += c->cols.step) {
        int64_t col = c->sx1 + (pos >> c->cols.shift);
        uint32_t fx = (uint32_t)pxm_frac(pos, c->cols.shift);
        int32_t i0 = pxm_clamp_index(col, c->width), i1 = pxm_clamp_index(col + 1, c->width);
        uint32_t z = (fx * fy) >> 8;
        uint32_t w0 = 256 - fx - fy + z, w1 = fx - z, w2 = fy - z, w3 = z;
        uint32_t tl = r0[i0], tr = r0[i1], bl = r1[i0], br = r1[i1];
        uint32_t rb = (tl & m) * w0 + (tr & m) * w1 + (bl & m) * w2 + (br & m) * w3;
        uint32_t ag = ((tl >> 8) & m) * w0 + ((tr >> 8) & m) * w1 + ((bl >> 8) & m) * w2 + ((br >> 8) & m) * w3;
        out[i] = ((rb >> 8) & m) | (ag & 0xFF00FF00);
    }
}

// Cubic convolution with a = -1 in integers: t^2 and t^3 as truncated
// products of the fraction, rounded and clamped to a byte.
static inline int32_t pxm_cubic_int(int32_t p0, int32_t p1, int32_t p2, int32_t p3, int32_t f, int32_t t2, int32_t t3)
{
    int32_t a3 = p3 - p2 - p0 + p1;
    int32_t v = 256 * p1 + f * (p2 - p0) + t2 * (p0 - p1 - a3) + t3 * a3 + 128;
    if (v < 0)
        return 0;
    if (v > 0xFFFF)
        return 255;
    return v >> 8;
}

uint32_t pxm_bicubic_int(const uint32_t *p, int32_t fx, int32_t fy)
{
    int32_t x2 = (fx * fx) >> 8, x3 = (fx * x2) >> 8;
    int32_t y2 = (fy * fy) >> 8, y3 = (fy * y2) >> 8;
    uint32_t r = 0;
    for (int k = 0; k < 32; k += 8) {
        int32_t v[4];
        for (int j = 0; j < 4; j++) {
            const uint32_t *q = p + 4 * j;
            v[j] = pxm_cubic_int((q[0] >> k) & 255, (q[1] >> k) & 255, (q[2] >> k) & 255, (q[3] >> k) & 255, fx, x2, x3);
        }
        r |= (uint32_t)pxm_cubic_int(v[0], v[1], v[2], v[3], fy, y2, y3) << k;
    }
    return r;
}

// The 4 x 4 neighbourhood of destination column x, clamped.
static inline int32_t pxm_bicubic_gather(const PxmStretch *c, int64_t pos, uint32_t *p)
{
    int64_t col = c->sx1 + (pos >> c->cols.shift);
    int32_t i[4];
    for (int k = 0; k < 4; k++)
        i[k] = pxm_clamp_index(col - 1 + k, c->width);
    for (int j = 0; j < 4; j++)
        for (int k = 0; k < 4; k++)
            p[4 * j + k] = c->row[j][i[k]];
    return pxm_frac(pos, c->cols.shift);
}

void pxm_bicubic_row_int(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    int64_t pos = ((int64_t)x - c->x1) * c->cols.step;
    for (int32_t i = 0; i < n; i++, pos += c->cols.step) {
        uint32_t p[16];
        int32_t fx = pxm_bicubic_gather(c, pos, p);
        out[i] = pxm_bicubic_int(p, fx, c->fy);
    }
}

// The cached horizontal pass of source row r, computed on first use into
// the slot least recently used by rows other than the current four.
const float *pxm_bicubic_cached_row(const PxmStretch *c, int32_t r, const uint32_t *row, PxmRowPass pass)
{
    PxmRowCache *cache = c->cache;
    cache->clock++;
    int32_t victim = -1;
    for (int q = 0; q < 4; q++)
        if (cache->index[q] == r) {
            cache->age[q] = cache->clock;
            return cache->rows[q];
        }
    for (int q = 0; q < 4; q++) {
        bool needed = false;
        for (int k = 0; k < 4; k++)
            needed |= cache->index[q] == c->row_index[k];
        if (!needed && (victim < 0 || cache->age[q] < cache->age[victim]))
            victim = q;
    }
    pass(c, row, cache->rows[victim]);
    cache->index[victim] = r;
    cache->age[victim] = cache->clock;
    return cache->rows[victim];
}

uint32_t pxm_bicubic(const uint32_t *pixels, int32_t fx, int32_t fy)
{
    fx &= 255;
    fy &= 255;
    return pxm_use_sse2() ? pxm_bicubic_sse2(pixels, fx, fy) : pxm_bicubic_int(pixels, fx, fy);
}

static int pxm_choose_filter(int64_t dw, int64_t dh, int64_t sw, int64_t sh, uint32_t flags, bool blend)
{
    bool shrinking = sw >= dw && sh >= dh;
    if (!(flags & PXM_HIGH_QUALITY))
        return shrinking ? PXM_FILTER_FOUR : PXM_FILTER_BILINEAR;
    if (shrinking)
        return sw >= 2 * dw || sh >= 2 * dh ? PXM_FILTER_BOX : PXM_FILTER_BICUBIC;
    if (blend && sw <= dw && sh <= dh)
        return PXM_FILTER_BILINEAR;
    return PXM_FILTER_BICUBIC;
}

static inline const uint32_t *pxm_src_row(const PxmSurface *src, int64_t y)
{
    return src->pixels + (size_t)pxm_clamp_index(y, src->height) * (size_t)src->stride;
}

// Sets up the row's sources; false when the row is skipped.
static bool pxm_stretch_row(PxmStretch *c, const PxmSurface *src, int filter, const PxmAxis *rows, int32_t y1,
                            int32_t sy1, int32_t y)
{
    int64_t q = ((int64_t)y - y1) * rows->step;
    int64_t cur = sy1 + (q >> rows->shift);
    int64_t h = src->height;
    switch (filter) {
    case PXM_FILTER_FOUR:
    case PXM_FILTER_BOX: {
        int64_t at, prev;
        if (c->copy_positions) {
            // The last source row the destination row covers, and the previous one's.
            at = pxm_axis_source(rows, sy1, (int64_t)y - y1 + 1) - 1;
            prev = cur - 1;
        } else {
            at = cur;
            prev = y == y1 ? (int64_t)sy1 - 1 : pxm_axis_source(rows, sy1, (int64_t)y - y1 - 1);
        }
        if (at < 0 || at >= h)
            return false;
        if (prev < -1)
            prev = -1;
        if (filter == PXM_FILTER_BOX) {
            c->box_top = prev + 1;
            c->box_bottom = at;
            return true;
        }
        int64_t mid = (prev + at + 1) >> 1;
        c->row[0] = pxm_src_row(src, at);
        c->row[1] = pxm_src_row(src, mid < 0 ? 0 : mid);
        return true;
    }
    default:
        if (cur < 0 || cur >= h)
            return false;
        c->fy = pxm_frac(q, rows->shift);
        for (int k = 0; k < 4; k++) {
            int64_t r = filter == PXM_FILTER_BILINEAR ? cur + k : cur - 1 + k;
            c->row_index[k] = pxm_clamp_index(r, src->height);
            c->row[k] = src->pixels + (size_t)c->row_index[k] * (size_t)src->stride;
        }
        return true;
    }
}

// Precomputes the drawn columns' positions for the SSE2 forms; false when
// the filter's fast path does not apply (the samplers then compute them).
static bool pxm_build_table(PxmStretch *c, int filter, int32_t start, int32_t n, int32_t *t)
{
    for (int32_t k = 0; k < n; k++) {
        int64_t x = (int64_t)start + k;
        int64_t pos = (x - c->x1) * c->cols.step;
        switch (filter) {
        case PXM_FILTER_BILINEAR: {
            // Left and right neighbours as one adjacent pair: where both
            // clamp to one edge pixel, the pair next to it with the
            // fraction pushed to that edge gives the same weighted sums.
            if (c->width < 2)
                return false;
            int64_t col = c->sx1 + (pos >> c->cols.shift);
            int32_t f = pxm_frac(pos, c->cols.shift);
            if (col < 0) {
                t[2 * k] = 0;
                t[2 * k + 1] = 0;
            } else if (col >= c->width - 1) {
                t[2 * k] = c->width - 2;
                t[2 * k + 1] = 256;
            } else {
                t[2 * k] = (int32_t)col;
                t[2 * k + 1] = f;
            }
            break;
        }
        case PXM_FILTER_FOUR:
            pxm_four_columns(c, x, &t[2 * k], &t[2 * k + 1]);
            break;
        case PXM_FILTER_BOX: {
            int64_t left, right;
            pxm_box_columns(c, x, &left, &right);
            if (left < 0 || right >= c->width || right < left)
                return false;
            t[2 * k] = (int32_t)left;
            t[2 * k + 1] = (int32_t)right;
            int32_t w = (int32_t)(right - left + 1);
            if (k == 0)
                c->box_width = w;
            else if (w != c->box_width || left != t[2 * k - 1] + 1)
                c->box_width = 0;
            c->box_widest = w > c->box_widest ? w : c->box_widest;
            break;
        }
        default: {
            int64_t col = c->sx1 + (pos >> c->cols.shift);
            for (int q = 0; q < 4; q++)
                t[5 * k + q] = pxm_clamp_index(col - 1 + q, c->width);
            t[5 * k + 4] = pxm_frac(pos, c->cols.shift);
            break;
        }
        }
    }
    return true;
}

// The byte-shuffle table from the column table: each pair of drawn columns
// reads one window of four source pixels, moved left at the source's right
// edge so that it never reaches past the row (the source is at least four
// pixels wide). A lone last column is paired with itself. Returns how many
// pairs fit their windows.
static int32_t pxm_build_pairs(const PxmStretch *c, int filter, int32_t n, int32_t *base, uint8_t *mask, uint16_t *fx)
{
    const int32_t *t = c->table;
    bool bilinear = filter == PXM_FILTER_BILINEAR;
    int32_t fit = 0;
    for (int32_t p = 0; 2 * p < n; p++) {
        int32_t k[2] = {2 * p, 2 * p + 1 < n ? 2 * p + 1 : 2 * p};
        int32_t lo = c->width, hi = 0;
        for (int j = 0; j < 2; j++) {
            int32_t a = t[2 * k[j]], b = bilinear ? a + 1 : t[2 * k[j] + 1];
            lo = a < lo ? a : lo;
            lo = b < lo ? b : lo;
            hi = a > hi ? a : hi;
            hi = b > hi ? b : hi;
        }
        int32_t first = lo < c->width - 4 ? lo : c->width - 4;
        base[p] = hi - first <= 3 ? first : -1;
        fit += base[p] >= 0;
        for (int j = 0; j < 2; j++) {
            // Four-sample: the column's and the midpoint's bytes of each
            // channel side by side; bilinear: the left neighbour's bytes as
            // 16-bit lanes (the right one's are four further).
            int32_t a = t[2 * k[j]] - first, b = t[2 * k[j] + 1] - first;
            for (int q = 0; q < 4; q++) {
                mask[16 * p + 8 * j + 2 * q] = (uint8_t)(4 * a + q);
                mask[16 * p + 8 * j + 2 * q + 1] = bilinear ? 0x80 : (uint8_t)(4 * b + q);
                if (bilinear)
                    fx[8 * p + 4 * j + q] = (uint16_t)t[2 * k[j] + 1];
            }
        }
    }
    return fit;
}

static int32_t pxm_stretch(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, PxmSurface *src,
                           int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags, bool blend)
{
    PxmThreadState *ts = pxm_thread_state();
    PxmThreadState clip = *ts;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (!pxm_rect_ok(x1, y1, x2, y2) || !pxm_rect_ok(sx1, sy1, sx2, sy2))
        return 0;
    int64_t dw = (int64_t)x2 - x1 + 1, sw = (int64_t)sx2 - sx1 + 1;
    int64_t dh = (int64_t)y2 - y1 + 1, sh = (int64_t)sy2 - sy1 + 1;
    if (dw == sw && dh == sh)
        return blend ? pxm_blit(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags)
                     : pxm_copy(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags);
    if (!pxm_validate_in(ts, dst) || !pxm_validate_in(ts, src))
        return 0;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (sx2 < 0 || sx1 > src->width - 1)
        return 0;
    if (!pxm_lock_pair(ts, dst, true, src, true))
        return 0;

    PxmMapping m;
    if (pxm_map(&m, dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, &clip) != PXM_MAP_RUN) {
        pxm_unlock_pair(ts, dst, src);
        return 1;
    }
    int filter = pxm_choose_filter(dw, dh, sw, sh, flags, blend);
    bool sse2 = pxm_use_sse2();
    PxmStretch c;
    memset(&c, 0, sizeof(c));
    c.pixels = src->pixels;
    c.stride = src->stride;
    c.width = src->width;
    c.height = src->height;
    c.cols = m.cols;
    c.x1 = x1;
    c.sx1 = sx1;
    c.first = m.start;
    c.copy_positions = !blend;
    c.reciprocal = !sse2;
    // The fastest form of the filter for the processor level.
    bool ssse3 = pxm_use_ssse3(), avx2 = pxm_use_avx2();
    PxmSampler sample;
    switch (filter) {
    case PXM_FILTER_FOUR:
        sample = avx2 ? pxm_four_avx2 : ssse3 ? pxm_four_ssse3 : sse2 ? pxm_four_sse2 : pxm_four_int;
        break;
    case PXM_FILTER_BOX:
        sample = avx2 ? pxm_box_avx2 : ssse3 ? pxm_box_ssse3 : sse2 ? pxm_box_sse2 : pxm_box_int;
        break;
    case PXM_FILTER_BILINEAR:
        sample = avx2 ? pxm_bilinear_avx2 : ssse3 ? pxm_bilinear_ssse3 : sse2 ? pxm_bilinear_sse2 : pxm_bilinear_int;
        break;
    default: sample = avx2 ? pxm_bicubic_row_avx2 : sse2 ? pxm_bicubic_row_sse2 : pxm_bicubic_row_int; break;
    }
    bool pairs = ssse3 && src->width >= 4 && (filter == PXM_FILTER_FOUR || filter == PXM_FILTER_BILINEAR);
    int mode = (int)(flags & PXM_BLEND_MASK);
    if (mode > PXM_BLEND_ADD_TRANSPARENCY || (mode == PXM_BLEND_ADD_TRANSPARENCY && filter == PXM_FILTER_BOX))
        mode = PXM_BLEND_OVER;
    PxmKernels k;
    pxm_kernels(&k);

    // The SSE2 forms' column table, with the bicubic row cache or the box
    // column sums, and the byte-shuffle table, in one 32-byte aligned block.
    int32_t n = m.end - m.start + 1;
    void *block = nullptr;
    PxmRowCache cache;
    uint64_t small_block[256];
    c.count = n;
    if (sse2 && n <= (1 << 20) && src->width <= (1 << 20)) {
        size_t table_bytes = ((size_t)n * pxm_table_width(filter) * 4 + 15) & ~(size_t)15;
        size_t cache_bytes = filter == PXM_FILTER_BICUBIC ? ((size_t)n * 16 + 31) & ~(size_t)31 : 0;
        size_t lanes_bytes = filter == PXM_FILTER_BICUBIC ? (size_t)src->width * 16 + ((size_t)n + 1) * 48 + 32 : 0;
        size_t sums_bytes = filter == PXM_FILTER_BOX ? (size_t)src->width * 8 + 32 : 0;
        // The byte-shuffle table: bases, masks and fractions per pair.
        size_t pair_count = pairs ? ((size_t)n + 1) / 2 : 0;
        size_t base_bytes = (pair_count * 4 + 31) & ~(size_t)31;
        size_t mask_bytes = pair_count * 16, fx_bytes = filter == PXM_FILTER_BILINEAR ? pair_count * 16 : 0;
        size_t pair_bytes = base_bytes + mask_bytes + fx_bytes;
        table_bytes = (table_bytes + 31) & ~(size_t)31;
        size_t block_bytes = table_bytes + 4 * cache_bytes + lanes_bytes + sums_bytes + pair_bytes + 32;
        // Small blits (the skin's pieces) keep their tables on the stack.
        void *room = block_bytes <= sizeof(small_block) ? (void *)small_block : (block = malloc(block_bytes));
        if (room) {
            uintptr_t base = ((uintptr_t)room + 31) & ~(uintptr_t)31;
            int32_t *table = (int32_t *)base;
            if (pxm_build_table(&c, filter, m.start, n, table)) {
                c.table = table;
                if (pairs) {
                    uintptr_t at = base + table_bytes + 4 * cache_bytes + lanes_bytes + sums_bytes;
                    int32_t *pair_base = (int32_t *)at;
                    uint8_t *pair_mask = (uint8_t *)(at + base_bytes);
                    uint16_t *pair_fx = (uint16_t *)(at + base_bytes + mask_bytes);
                    // Used where most pairs fit: the samplers pass the
                    // others to the SSE2 forms.
                    if (pxm_build_pairs(&c, filter, n, pair_base, pair_mask, pair_fx) * 2 >= (int32_t)pair_count) {
                        c.pair_base = pair_base;
                        c.pair_mask = pair_mask;
                        c.pair_fx = fx_bytes ? pair_fx : nullptr;
                    }
                }
            }
            if (filter == PXM_FILTER_BICUBIC) {
                for (int q = 0; q < 4; q++) {
                    cache.rows[q] = (float *)(base + table_bytes + q * cache_bytes);
                    cache.index[q] = -1;
                    cache.age[q] = 0;
                }
                cache.lanes = (float *)(base + table_bytes + 4 * cache_bytes);
                cache.fractions = cache.lanes + 4 * (size_t)src->width;
                cache.fractions_ready = 0;
                cache.clock = 0;
                c.cache = &cache;
            }
            if (filter == PXM_FILTER_BOX)
                c.column_sums = (uint16_t *)(base + table_bytes);
        }
    }

    enum { CHUNK = 256 };
    uint32_t samples[CHUNK];
    for (int32_t y = m.ystart; y <= m.yend; y++) {
        if (!pxm_stretch_row(&c, src, filter, &m.rows, y1, sy1, y))
            continue;
        uint32_t *drow = dst->pixels + (size_t)y * (size_t)dst->stride;
        if (!blend) {
            sample(&c, m.start, m.end - m.start + 1, drow + m.start);
            continue;
        }
        for (int32_t x = m.start; x <= m.end; x += CHUNK) {
            int32_t n = m.end - x + 1 < CHUNK ? m.end - x + 1 : CHUNK;
            sample(&c, x, n, samples);
            pxm_blend_run(mode, &k, drow + x, samples, n, x, y);
        }
    }
    free(block);
    pxm_unlock_pair(ts, dst, src);
    return 1;
}

int32_t pxm_stretch_copy(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, PxmSurface *src,
                         int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags)
{
    return pxm_stretch(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, false);
}

int32_t pxm_stretch_blit(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, PxmSurface *src,
                         int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags)
{
    return pxm_stretch(dst, x1, y1, x2, y2, src, sx1, sy1, sx2, sy2, flags, true);
}
