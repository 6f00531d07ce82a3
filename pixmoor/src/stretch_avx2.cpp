// AVX2 forms of the scaling filters: eight pixels per step. Each gives
// exactly the SSE2 form's results: the same integer sums and quotients, and
// bicubic's single-precision steps in the same order (no fused
// multiply-add). Rows or columns these forms do not cover go to the SSE2
// forms.
#include "pxm_stretch.h"

#include <immintrin.h>

#define PXM_AVX2 __attribute__((target("avx2")))

// Two four-pixel windows of a row, one per 128-bit lane.
PXM_AVX2 static inline __m256i pxm_windows(const uint32_t *row, int32_t a, int32_t b)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128((const __m128i *)(row + a))),
                                   _mm_loadu_si128((const __m128i *)(row + b)), 1);
}

// Eight pixels from two vectors of 16-bit lanes holding pixels 0-1 | 2-3
// and 4-5 | 6-7.
PXM_AVX2 static inline void pxm_store8(uint32_t *out, __m256i a, __m256i b)
{
    _mm256_storeu_si256((__m256i *)out, _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
}

// From a group of pairs that do not all fit their windows: the pixels up to
// the next group that does (or up to the last whole group of left).
static inline int32_t pxm_unfit_run(const int32_t *base, int32_t left)
{
    int32_t run = 8;
    while (run + 8 <= left && (base[run / 2] | base[run / 2 + 1] | base[run / 2 + 2] | base[run / 2 + 3]) < 0)
        run += 8;
    return run;
}

// Four-sample average from the byte-shuffle table: each lane's shuffle puts
// a row's column and midpoint bytes of one channel side by side, and a
// multiply-add with ones sums them.
PXM_AVX2 void pxm_four_avx2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    if (!c->pair_base || ((x - c->first) & 1)) {
        pxm_four_sse2(c, x, n, out);
        return;
    }
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    const int32_t *base = c->pair_base + (x - c->first) / 2;
    const uint8_t *mask = c->pair_mask + 8 * (x - c->first);
    const __m256i ones = _mm256_set1_epi8(1);
    int32_t i = 0;
    for (; i + 7 < n; i += 8, base += 4, mask += 64) {
        if ((base[0] | base[1] | base[2] | base[3]) < 0) {
            // A run of pairs too far apart for the windows.
            int32_t run = pxm_unfit_run(base, n - i);
            pxm_four_sse2(c, x + i, run, out + i);
            i += run - 8, base += run / 2 - 4, mask += 8 * run - 64;
            continue;
        }
        __m256i s[2];
        for (int h = 0; h < 2; h++) {
            __m256i m = _mm256_loadu_si256((const __m256i *)(mask + 32 * h));
            __m256i top = _mm256_shuffle_epi8(pxm_windows(r0, base[2 * h], base[2 * h + 1]), m);
            __m256i bottom = _mm256_shuffle_epi8(pxm_windows(r1, base[2 * h], base[2 * h + 1]), m);
            s[h] = _mm256_srli_epi16(
                _mm256_add_epi16(_mm256_maddubs_epi16(top, ones), _mm256_maddubs_epi16(bottom, ones)), 2);
        }
        pxm_store8(out + i, s[0], s[1]);
    }
    if (i < n)
        pxm_four_sse2(c, x + i, n - i, out + i);
}

// Bilinear from the byte-shuffle table: the four neighbours as 16-bit
// lanes, weighted in 16 bits (every weighted sum stays below 65536). Rows
// with no vertical fraction weigh the upper row alone.
PXM_AVX2 void pxm_bilinear_avx2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    if (!c->pair_base || ((x - c->first) & 1)) {
        pxm_bilinear_sse2(c, x, n, out);
        return;
    }
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    const int32_t *base = c->pair_base + (x - c->first) / 2;
    const uint8_t *mask = c->pair_mask + 8 * (x - c->first);
    const uint16_t *fxs = c->pair_fx + 4 * (x - c->first);
    const __m256i fy = _mm256_set1_epi16((short)c->fy), full = _mm256_set1_epi16(256);
    const __m256i next = _mm256_set1_epi8(4);
    bool upper_only = c->fy == 0;
    int32_t i = 0;
    for (; i + 7 < n; i += 8, base += 4, mask += 64, fxs += 32) {
        if ((base[0] | base[1] | base[2] | base[3]) < 0) {
            // A run of pairs too far apart for the windows.
            int32_t run = pxm_unfit_run(base, n - i);
            pxm_bilinear_sse2(c, x + i, run, out + i);
            i += run - 8, base += run / 2 - 4, mask += 8 * run - 64;
            fxs += 4 * run - 32;
            continue;
        }
        __m256i s[2];
        for (int h = 0; h < 2; h++) {
            __m256i left = _mm256_loadu_si256((const __m256i *)(mask + 32 * h));
            __m256i right = _mm256_add_epi8(left, next);
            __m256i fx = _mm256_loadu_si256((const __m256i *)(fxs + 16 * h));
            __m256i top = pxm_windows(r0, base[2 * h], base[2 * h + 1]);
            if (upper_only) {
                s[h] = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_shuffle_epi8(top, left), _mm256_sub_epi16(full, fx)),
                                        _mm256_mullo_epi16(_mm256_shuffle_epi8(top, right), fx));
            } else {
                __m256i bottom = pxm_windows(r1, base[2 * h], base[2 * h + 1]);
                // fx * fy < 65536 fits a 16-bit lane.
                __m256i z = _mm256_srli_epi16(_mm256_mullo_epi16(fx, fy), 8);
                __m256i w2 = _mm256_sub_epi16(fy, z);
                __m256i w0 = _mm256_sub_epi16(_mm256_sub_epi16(full, fx), w2);
                __m256i w1 = _mm256_sub_epi16(fx, z);
                s[h] = _mm256_add_epi16(
                    _mm256_add_epi16(_mm256_mullo_epi16(_mm256_shuffle_epi8(top, left), w0),
                                     _mm256_mullo_epi16(_mm256_shuffle_epi8(top, right), w1)),
                    _mm256_add_epi16(_mm256_mullo_epi16(_mm256_shuffle_epi8(bottom, left), w2),
                                     _mm256_mullo_epi16(_mm256_shuffle_epi8(bottom, right), z)));
            }
            s[h] = _mm256_srli_epi16(s[h], 8);
        }
        pxm_store8(out + i, s[0], s[1]);
    }
    if (i < n)
        pxm_bilinear_sse2(c, x + i, n - i, out + i);
}

// Box blocks of 2 x 2 (rows 2) or 4 x 4 (rows 4) pixels side by side, eight
// blocks per step; sums by byte shuffles and multiply-adds with ones,
// divided by a shift. Returns the blocks done, a multiple of eight.
PXM_AVX2 static int32_t pxm_box_square_avx2(const PxmStretch *c, const int32_t *t, int32_t n, int32_t rows, uint32_t *out)
{
    size_t stride = (size_t)c->stride;
    const uint32_t *p = c->pixels + (size_t)c->box_top * stride + t[0];
    const __m256i ones = _mm256_set1_epi8(1);
    int32_t i = 0;
    if (rows == 2) {
        // Each pixel pair's bytes of one channel side by side.
        const __m256i pair = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4, 1, 5, 2, 6,
                                              3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
        for (; i + 7 < n; i += 8, p += 16) {
            __m256i s[2];
            for (int h = 0; h < 2; h++) {
                __m256i a = _mm256_loadu_si256((const __m256i *)(p + 8 * h));
                __m256i b = _mm256_loadu_si256((const __m256i *)(p + 8 * h + stride));
                s[h] = _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(_mm256_shuffle_epi8(a, pair), ones),
                                                          _mm256_maddubs_epi16(_mm256_shuffle_epi8(b, pair), ones)),
                                         2);
            }
            pxm_store8(out + i, s[0], s[1]);
        }
        return i;
    }
    // Each lane's four pixels transposed: the pair sums of one channel side
    // by side, then added by a multiply-add with ones into 32 bits.
    const __m256i quad = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8, 12, 1, 5, 9,
                                          13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m256i ones16 = _mm256_set1_epi16(1), order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    for (; i + 7 < n; i += 8, p += 32) {
        __m256i v[4];
        for (int j = 0; j < 4; j++) {
            const uint32_t *q = p + 8 * j;
            __m256i acc = _mm256_maddubs_epi16(_mm256_shuffle_epi8(_mm256_loadu_si256((const __m256i *)q), quad), ones);
            for (int r = 1; r < 4; r++)
                acc = _mm256_add_epi16(acc, _mm256_maddubs_epi16(
                                                _mm256_shuffle_epi8(_mm256_loadu_si256((const __m256i *)(q + r * stride)), quad), ones));
            v[j] = _mm256_madd_epi16(acc, ones16); // lane 0: block 2j, lane 1: block 2j + 1
        }
        __m256i a = _mm256_srli_epi16(_mm256_packs_epi32(v[0], v[1]), 4);
        __m256i b = _mm256_srli_epi16(_mm256_packs_epi32(v[2], v[3]), 4);
        _mm256_storeu_si256((__m256i *)(out + i), _mm256_permutevar8x32_epi32(_mm256_packus_epi16(a, b), order));
    }
    return i;
}

// Per source column, the sums of the block rows in 16-bit lanes (at most 257
// rows): eight columns per step, even and odd bytes apart.
PXM_AVX2 static void pxm_column_sums_avx2(const PxmStretch *c, int32_t left, int32_t right)
{
    size_t stride = (size_t)c->stride;
    int32_t top = (int32_t)c->box_top, bottom = (int32_t)c->box_bottom;
    const uint32_t *first = c->pixels + (size_t)top * stride;
    uint16_t *sums = c->column_sums;
    const __m256i m = _mm256_set1_epi32(0x00FF00FF);
    int32_t k = left;
    for (; k + 7 <= right; k += 8) {
        const uint32_t *p = first + k;
        __m256i even = _mm256_setzero_si256(), odd = _mm256_setzero_si256();
        for (int32_t y = top; y <= bottom; y++, p += stride) {
            __m256i v = _mm256_loadu_si256((const __m256i *)p);
            even = _mm256_add_epi16(even, _mm256_and_si256(v, m));
            odd = _mm256_add_epi16(odd, _mm256_srli_epi16(v, 8));
        }
        __m256i lo = _mm256_unpacklo_epi16(even, odd), hi = _mm256_unpackhi_epi16(even, odd);
        _mm256_storeu_si256((__m256i *)(sums + 4 * k), _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_storeu_si256((__m256i *)(sums + 4 * k + 16), _mm256_permute2x128_si256(lo, hi, 0x31));
    }
    const __m128i zero = _mm_setzero_si128();
    for (; k <= right; k++) {
        const uint32_t *p = first + k;
        __m128i v = zero;
        for (int32_t y = top; y <= bottom; y++, p += stride)
            v = _mm_add_epi16(v, _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)*p), zero));
        _mm_storel_epi64((__m128i *)(sums + 4 * k), v);
    }
}

PXM_AVX2 void pxm_box_avx2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    int64_t top = c->box_top, bottom = c->box_bottom;
    if (!c->table || !c->column_sums || top < 0 || bottom >= c->height || bottom - top >= 257 || n < 1) {
        pxm_box_sse2(c, x, n, out);
        return;
    }
    const int32_t *t = c->table + 2 * (x - c->first);
    int32_t rows = (int32_t)(bottom - top + 1);
    if ((int64_t)c->box_widest * rows >= 65536) {
        pxm_box_sse2(c, x, n, out);
        return;
    }
    int32_t done = 0;
    if (c->box_width == rows && (rows == 2 || rows == 4))
        done = pxm_box_square_avx2(c, t, n, rows, out);
    if (done > 0) {
        if (done < n)
            pxm_box_sse2(c, x + done, n - done, out + done);
        return;
    }
    // Every block's exact quotient floor(sum / count), as the SSE2 form
    // gives on every path: the column sums, then each block's columns.
    pxm_column_sums_avx2(c, t[0], t[2 * (n - 1) + 1]);
    const __m128i zero = _mm_setzero_si128();
    const uint16_t *sums = c->column_sums;
    PxmBoxMean mean = {0, -1, _mm_set1_ps(1.0f)};
    for (int32_t i = 0; i < n; i++, t += 2) {
        int32_t a = t[0], b = t[1];
        uint32_t count = (uint32_t)(b - a + 1) * (uint32_t)rows;
        if (count < 2) {
            out[i] = c->pixels[(size_t)bottom * (size_t)c->stride + b];
            continue;
        }
        __m128i total;
        if (count <= 257) {
            total = pxm_box_sum16(sums, a, b);
        } else {
            __m256i acc = _mm256_setzero_si256();
            int32_t q = a;
            for (; q + 1 <= b; q += 2)
                acc = _mm256_add_epi32(acc, _mm256_cvtepu16_epi32(_mm_loadu_si128((const __m128i *)(sums + 4 * q))));
            total = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
            if (q == b)
                total = _mm_add_epi32(total, _mm_unpacklo_epi16(_mm_loadl_epi64((const __m128i *)(sums + 4 * q)), zero));
        }
        out[i] = pxm_box_mean(&mean, total, count);
    }
}

// f(t) = a3 t^3 + (p0 - p1 - a3) t^2 + (p2 - p0) t + p1 with a3 = p3 - p2 - p0 + p1,
// in the SSE2 form's order of operations.
PXM_AVX2 static inline __m256 pxm_cubic8(__m256 p0, __m256 p1, __m256 p2, __m256 p3, __m256 t, __m256 t2, __m256 t3)
{
    __m256 a3 = _mm256_add_ps(_mm256_sub_ps(_mm256_sub_ps(p3, p2), p0), p1);
    __m256 b = _mm256_sub_ps(_mm256_sub_ps(p0, p1), a3);
    __m256 c = _mm256_sub_ps(p2, p0);
    return _mm256_add_ps(_mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(a3, t3), _mm256_mul_ps(b, t2)), _mm256_mul_ps(c, t)),
                         p1);
}

// Rounded to nearest (ties to even) and clamped to 0..255, as floats.
PXM_AVX2 static inline __m256 pxm_round_clamp8(__m256 v)
{
    v = _mm256_cvtepi32_ps(_mm256_cvtps_epi32(v));
    return _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(255.0f));
}

// The lanes of two cached columns, one per 128-bit half.
PXM_AVX2 static inline __m256 pxm_two_columns(const float *lanes, int32_t a, int32_t b)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_load_ps(lanes + 4 * a)), _mm_load_ps(lanes + 4 * b), 1);
}

// The horizontal pass of one source row over all drawn columns, two columns
// per step. The fractions are kept per pair of columns: t, t^2 and t^3 of
// both, eight floats each.
PXM_AVX2 static void pxm_bicubic_horizontal_avx2(const PxmStretch *c, const uint32_t *row, float *dst)
{
    const int32_t *t = c->table;
    int32_t first = t[0], last = t[5 * (c->count - 1) + 3];
    float *lanes = c->cache->lanes;
    int32_t k = first;
    for (; k + 1 <= last; k += 2)
        _mm256_storeu_ps(lanes + 4 * k,
                         _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64((const __m128i *)(row + k)))));
    if (k == last)
        _mm_store_ps(lanes + 4 * k, _mm_cvtepi32_ps(_mm_cvtepu8_epi32(_mm_cvtsi32_si128((int)row[k]))));
    float *f = c->cache->fractions;
    int32_t pairs = (c->count + 1) / 2;
    if (!c->cache->fractions_ready) {
        for (int32_t p = 0; p < pairs; p++) {
            int32_t b = 2 * p + 1 < c->count ? 2 * p + 1 : 2 * p;
            float u0 = (float)t[10 * p + 4] * (1.0f / 256.0f), u1 = (float)t[5 * b + 4] * (1.0f / 256.0f);
            __m256 u = _mm256_setr_ps(u0, u0, u0, u0, u1, u1, u1, u1);
            __m256 u2 = _mm256_mul_ps(u, u);
            _mm256_storeu_ps(f + 24 * p, u);
            _mm256_storeu_ps(f + 24 * p + 8, u2);
            _mm256_storeu_ps(f + 24 * p + 16, _mm256_mul_ps(u2, u));
        }
        c->cache->fractions_ready = 1;
    }
    int32_t p = 0;
    for (; 2 * p + 1 < c->count; p++, t += 10, f += 24) {
        __m256 v = pxm_cubic8(pxm_two_columns(lanes, t[0], t[5]), pxm_two_columns(lanes, t[1], t[6]),
                              pxm_two_columns(lanes, t[2], t[7]), pxm_two_columns(lanes, t[3], t[8]),
                              _mm256_loadu_ps(f), _mm256_loadu_ps(f + 8), _mm256_loadu_ps(f + 16));
        _mm256_storeu_ps(dst + 8 * p, pxm_round_clamp8(v));
    }
    if (2 * p < c->count) {
        __m128 v = pxm_cubic_ps(_mm_load_ps(lanes + 4 * t[0]), _mm_load_ps(lanes + 4 * t[1]),
                                _mm_load_ps(lanes + 4 * t[2]), _mm_load_ps(lanes + 4 * t[3]), _mm_loadu_ps(f),
                                _mm_loadu_ps(f + 8), _mm_loadu_ps(f + 16));
        _mm_storeu_ps(dst + 8 * p, pxm_round_clamp_ps(v));
    }
}

PXM_AVX2 void pxm_bicubic_row_avx2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    if (!c->table || !c->cache) {
        pxm_bicubic_row_sse2(c, x, n, out);
        return;
    }
    __m256 u = _mm256_set1_ps((float)c->fy * (1.0f / 256.0f));
    __m256 u2 = _mm256_mul_ps(u, u), u3 = _mm256_mul_ps(u2, u);
    const float *h[4];
    for (int j = 0; j < 4; j++)
        h[j] = pxm_bicubic_cached_row(c, c->row_index[j], c->row[j], pxm_bicubic_horizontal_avx2);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int32_t k0 = x - c->first, i = 0;
    for (; i + 7 < n; i += 8) {
        __m256i r[4];
        for (int q = 0; q < 4; q++) {
            int32_t k = 4 * (k0 + i + 2 * q);
            r[q] = _mm256_cvtps_epi32(pxm_cubic8(_mm256_loadu_ps(h[0] + k), _mm256_loadu_ps(h[1] + k),
                                                 _mm256_loadu_ps(h[2] + k), _mm256_loadu_ps(h[3] + k), u, u2, u3));
        }
        __m256i v = _mm256_packus_epi16(_mm256_packs_epi32(r[0], r[1]), _mm256_packs_epi32(r[2], r[3]));
        _mm256_storeu_si256((__m256i *)(out + i), _mm256_permutevar8x32_epi32(v, order));
    }
    __m128 v4 = _mm256_castps256_ps128(u), v4_2 = _mm256_castps256_ps128(u2), v4_3 = _mm256_castps256_ps128(u3);
    for (; i < n; i++) {
        int32_t k = 4 * (k0 + i);
        out[i] = pxm_pack_ps(pxm_cubic_ps(_mm_loadu_ps(h[0] + k), _mm_loadu_ps(h[1] + k), _mm_loadu_ps(h[2] + k),
                                          _mm_loadu_ps(h[3] + k), v4, v4_2, v4_3));
    }
}
