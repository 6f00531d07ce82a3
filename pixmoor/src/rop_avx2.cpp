// AVX2 forms of the raster operations that have SSE2 forms: the same byte
// rules (multiply and screen with the plain product), eight pixels per step
// and the last pixels of a run through masked loads and stores, which never
// touch the lanes left out.
#include "pxm_rop.h"

#include <immintrin.h>

#define PXM_AVX2 __attribute__((target("avx2")))

// (a * b) >> 8 per byte, in 16-bit lanes.
PXM_AVX2 static inline __m256i pxm_product8x(__m256i a, __m256i b)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i lo = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero)), 8);
    __m256i hi = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero)), 8);
    return _mm256_packus_epi16(lo, hi);
}

// clamp(a + b - 128, 0, 255) per byte, in 16-bit lanes.
PXM_AVX2 static inline __m256i pxm_add_signed8x(__m256i a, __m256i b)
{
    const __m256i zero = _mm256_setzero_si256(), bias = _mm256_set1_epi16(128);
    __m256i lo = _mm256_sub_epi16(_mm256_add_epi16(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero)), bias);
    __m256i hi = _mm256_sub_epi16(_mm256_add_epi16(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero)), bias);
    return _mm256_packus_epi16(lo, hi);
}

// The colour bytes of r with the transparency byte of sv.
PXM_AVX2 static inline __m256i pxm_with_source_t(__m256i r, __m256i sv)
{
    return _mm256_blendv_epi8(r, sv, _mm256_set1_epi32((int)0xFF000000));
}

#define PXM_ROP_AVX2(name, body)                                                                                       \
    PXM_AVX2 static inline __m256i name##_8(__m256i dv, __m256i sv)                                                    \
    {                                                                                                                  \
        const __m256i ones = _mm256_set1_epi32(-1);                                                                    \
        (void)ones;                                                                                                    \
        (void)dv;                                                                                                      \
        return body;                                                                                                   \
    }                                                                                                                  \
    PXM_ROP_SPAN_AVX2(name, name##_8)

PXM_ROP_AVX2(pxm_rop_add_avx2, _mm256_adds_epu8(dv, sv))
PXM_ROP_AVX2(pxm_rop_sub_avx2, _mm256_subs_epu8(dv, sv))
PXM_ROP_AVX2(pxm_rop_burn_avx2, pxm_with_source_t(_mm256_subs_epu8(dv, _mm256_xor_si256(sv, ones)), sv))
PXM_ROP_AVX2(pxm_rop_multiply_avx2, pxm_with_source_t(pxm_product8x(dv, sv), sv))
PXM_ROP_AVX2(pxm_rop_add_signed_avx2, pxm_with_source_t(pxm_add_signed8x(dv, sv), sv))
PXM_ROP_AVX2(pxm_rop_screen_avx2,
             pxm_with_source_t(_mm256_xor_si256(pxm_product8x(_mm256_xor_si256(dv, ones), _mm256_xor_si256(sv, ones)),
                                                ones),
                               sv))
PXM_ROP_AVX2(pxm_rop_copy_avx2, sv)
PXM_ROP_AVX2(pxm_rop_or_avx2, _mm256_or_si256(dv, sv))
PXM_ROP_AVX2(pxm_rop_and_avx2, _mm256_and_si256(dv, sv))
PXM_ROP_AVX2(pxm_rop_xor_avx2, _mm256_xor_si256(dv, sv))
