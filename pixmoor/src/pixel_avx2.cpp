// AVX2 forms of the blend spans: eight pixels to a register, the last
// pixels of a run through masked loads and stores (which never touch the
// lanes left out), so a run of any length reads and writes only its own
// pixels. Every pixel equals the SSE2 form's.
//
// Each 32-bit pixel is two 16-bit lanes, blue/red in the low bytes and
// green/transparency in the high bytes, and every lane computes
// a * 256 + (b - a) * f modulo 2^16 (the true value lies in 0..65280):
// the low bytes by one multiply of the masked lanes, the high bytes by one
// multiply of the lanes shifted down, keeping the high byte of the sum.
#include "pxm_private.h"

#include <immintrin.h>

#define PXM_AVX2 __attribute__((target("avx2")))

// floor((a * (256 - f) + b * f) / 256) per byte; f is the pixel's weight
// 0..256 in both of its 16-bit lanes.
PXM_AVX2 static inline __m256i pxm_mix8(__m256i a, __m256i b, __m256i f)
{
    const __m256i low = _mm256_set1_epi16(0x00FF), high = _mm256_set1_epi16((short)0xFF00);
    __m256i lo = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_and_si256(b, low), _mm256_and_si256(a, low)), f);
    lo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_slli_epi16(a, 8), lo), 8);
    __m256i hi = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_srli_epi16(b, 8), _mm256_srli_epi16(a, 8)), f);
    hi = _mm256_and_si256(_mm256_add_epi16(_mm256_and_si256(a, high), hi), high);
    return _mm256_or_si256(lo, hi);
}

// The transparency byte of each pixel as a weight 0..256 in both of its
// 16-bit lanes.
PXM_AVX2 static inline __m256i pxm_weights8(__m256i p)
{
    const __m256i spread = _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1, 3, -1, 3, -1,
                                            7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
    __m256i t = _mm256_shuffle_epi8(p, spread);
    return _mm256_add_epi16(t, _mm256_srli_epi16(t, 7));
}

PXM_AVX2 static inline __m256i pxm_over8(__m256i d, __m256i s)
{
    return pxm_mix8(_mm256_and_si256(s, _mm256_set1_epi32(0x00FFFFFF)), d, pxm_weights8(s));
}

PXM_AVX2 static inline __m256i pxm_behind8(__m256i d, __m256i s)
{
    __m256i c = _mm256_sub_epi16(_mm256_set1_epi16(256), pxm_weights8(d));
    return pxm_mix8(s, _mm256_and_si256(d, _mm256_set1_epi32(0x00FFFFFF)), c);
}

// Where both pixels are fully transparent the destination stays as it was.
PXM_AVX2 static inline __m256i pxm_average8(__m256i d, __m256i s)
{
    __m256i c = _mm256_srli_epi16(_mm256_add_epi16(pxm_weights8(s), pxm_weights8(d)), 1);
    __m256i keep = _mm256_cmpeq_epi16(c, _mm256_set1_epi16(256));
    __m256i r = pxm_mix8(s, _mm256_and_si256(d, _mm256_set1_epi32(0x00FFFFFF)), c);
    return _mm256_blendv_epi8(r, d, keep);
}

// Lanes 0..n-1 set, n in 1..7.
PXM_AVX2 static inline __m256i pxm_tail_mask(int32_t n)
{
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// Groups of eight opaque sources are copied and groups of eight fully
// transparent ones leave the destination; any other group is blended
// (which gives the same values for its opaque and transparent pixels).
PXM_AVX2 void pxm_over_span_avx2(uint32_t *d, const uint32_t *s, int32_t n)
{
    const __m256i alpha = _mm256_set1_epi32((int)0xFF000000);
    int32_t i = 0;
    for (; i + 7 < n; i += 8) {
        __m256i sv = _mm256_loadu_si256((const __m256i *)(s + i));
        if (_mm256_testz_si256(sv, alpha)) {
            _mm256_storeu_si256((__m256i *)(d + i), sv);
            continue;
        }
        if (_mm256_testc_si256(sv, alpha))
            continue;
        __m256i dv = _mm256_loadu_si256((const __m256i *)(d + i));
        _mm256_storeu_si256((__m256i *)(d + i), pxm_over8(dv, sv));
    }
    if (i < n) {
        __m256i m = pxm_tail_mask(n - i);
        __m256i sv = _mm256_maskload_epi32((const int *)(s + i), m);
        __m256i dv = _mm256_maskload_epi32((const int *)(d + i), m);
        _mm256_maskstore_epi32((int *)(d + i), m, pxm_over8(dv, sv));
    }
}

PXM_AVX2 void pxm_behind_span_avx2(uint32_t *d, const uint32_t *s, int32_t n)
{
    int32_t i = 0;
    for (; i + 7 < n; i += 8) {
        __m256i sv = _mm256_loadu_si256((const __m256i *)(s + i));
        __m256i dv = _mm256_loadu_si256((const __m256i *)(d + i));
        _mm256_storeu_si256((__m256i *)(d + i), pxm_behind8(dv, sv));
    }
    if (i < n) {
        __m256i m = pxm_tail_mask(n - i);
        __m256i sv = _mm256_maskload_epi32((const int *)(s + i), m);
        __m256i dv = _mm256_maskload_epi32((const int *)(d + i), m);
        _mm256_maskstore_epi32((int *)(d + i), m, pxm_behind8(dv, sv));
    }
}

PXM_AVX2 void pxm_average_span_avx2(uint32_t *d, const uint32_t *s, int32_t n)
{
    int32_t i = 0;
    for (; i + 7 < n; i += 8) {
        __m256i sv = _mm256_loadu_si256((const __m256i *)(s + i));
        __m256i dv = _mm256_loadu_si256((const __m256i *)(d + i));
        _mm256_storeu_si256((__m256i *)(d + i), pxm_average8(dv, sv));
    }
    if (i < n) {
        __m256i m = pxm_tail_mask(n - i);
        __m256i sv = _mm256_maskload_epi32((const int *)(s + i), m);
        __m256i dv = _mm256_maskload_epi32((const int *)(d + i), m);
        _mm256_maskstore_epi32((int *)(d + i), m, pxm_average8(dv, sv));
    }
}
