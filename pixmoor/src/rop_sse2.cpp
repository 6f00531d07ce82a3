// Vector paths of the saturating raster operations, burn, multiply, add-signed
// and screen: four pixels per 128-bit step, the last pixels of a run by the
// per-pixel rules. Multiply and screen use the plain product here. The
// bitwise operations and the copy run four pixels at a time as well; their
// results are the same on every level.
#include "pxm_rop.h"

#include <emmintrin.h>

#define PXM_SSE2 __attribute__((target("sse2")))

// Runs body on four pixels at a time; the remaining pixels go through pixel.
#define PXM_ROP_VECTOR(name, body, pixel)                                                                              \
    PXM_SSE2 void name(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y)                                \
    {                                                                                                                  \
        (void)x;                                                                                                       \
        (void)y;                                                                                                       \
        const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi32(-1);                                           \
        const __m128i colour = _mm_set1_epi32(0x00FFFFFF), alpha = _mm_set1_epi32((int)0xFF000000);                    \
        (void)zero;                                                                                                    \
        (void)ones;                                                                                                    \
        (void)colour;                                                                                                  \
        (void)alpha;                                                                                                   \
        int32_t i = 0;                                                                                                 \
        for (; i + 3 < n; i += 4) {                                                                                    \
            __m128i dv = _mm_loadu_si128((const __m128i *)(d + i));                                                    \
            __m128i sv = _mm_loadu_si128((const __m128i *)(s + i));                                                    \
            __m128i r;                                                                                                 \
            (void)dv;                                                                                                  \
            body;                                                                                                      \
            _mm_storeu_si128((__m128i *)(d + i), r);                                                                   \
        }                                                                                                              \
        for (; i < n; i++)                                                                                             \
            d[i] = pixel;                                                                                              \
    }

// The colour bytes of r with the transparency byte of sv.
#define PXM_WITH_SOURCE_T(r) _mm_or_si128(_mm_and_si128((r), colour), _mm_and_si128(sv, alpha))

// (a * b) >> 8 per byte, in 16-bit lanes.
PXM_SSE2 static inline __m128i pxm_product8(__m128i a, __m128i b)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)), 8);
    __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)), 8);
    return _mm_packus_epi16(lo, hi);
}

// clamp(a + b - 128, 0, 255) per byte.
PXM_SSE2 static inline __m128i pxm_add_signed8(__m128i a, __m128i b)
{
    const __m128i zero = _mm_setzero_si128(), bias = _mm_set1_epi16(128);
    __m128i lo = _mm_sub_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)), bias);
    __m128i hi = _mm_sub_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)), bias);
    return _mm_packus_epi16(lo, hi);
}

PXM_ROP_VECTOR(pxm_rop_add_sse2, r = _mm_adds_epu8(dv, sv), pxm_rop_add_pixel(d[i], s[i]))
PXM_ROP_VECTOR(pxm_rop_sub_sse2, r = _mm_subs_epu8(dv, sv), pxm_rop_sub_pixel(d[i], s[i]))
PXM_ROP_VECTOR(pxm_rop_burn_sse2, r = PXM_WITH_SOURCE_T(_mm_subs_epu8(dv, _mm_xor_si128(sv, ones))),
               pxm_rop_burn_pixel(d[i], s[i]))
PXM_ROP_VECTOR(pxm_rop_multiply_sse2, r = PXM_WITH_SOURCE_T(pxm_product8(dv, sv)),
               pxm_rop_multiply_pixel(d[i], s[i], true))
PXM_ROP_VECTOR(pxm_rop_add_signed_sse2, r = PXM_WITH_SOURCE_T(pxm_add_signed8(dv, sv)),
               pxm_rop_add_signed_pixel(d[i], s[i]))
PXM_ROP_VECTOR(pxm_rop_screen_sse2,
               r = PXM_WITH_SOURCE_T(_mm_xor_si128(pxm_product8(_mm_xor_si128(dv, ones), _mm_xor_si128(sv, ones)), ones)),
               pxm_rop_screen_pixel(d[i], s[i], true))

PXM_ROP_VECTOR(pxm_rop_copy_sse2, r = sv, s[i])
PXM_ROP_VECTOR(pxm_rop_or_sse2, r = _mm_or_si128(dv, sv), d[i] | s[i])
PXM_ROP_VECTOR(pxm_rop_and_sse2, r = _mm_and_si128(dv, sv), d[i] & s[i])
PXM_ROP_VECTOR(pxm_rop_xor_sse2, r = _mm_xor_si128(dv, sv), d[i] ^ s[i])
