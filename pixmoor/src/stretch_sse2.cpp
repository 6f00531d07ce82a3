// SSE2 forms of the scaling filters: all four lanes of a pixel at once.
// The four-sample and bilinear filters use the integer forms' arithmetic
// on 16-bit lanes and give identical results; the box filter divides
// exactly (the integer form's 16-bit reciprocal can be one lower), and
// bicubic interpolation runs in single precision.
#include "pxm_stretch.h"

#include <emmintrin.h>

#define PXM_SSE2 __attribute__((target("sse2")))

PXM_SSE2 static inline __m128i pxm_set4(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    return _mm_set_epi32((int)d, (int)c, (int)b, (int)a);
}

// Stores the first n of four pixels.
PXM_SSE2 static inline void pxm_store_n(uint32_t *out, __m128i v, int32_t n)
{
    if (n == 4) {
        _mm_storeu_si128((__m128i *)out, v);
        return;
    }
    uint32_t tmp[4];
    _mm_storeu_si128((__m128i *)tmp, v);
    for (int32_t i = 0; i < n; i++)
        out[i] = tmp[i];
}

// Four-sample average from the column table: where the midpoint and the
// column are neighbours each row gives both samples in one load.
PXM_SSE2 static void pxm_four_table_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    const int32_t *t = c->table + 2 * (x - c->first);
    const __m128i zero = _mm_setzero_si128();
    for (int32_t i = 0; i < n; i++, t += 2) {
        int32_t a = t[0], mid = t[1];
        __m128i top, bottom;
        if (a == mid + 1) {
            top = _mm_loadl_epi64((const __m128i *)(r0 + mid));
            bottom = _mm_loadl_epi64((const __m128i *)(r1 + mid));
        } else {
            top = _mm_unpacklo_epi32(_mm_cvtsi32_si128((int)r0[a]), _mm_cvtsi32_si128((int)r0[mid]));
            bottom = _mm_unpacklo_epi32(_mm_cvtsi32_si128((int)r1[a]), _mm_cvtsi32_si128((int)r1[mid]));
        }
        __m128i v = _mm_add_epi16(_mm_unpacklo_epi8(top, zero), _mm_unpacklo_epi8(bottom, zero));
        v = _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_si128(v, 8)), 2);
        out[i] = (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(v, v));
    }
}

PXM_SSE2 void pxm_four_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    if (c->table) {
        pxm_four_table_sse2(c, x, n, out);
        return;
    }
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    const __m128i m = _mm_set1_epi32(0x00FF00FF);
    for (int32_t i = 0; i < n; i += 4) {
        int32_t a[4] = {0, 0, 0, 0}, mid[4] = {0, 0, 0, 0};
        int32_t count = n - i < 4 ? n - i : 4;
        for (int32_t k = 0; k < count; k++)
            pxm_four_columns(c, (int64_t)x + i + k, &a[k], &mid[k]);
        __m128i p0 = pxm_set4(r0[a[0]], r0[a[1]], r0[a[2]], r0[a[3]]);
        __m128i p1 = pxm_set4(r0[mid[0]], r0[mid[1]], r0[mid[2]], r0[mid[3]]);
        __m128i p2 = pxm_set4(r1[a[0]], r1[a[1]], r1[a[2]], r1[a[3]]);
        __m128i p3 = pxm_set4(r1[mid[0]], r1[mid[1]], r1[mid[2]], r1[mid[3]]);
        __m128i rb = _mm_add_epi16(_mm_add_epi16(_mm_and_si128(p0, m), _mm_and_si128(p1, m)),
                                   _mm_add_epi16(_mm_and_si128(p2, m), _mm_and_si128(p3, m)));
        __m128i ag = _mm_add_epi16(_mm_add_epi16(_mm_srli_epi16(p0, 8), _mm_srli_epi16(p1, 8)),
                                   _mm_add_epi16(_mm_srli_epi16(p2, 8), _mm_srli_epi16(p3, 8)));
        __m128i v = _mm_or_si128(_mm_srli_epi16(rb, 2), _mm_slli_epi16(_mm_srli_epi16(ag, 2), 8));
        pxm_store_n(out + i, v, count);
    }
}

// Exact floor(sum / n) per lane for n below 65536: the sums stay below 2^24
// and are exact in single precision, and the rounded quotient lies closer
// to the true one than 1/n, so truncating it gives the floor.
PXM_SSE2 static inline uint32_t pxm_box_quotient(__m128i sum, uint32_t n)
{
    __m128 q = _mm_div_ps(_mm_cvtepi32_ps(sum), _mm_set1_ps((float)n));
    __m128i v = _mm_cvttps_epi32(q);
    v = _mm_packs_epi32(v, v);
    return (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(v, v));
}

// Box average from the column table when the rows lie inside the source
// and at most 257 of them: the rows are first summed per source column in
// 16-bit lanes (255 * 257 fits), then each block's columns in 32 bits.
// Blocks at most four columns wide and 257 pixels large: each block summed
// straight from its rows in 16-bit lanes.
PXM_SSE2 static void pxm_box_narrow_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    const __m128i zero = _mm_setzero_si128();
    const int32_t *t = c->table + 2 * (x - c->first);
    int32_t top = (int32_t)c->box_top, bottom = (int32_t)c->box_bottom;
    size_t stride = (size_t)c->stride;
    const uint32_t *first = c->pixels + (size_t)top * stride;
    uint32_t rows = (uint32_t)(bottom - top + 1);
    if (rows == 4 && n > 0) {
        // Exact 4 x 4 blocks, the common quarter-size reduction: unrolled,
        // divided by a shift.
        bool all4 = true;
        for (int32_t i = 0; i < n && all4; i++)
            all4 = t[2 * i + 1] - t[2 * i] == 3;
        if (all4) {
            for (int32_t i = 0; i < n; i++, t += 2) {
                const uint32_t *p = first + t[0];
                __m128i v0 = _mm_loadu_si128((const __m128i *)p);
                __m128i v1 = _mm_loadu_si128((const __m128i *)(p + stride));
                __m128i v2 = _mm_loadu_si128((const __m128i *)(p + 2 * stride));
                __m128i v3 = _mm_loadu_si128((const __m128i *)(p + 3 * stride));
                __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(v0, zero), _mm_unpacklo_epi8(v1, zero)),
                                           _mm_add_epi16(_mm_unpacklo_epi8(v2, zero), _mm_unpacklo_epi8(v3, zero)));
                __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(v0, zero), _mm_unpackhi_epi8(v1, zero)),
                                           _mm_add_epi16(_mm_unpackhi_epi8(v2, zero), _mm_unpackhi_epi8(v3, zero)));
                lo = _mm_add_epi16(lo, hi);
                lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_si128(lo, 8)), 4);
                out[i] = (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(lo, lo));
            }
            return;
        }
    }
    if (rows == 2 && n > 0) {
        // Exact 2 x 2 blocks, the half-size reduction.
        bool all2 = true;
        for (int32_t i = 0; i < n && all2; i++)
            all2 = t[2 * i + 1] - t[2 * i] == 1;
        if (all2) {
            for (int32_t i = 0; i < n; i++, t += 2) {
                const uint32_t *p = first + t[0];
                __m128i v = _mm_add_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i *)p), zero),
                                          _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i *)(p + stride)), zero));
                v = _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_si128(v, 8)), 2);
                out[i] = (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(v, v));
            }
            return;
        }
    }
    PxmBoxMean mean = {0, -1, _mm_set1_ps(1.0f)};
    for (int32_t i = 0; i < n; i++, t += 2) {
        int32_t a = t[0], w = t[1] - t[0] + 1;
        uint32_t count = (uint32_t)w * rows;
        if (count < 2) {
            out[i] = c->pixels[(size_t)bottom * stride + t[1]];
            continue;
        }
        const uint32_t *p = first + a;
        __m128i lo = zero, hi = zero;
        if (w == 4) {
            for (uint32_t y = 0; y < rows; y++, p += stride) {
                __m128i v = _mm_loadu_si128((const __m128i *)p);
                lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
                hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
            }
        } else if (w == 2) {
            for (uint32_t y = 0; y < rows; y++, p += stride)
                lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i *)p), zero));
        } else {
            for (uint32_t y = 0; y < rows; y++, p += stride)
                for (int32_t k = 0; k < w; k++)
                    lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)p[k]), zero));
        }
        lo = _mm_add_epi16(lo, hi);
        lo = _mm_add_epi16(lo, _mm_srli_si128(lo, 8));
        __m128i total = _mm_unpacklo_epi16(lo, zero);
        out[i] = pxm_box_mean(&mean, total, count);
    }
}

PXM_SSE2 static void pxm_box_table_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    const __m128i zero = _mm_setzero_si128();
    const int32_t *t = c->table + 2 * (x - c->first);
    int32_t left = t[0], right = t[2 * (n - 1) + 1];
    int32_t top = (int32_t)c->box_top, bottom = (int32_t)c->box_bottom;
    uint16_t *sums = c->column_sums;
    size_t stride = (size_t)c->stride;
    const uint32_t *first = c->pixels + (size_t)top * stride;
    // Four columns at a time down all the rows, kept in registers.
    int32_t k = left;
    for (; k + 3 <= right; k += 4) {
        const uint32_t *p = first + k;
        __m128i lo = zero, hi = zero;
        for (int32_t y = top; y <= bottom; y++, p += stride) {
            __m128i v = _mm_loadu_si128((const __m128i *)p);
            lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
            hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
        }
        _mm_storeu_si128((__m128i *)(sums + 4 * k), lo);
        _mm_storeu_si128((__m128i *)(sums + 4 * k + 8), hi);
    }
    for (; k <= right; k++) {
        const uint32_t *p = first + k;
        __m128i v = zero;
        for (int32_t y = top; y <= bottom; y++, p += stride)
            v = _mm_add_epi16(v, _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)*p), zero));
        _mm_storel_epi64((__m128i *)(sums + 4 * k), v);
    }
    int32_t rows = bottom - top + 1;
    PxmBoxMean mean = {0, -1, _mm_set1_ps(1.0f)};
    for (int32_t i = 0; i < n; i++, t += 2) {
        int32_t a = t[0], b = t[1];
        uint32_t count = (uint32_t)(b - a + 1) * (uint32_t)rows;
        if (count < 2) {
            out[i] = c->pixels[(size_t)bottom * stride + b];
            continue;
        }
        __m128i total;
        if (count <= 257) {
            total = pxm_box_sum16(sums, a, b);
        } else {
            total = zero;
            for (int32_t q = a; q <= b; q++)
                total = _mm_add_epi32(total, _mm_unpacklo_epi16(_mm_loadl_epi64((const __m128i *)(sums + 4 * q)), zero));
        }
        out[i] = pxm_box_mean(&mean, total, count);
    }
}

PXM_SSE2 void pxm_box_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    const __m128i zero = _mm_setzero_si128();
    int64_t top = c->box_top, bottom = c->box_bottom;
    bool rows_inside = top >= 0 && bottom < c->height;
    if (c->table && c->column_sums && rows_inside && bottom - top < 257) {
        const int32_t *t = c->table + 2 * (x - c->first);
        int32_t widest = 0;
        for (int32_t i = 0; i < n; i++)
            widest = t[2 * i + 1] - t[2 * i] + 1 > widest ? t[2 * i + 1] - t[2 * i] + 1 : widest;
        if (widest <= 4 && (int64_t)widest * (bottom - top + 1) <= 257) {
            pxm_box_narrow_sse2(c, x, n, out);
            return;
        }
        if ((int64_t)widest * (bottom - top + 1) < 65536) {
            pxm_box_table_sse2(c, x, n, out);
            return;
        }
    }
    for (int32_t i = 0; i < n; i++) {
        int64_t left, right;
        pxm_box_columns(c, (int64_t)x + i, &left, &right);
        int64_t bw = right - left + 1, bh = bottom - top + 1;
        if (!rows_inside || left < 0 || right >= c->width || bw < 1 || bh < 1 || bw * bh < 2 || bw * bh >= 65536) {
            out[i] = pxm_box_general(c, left, right, false);
            continue;
        }
        __m128i total = zero;
        for (int64_t y = top; y <= bottom; y++) {
            const uint32_t *row = c->pixels + (size_t)y * c->stride;
            int32_t k = (int32_t)left, r = (int32_t)right;
            while (k <= r) {
                // Two pixels per 16-bit lane group; 256 pairs at most before
                // the lanes are widened.
                __m128i acc = zero;
                int32_t stop = k + 512 <= r + 1 ? k + 512 : r + 1;
                for (; k + 1 < stop; k += 2)
                    acc = _mm_add_epi16(acc, _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i *)(row + k)), zero));
                if (k < stop) {
                    acc = _mm_add_epi16(acc, _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)row[k]), zero));
                    k++;
                }
                total = _mm_add_epi32(total, _mm_add_epi32(_mm_unpacklo_epi16(acc, zero), _mm_unpackhi_epi16(acc, zero)));
            }
        }
        out[i] = pxm_box_quotient(total, (uint32_t)(bw * bh));
    }
}

// Bilinear from the column table: each row's two neighbours are one
// adjacent pair, interleaved per channel and weighted with one multiply-add.
PXM_SSE2 static inline __m128i pxm_bilinear_weights(uint32_t fx, uint32_t fy, __m128i *lower)
{
    uint32_t z = (fx * fy) >> 8;
    *lower = _mm_set1_epi32((int)((fy - z) | z << 16));
    return _mm_set1_epi32((int)((256 - fx - fy + z) | (fx - z) << 16));
}

PXM_SSE2 static void pxm_bilinear_table_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    const int32_t *t = c->table + 2 * (x - c->first);
    const __m128i zero = _mm_setzero_si128();
    uint32_t fy = (uint32_t)c->fy;
    int32_t i = 0;
    const __m128i vfy = _mm_set1_epi32((int)fy), full = _mm_set1_epi32(256);
    // Four pixels per step: the weights of all four at once, packed as
    // 16-bit pairs (TL, TR) and (BL, BR); each pixel's two pairs of
    // neighbours interleaved per channel, one multiply-add per row.
    for (; i + 3 < n; i += 4, t += 8) {
        __m128 q0 = _mm_castsi128_ps(_mm_loadu_si128((const __m128i *)t));
        __m128 q1 = _mm_castsi128_ps(_mm_loadu_si128((const __m128i *)(t + 4)));
        __m128i fx = _mm_castps_si128(_mm_shuffle_ps(q0, q1, _MM_SHUFFLE(3, 1, 3, 1)));
        __m128i z = _mm_srli_epi32(_mm_mullo_epi16(fx, vfy), 8);
        __m128i w0 = _mm_add_epi32(_mm_sub_epi32(_mm_sub_epi32(full, fx), vfy), z);
        __m128i upper4 = _mm_or_si128(w0, _mm_slli_epi32(_mm_sub_epi32(fx, z), 16));
        __m128i lower4 = _mm_or_si128(_mm_sub_epi32(vfy, z), _mm_slli_epi32(z, 16));
        for (int h = 0; h < 2; h++) {
            const int32_t *u = t + 4 * h;
            __m128i ua = h ? _mm_shuffle_epi32(upper4, 0xAA) : _mm_shuffle_epi32(upper4, 0x00);
            __m128i ub = h ? _mm_shuffle_epi32(upper4, 0xFF) : _mm_shuffle_epi32(upper4, 0x55);
            __m128i la = h ? _mm_shuffle_epi32(lower4, 0xAA) : _mm_shuffle_epi32(lower4, 0x00);
            __m128i lb = h ? _mm_shuffle_epi32(lower4, 0xFF) : _mm_shuffle_epi32(lower4, 0x55);
            __m128i a = _mm_unpacklo_epi32(_mm_loadl_epi64((const __m128i *)(r0 + u[0])),
                                           _mm_loadl_epi64((const __m128i *)(r0 + u[2])));
            __m128i b = _mm_unpacklo_epi32(_mm_loadl_epi64((const __m128i *)(r1 + u[0])),
                                           _mm_loadl_epi64((const __m128i *)(r1 + u[2])));
            a = _mm_unpacklo_epi8(a, _mm_srli_si128(a, 8));
            b = _mm_unpacklo_epi8(b, _mm_srli_si128(b, 8));
            __m128i va = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(a, zero), ua),
                                       _mm_madd_epi16(_mm_unpacklo_epi8(b, zero), la));
            __m128i vb = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi8(a, zero), ub),
                                       _mm_madd_epi16(_mm_unpackhi_epi8(b, zero), lb));
            __m128i v = _mm_packs_epi32(_mm_srli_epi32(va, 8), _mm_srli_epi32(vb, 8));
            _mm_storel_epi64((__m128i *)(out + i + 2 * h), _mm_packus_epi16(v, v));
        }
    }
    for (; i < n; i++, t += 2) {
        __m128i lower, upper = pxm_bilinear_weights((uint32_t)t[1], fy, &lower);
        __m128i a = _mm_loadl_epi64((const __m128i *)(r0 + t[0]));
        __m128i b = _mm_loadl_epi64((const __m128i *)(r1 + t[0]));
        a = _mm_unpacklo_epi8(_mm_unpacklo_epi8(a, _mm_srli_si128(a, 4)), zero);
        b = _mm_unpacklo_epi8(_mm_unpacklo_epi8(b, _mm_srli_si128(b, 4)), zero);
        __m128i v = _mm_add_epi32(_mm_madd_epi16(a, upper), _mm_madd_epi16(b, lower));
        v = _mm_srli_epi32(v, 8);
        v = _mm_packs_epi32(v, v);
        out[i] = (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(v, v));
    }
}

PXM_SSE2 void pxm_bilinear_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    if (c->table) {
        pxm_bilinear_table_sse2(c, x, n, out);
        return;
    }
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    const __m128i m = _mm_set1_epi32(0x00FF00FF), high = _mm_set1_epi32((int)0xFF00FF00);
    const __m128i fy = _mm_set1_epi32(c->fy), full = _mm_set1_epi32(256);
    int64_t pos = ((int64_t)x - c->x1) * c->cols.step;
    for (int32_t i = 0; i < n; i += 4) {
        int32_t count = n - i < 4 ? n - i : 4;
        int32_t i0[4] = {0, 0, 0, 0}, i1[4] = {0, 0, 0, 0}, f[4] = {0, 0, 0, 0};
        for (int32_t k = 0; k < count; k++, pos += c->cols.step) {
            int64_t col = c->sx1 + (pos >> c->cols.shift);
            f[k] = pxm_frac(pos, c->cols.shift);
            i0[k] = pxm_clamp_index(col, c->width);
            i1[k] = pxm_clamp_index(col + 1, c->width);
        }
        __m128i fx = _mm_set_epi32(f[3], f[2], f[1], f[0]);
        // fx * fy < 65536 fits the low 16-bit half of each lane.
        __m128i z = _mm_srli_epi32(_mm_mullo_epi16(fx, fy), 8);
        __m128i w0 = _mm_add_epi32(_mm_sub_epi32(_mm_sub_epi32(full, fx), fy), z);
        __m128i w1 = _mm_sub_epi32(fx, z), w2 = _mm_sub_epi32(fy, z), w3 = z;
        w0 = _mm_or_si128(w0, _mm_slli_epi32(w0, 16));
        w1 = _mm_or_si128(w1, _mm_slli_epi32(w1, 16));
        w2 = _mm_or_si128(w2, _mm_slli_epi32(w2, 16));
        w3 = _mm_or_si128(w3, _mm_slli_epi32(w3, 16));
        __m128i tl = pxm_set4(r0[i0[0]], r0[i0[1]], r0[i0[2]], r0[i0[3]]);
        __m128i tr = pxm_set4(r0[i1[0]], r0[i1[1]], r0[i1[2]], r0[i1[3]]);
        __m128i bl = pxm_set4(r1[i0[0]], r1[i0[1]], r1[i0[2]], r1[i0[3]]);
        __m128i br = pxm_set4(r1[i1[0]], r1[i1[1]], r1[i1[2]], r1[i1[3]]);
        // Each weighted lane sum is at most 255 * 256, so 16-bit products are exact.
        __m128i rb = _mm_add_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(tl, m), w0), _mm_mullo_epi16(_mm_and_si128(tr, m), w1)),
            _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(bl, m), w2), _mm_mullo_epi16(_mm_and_si128(br, m), w3)));
        __m128i ag = _mm_add_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(tl, 8), w0), _mm_mullo_epi16(_mm_srli_epi16(tr, 8), w1)),
            _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(bl, 8), w2), _mm_mullo_epi16(_mm_srli_epi16(br, 8), w3)));
        pxm_store_n(out + i, _mm_or_si128(_mm_srli_epi16(rb, 8), _mm_and_si128(ag, high)), count);
    }
}

PXM_SSE2 static inline __m128 pxm_lanes_ps(uint32_t p)
{
    const __m128i zero = _mm_setzero_si128();
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128((int)p), zero), zero));
}

PXM_SSE2 static inline void pxm_fractions(int32_t f, __m128 *t, __m128 *t2, __m128 *t3)
{
    *t = _mm_set1_ps((float)f * (1.0f / 256.0f));
    *t2 = _mm_mul_ps(*t, *t);
    *t3 = _mm_mul_ps(*t2, *t);
}

PXM_SSE2 uint32_t pxm_bicubic_sse2(const uint32_t *p, int32_t fx, int32_t fy)
{
    __m128 t, t2, t3, u, u2, u3;
    pxm_fractions(fx, &t, &t2, &t3);
    pxm_fractions(fy, &u, &u2, &u3);
    __m128 v[4];
    for (int j = 0; j < 4; j++) {
        const uint32_t *q = p + 4 * j;
        v[j] = pxm_round_clamp_ps(
            pxm_cubic_ps(pxm_lanes_ps(q[0]), pxm_lanes_ps(q[1]), pxm_lanes_ps(q[2]), pxm_lanes_ps(q[3]), t, t2, t3));
    }
    return pxm_pack_ps(pxm_cubic_ps(v[0], v[1], v[2], v[3], u, u2, u3));
}

// The horizontal pass of one source row over all drawn columns.
PXM_SSE2 static void pxm_bicubic_horizontal(const PxmStretch *c, const uint32_t *row, float *dst)
{
    const int32_t *t = c->table;
    // The source columns the drawn columns reach, each converted to float
    // lanes once.
    int32_t first = t[0], last = t[5 * (c->count - 1) + 3];
    float *lanes = c->cache->lanes;
    for (int32_t k = first; k <= last; k++)
        _mm_store_ps(lanes + 4 * k, pxm_lanes_ps(row[k]));
    // t, t^2 and t^3 of every drawn column, made on first use.
    float *f = c->cache->fractions;
    if (!c->cache->fractions_ready) {
        for (int32_t k = 0; k < c->count; k++) {
            __m128 u, u2, u3;
            pxm_fractions(c->table[5 * k + 4], &u, &u2, &u3);
            _mm_store_ps(f + 12 * k, u);
            _mm_store_ps(f + 12 * k + 4, u2);
            _mm_store_ps(f + 12 * k + 8, u3);
        }
        c->cache->fractions_ready = 1;
    }
    for (int32_t k = 0; k < c->count; k++, t += 5, f += 12) {
        __m128 v = pxm_cubic_ps(_mm_load_ps(lanes + 4 * t[0]), _mm_load_ps(lanes + 4 * t[1]),
                                _mm_load_ps(lanes + 4 * t[2]), _mm_load_ps(lanes + 4 * t[3]), _mm_load_ps(f),
                                _mm_load_ps(f + 4), _mm_load_ps(f + 8));
        _mm_store_ps(dst + 4 * k, pxm_round_clamp_ps(v));
    }
}

PXM_SSE2 void pxm_bicubic_row_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    if (c->table && c->cache) {
        __m128 u, u2, u3;
        pxm_fractions(c->fy, &u, &u2, &u3);
        const float *h[4];
        for (int j = 0; j < 4; j++)
            h[j] = pxm_bicubic_cached_row(c, c->row_index[j], c->row[j], pxm_bicubic_horizontal);
        int32_t k0 = x - c->first, i = 0;
        // Four pixels packed and stored together.
        for (; i + 3 < n; i += 4) {
            __m128i r[4];
            for (int q = 0; q < 4; q++) {
                int32_t k = 4 * (k0 + i + q);
                r[q] = _mm_cvtps_epi32(pxm_cubic_ps(_mm_load_ps(h[0] + k), _mm_load_ps(h[1] + k), _mm_load_ps(h[2] + k),
                                                    _mm_load_ps(h[3] + k), u, u2, u3));
            }
            _mm_storeu_si128((__m128i *)(out + i),
                             _mm_packus_epi16(_mm_packs_epi32(r[0], r[1]), _mm_packs_epi32(r[2], r[3])));
        }
        for (; i < n; i++) {
            int32_t k = 4 * (k0 + i);
            out[i] = pxm_pack_ps(
                pxm_cubic_ps(_mm_load_ps(h[0] + k), _mm_load_ps(h[1] + k), _mm_load_ps(h[2] + k), _mm_load_ps(h[3] + k), u, u2, u3));
        }
        return;
    }
    __m128 u, u2, u3;
    pxm_fractions(c->fy, &u, &u2, &u3);
    int64_t pos = ((int64_t)x - c->x1) * c->cols.step;
    int32_t last_fx = -1;
    __m128 t = u, t2 = u2, t3 = u3;
    for (int32_t i = 0; i < n; i++, pos += c->cols.step) {
        int64_t col = c->sx1 + (pos >> c->cols.shift);
        int32_t fx = pxm_frac(pos, c->cols.shift);
        if (fx != last_fx) {
            pxm_fractions(fx, &t, &t2, &t3);
            last_fx = fx;
        }
        int32_t k0 = pxm_clamp_index(col - 1, c->width), k1 = pxm_clamp_index(col, c->width);
        int32_t k2 = pxm_clamp_index(col + 1, c->width), k3 = pxm_clamp_index(col + 2, c->width);
        __m128 v[4];
        for (int j = 0; j < 4; j++) {
            const uint32_t *r = c->row[j];
            v[j] = pxm_round_clamp_ps(
                pxm_cubic_ps(pxm_lanes_ps(r[k0]), pxm_lanes_ps(r[k1]), pxm_lanes_ps(r[k2]), pxm_lanes_ps(r[k3]), t, t2, t3));
        }
        out[i] = pxm_pack_ps(pxm_cubic_ps(v[0], v[1], v[2], v[3], u, u2, u3));
    }
}
