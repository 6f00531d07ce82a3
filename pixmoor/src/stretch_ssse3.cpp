// SSSE3 forms of the scaling filters: byte shuffles gather each pixel's
// samples from a four-pixel window, and multiply-adds with ones sum bytes of
// one channel. Each gives exactly the SSE2 form's results; rows or columns
// these forms do not cover go to the SSE2 forms.
#include "pxm_stretch.h"

#include <tmmintrin.h>

#define PXM_SSSE3 __attribute__((target("ssse3")))

// From a group of pairs that do not all fit their windows: the pixels up to
// the next group that does (or up to the last whole group of left).
static inline int32_t pxm_unfit_run(const int32_t *base, int32_t left)
{
    int32_t run = 4;
    while (run + 4 <= left && (base[run / 2] | base[run / 2 + 1]) < 0)
        run += 4;
    return run;
}

// Four-sample average from the byte-shuffle table, two columns per step.
PXM_SSSE3 void pxm_four_ssse3(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    if (!c->pair_base || ((x - c->first) & 1)) {
        pxm_four_sse2(c, x, n, out);
        return;
    }
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    const int32_t *base = c->pair_base + (x - c->first) / 2;
    const uint8_t *mask = c->pair_mask + 8 * (x - c->first);
    const __m128i ones = _mm_set1_epi8(1);
    int32_t i = 0;
    for (; i + 3 < n; i += 4, base += 2, mask += 32) {
        if ((base[0] | base[1]) < 0) {
            // A run of pairs too far apart for the windows.
            int32_t run = pxm_unfit_run(base, n - i);
            pxm_four_sse2(c, x + i, run, out + i);
            i += run - 4, base += run / 2 - 2, mask += 8 * run - 32;
            continue;
        }
        __m128i s[2];
        for (int h = 0; h < 2; h++) {
            __m128i m = _mm_loadu_si128((const __m128i *)(mask + 16 * h));
            __m128i top = _mm_shuffle_epi8(_mm_loadu_si128((const __m128i *)(r0 + base[h])), m);
            __m128i bottom = _mm_shuffle_epi8(_mm_loadu_si128((const __m128i *)(r1 + base[h])), m);
            s[h] = _mm_srli_epi16(_mm_add_epi16(_mm_maddubs_epi16(top, ones), _mm_maddubs_epi16(bottom, ones)), 2);
        }
        _mm_storeu_si128((__m128i *)(out + i), _mm_packus_epi16(s[0], s[1]));
    }
    if (i < n)
        pxm_four_sse2(c, x + i, n - i, out + i);
}

// Bilinear from the byte-shuffle table: the neighbours as 16-bit lanes,
// weighted in 16 bits; rows with no vertical fraction weigh the upper row
// alone.
PXM_SSSE3 void pxm_bilinear_ssse3(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    if (!c->pair_base || ((x - c->first) & 1)) {
        pxm_bilinear_sse2(c, x, n, out);
        return;
    }
    const uint32_t *r0 = c->row[0], *r1 = c->row[1];
    const int32_t *base = c->pair_base + (x - c->first) / 2;
    const uint8_t *mask = c->pair_mask + 8 * (x - c->first);
    const uint16_t *fxs = c->pair_fx + 4 * (x - c->first);
    const __m128i fy = _mm_set1_epi16((short)c->fy), full = _mm_set1_epi16(256), next = _mm_set1_epi8(4);
    bool upper_only = c->fy == 0;
    int32_t i = 0;
    for (; i + 3 < n; i += 4, base += 2, mask += 32, fxs += 16) {
        if ((base[0] | base[1]) < 0) {
            // A run of pairs too far apart for the windows.
            int32_t run = pxm_unfit_run(base, n - i);
            pxm_bilinear_sse2(c, x + i, run, out + i);
            i += run - 4, base += run / 2 - 2, mask += 8 * run - 32;
            fxs += 4 * run - 16;
            continue;
        }
        __m128i s[2];
        for (int h = 0; h < 2; h++) {
            __m128i left = _mm_loadu_si128((const __m128i *)(mask + 16 * h));
            __m128i right = _mm_add_epi8(left, next);
            __m128i fx = _mm_loadu_si128((const __m128i *)(fxs + 8 * h));
            __m128i top = _mm_loadu_si128((const __m128i *)(r0 + base[h]));
            if (upper_only) {
                s[h] = _mm_add_epi16(_mm_mullo_epi16(_mm_shuffle_epi8(top, left), _mm_sub_epi16(full, fx)),
                                     _mm_mullo_epi16(_mm_shuffle_epi8(top, right), fx));
            } else {
                __m128i bottom = _mm_loadu_si128((const __m128i *)(r1 + base[h]));
                __m128i z = _mm_srli_epi16(_mm_mullo_epi16(fx, fy), 8);
                __m128i w2 = _mm_sub_epi16(fy, z);
                __m128i w0 = _mm_sub_epi16(_mm_sub_epi16(full, fx), w2);
                __m128i w1 = _mm_sub_epi16(fx, z);
                s[h] = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_shuffle_epi8(top, left), w0),
                                                   _mm_mullo_epi16(_mm_shuffle_epi8(top, right), w1)),
                                     _mm_add_epi16(_mm_mullo_epi16(_mm_shuffle_epi8(bottom, left), w2),
                                                   _mm_mullo_epi16(_mm_shuffle_epi8(bottom, right), z)));
            }
            s[h] = _mm_srli_epi16(s[h], 8);
        }
        _mm_storeu_si128((__m128i *)(out + i), _mm_packus_epi16(s[0], s[1]));
    }
    if (i < n)
        pxm_bilinear_sse2(c, x + i, n - i, out + i);
}

// Box blocks of 2 x 2 or 4 x 4 pixels side by side, four per step, summed by
// byte shuffles and multiply-adds with ones; the rest as the SSE2 form.
PXM_SSSE3 void pxm_box_ssse3(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out)
{
    int64_t top = c->box_top, bottom = c->box_bottom;
    int32_t rows = (int32_t)(bottom - top + 1), i = 0;
    if (c->table && top >= 0 && bottom < c->height && (rows == 2 || rows == 4) && c->box_width == rows) {
        const int32_t *t = c->table + 2 * (x - c->first);
        size_t stride = (size_t)c->stride;
        const uint32_t *p = c->pixels + (size_t)top * stride + t[0];
        const __m128i ones = _mm_set1_epi8(1);
        if (rows == 2) {
            const __m128i pair = _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
            for (; i + 3 < n; i += 4, p += 8) {
                __m128i s[2];
                for (int h = 0; h < 2; h++) {
                    __m128i a = _mm_loadu_si128((const __m128i *)(p + 4 * h));
                    __m128i b = _mm_loadu_si128((const __m128i *)(p + 4 * h + stride));
                    s[h] = _mm_srli_epi16(_mm_add_epi16(_mm_maddubs_epi16(_mm_shuffle_epi8(a, pair), ones),
                                                        _mm_maddubs_epi16(_mm_shuffle_epi8(b, pair), ones)),
                                          2);
                }
                _mm_storeu_si128((__m128i *)(out + i), _mm_packus_epi16(s[0], s[1]));
            }
        } else {
            const __m128i quad = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
            const __m128i ones16 = _mm_set1_epi16(1);
            for (; i + 3 < n; i += 4, p += 16) {
                __m128i v[4];
                for (int j = 0; j < 4; j++) {
                    const uint32_t *q = p + 4 * j;
                    __m128i acc = _mm_maddubs_epi16(_mm_shuffle_epi8(_mm_loadu_si128((const __m128i *)q), quad), ones);
                    for (int r = 1; r < 4; r++)
                        acc = _mm_add_epi16(
                            acc, _mm_maddubs_epi16(_mm_shuffle_epi8(_mm_loadu_si128((const __m128i *)(q + r * stride)), quad),
                                                   ones));
                    v[j] = _mm_madd_epi16(acc, ones16);
                }
                __m128i a = _mm_srli_epi16(_mm_packs_epi32(v[0], v[1]), 4);
                __m128i b = _mm_srli_epi16(_mm_packs_epi32(v[2], v[3]), 4);
                _mm_storeu_si128((__m128i *)(out + i), _mm_packus_epi16(a, b));
            }
        }
    }
    if (i < n)
        pxm_box_sse2(c, x + i, n - i, out + i);
}
