// SSSE3 forms of the blend spans: four pixels to a register, the weights
// spread from the transparency bytes by one byte shuffle, and each blend
// done with one multiply per pair of 16-bit lanes (see pixel_avx2.cpp for
// the arithmetic). The last pixels of a run go through the SSE2 form, so
// every pixel equals the SSE2 form's.
#include "pxm_private.h"

#include <tmmintrin.h>

#define PXM_SSSE3 __attribute__((target("ssse3")))

// floor((a * (256 - f) + b * f) / 256) per byte; f is the pixel's weight
// 0..256 in both of its 16-bit lanes.
PXM_SSSE3 static inline __m128i pxm_mix4q(__m128i a, __m128i b, __m128i f)
{
    const __m128i low = _mm_set1_epi16(0x00FF), high = _mm_set1_epi16((short)0xFF00);
    __m128i lo = _mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(b, low), _mm_and_si128(a, low)), f);
    lo = _mm_srli_epi16(_mm_add_epi16(_mm_slli_epi16(a, 8), lo), 8);
    __m128i hi = _mm_mullo_epi16(_mm_sub_epi16(_mm_srli_epi16(b, 8), _mm_srli_epi16(a, 8)), f);
    hi = _mm_and_si128(_mm_add_epi16(_mm_and_si128(a, high), hi), high);
    return _mm_or_si128(lo, hi);
}

PXM_SSSE3 static inline __m128i pxm_weights4q(__m128i p)
{
    const __m128i spread = _mm_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
    __m128i t = _mm_shuffle_epi8(p, spread);
    return _mm_add_epi16(t, _mm_srli_epi16(t, 7));
}

// floor((s * (256 - f) + d * f) / 256) per byte with s's transparency byte
// taken as 0; the terms of s come from s directly, masked.
PXM_SSSE3 static inline __m128i pxm_over4q(__m128i d, __m128i s, __m128i f)
{
    const __m128i low = _mm_set1_epi32(0x00FF00FF), green = _mm_set1_epi32(0x0000FF00),
                  high = _mm_set1_epi16((short)0xFF00);
    __m128i ag = _mm_and_si128(s, green);
    __m128i lo = _mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(d, low), _mm_and_si128(s, low)), f);
    lo = _mm_srli_epi16(_mm_add_epi16(_mm_slli_epi16(s, 8), lo), 8);
    __m128i hi = _mm_mullo_epi16(_mm_sub_epi16(_mm_srli_epi16(d, 8), _mm_srli_epi16(ag, 8)), f);
    hi = _mm_and_si128(_mm_add_epi16(ag, hi), high);
    return _mm_or_si128(lo, hi);
}

// Groups of four opaque sources are copied, groups of four fully
// transparent ones leave the destination; other groups are blended. The
// four transparency bytes are gathered into one word for the test.
PXM_SSSE3 void pxm_over_span_ssse3(uint32_t *d, const uint32_t *s, int32_t n)
{
    const __m128i gather = _mm_setr_epi8(3, 7, 11, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    int32_t i = 0;
    for (; i + 3 < n; i += 4) {
        __m128i sv = _mm_loadu_si128((const __m128i *)(s + i));
        uint32_t t = (uint32_t)_mm_cvtsi128_si32(_mm_shuffle_epi8(sv, gather));
        if (t == 0) {
            _mm_storeu_si128((__m128i *)(d + i), sv);
            continue;
        }
        if (t == 0xFFFFFFFF)
            continue;
        __m128i dv = _mm_loadu_si128((const __m128i *)(d + i));
        _mm_storeu_si128((__m128i *)(d + i), pxm_over4q(dv, sv, pxm_weights4q(sv)));
    }
    if (i < n)
        pxm_over_span_sse2(d + i, s + i, n - i);
}

PXM_SSSE3 void pxm_behind_span_ssse3(uint32_t *d, const uint32_t *s, int32_t n)
{
    const __m128i full = _mm_set1_epi16(256), colour = _mm_set1_epi32(0x00FFFFFF);
    int32_t i = 0;
    for (; i + 3 < n; i += 4) {
        __m128i sv = _mm_loadu_si128((const __m128i *)(s + i));
        __m128i dv = _mm_loadu_si128((const __m128i *)(d + i));
        __m128i c = _mm_sub_epi16(full, pxm_weights4q(dv));
        _mm_storeu_si128((__m128i *)(d + i), pxm_mix4q(sv, _mm_and_si128(dv, colour), c));
    }
    if (i < n)
        pxm_behind_span_sse2(d + i, s + i, n - i);
}

// Where both pixels are fully transparent the destination stays as it was.
PXM_SSSE3 void pxm_average_span_ssse3(uint32_t *d, const uint32_t *s, int32_t n)
{
    const __m128i full = _mm_set1_epi16(256), colour = _mm_set1_epi32(0x00FFFFFF);
    int32_t i = 0;
    for (; i + 3 < n; i += 4) {
        __m128i sv = _mm_loadu_si128((const __m128i *)(s + i));
        __m128i dv = _mm_loadu_si128((const __m128i *)(d + i));
        __m128i c = _mm_srli_epi16(_mm_add_epi16(pxm_weights4q(sv), pxm_weights4q(dv)), 1);
        __m128i keep = _mm_cmpeq_epi16(c, full);
        __m128i r = pxm_mix4q(sv, _mm_and_si128(dv, colour), c);
        _mm_storeu_si128((__m128i *)(d + i), _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, r)));
    }
    if (i < n)
        pxm_average_span_sse2(d + i, s + i, n - i);
}
