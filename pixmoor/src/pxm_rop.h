// Shared between the integer and vector forms of the raster operations.
#ifndef PXM_ROP_H
#define PXM_ROP_H

#include "pxm_private.h"

// d[i] combined with s[i] for destination columns x.. of row y.
typedef void (*PxmRopSpan)(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);

// Vector paths, four pixels per step; only called when pxm_cpu_level is 2
// or more.
void pxm_rop_add_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_sub_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_burn_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_multiply_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_add_signed_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_screen_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_copy_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_or_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_and_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_xor_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);

// AVX2 forms of the same operations, eight pixels per step; only called
// when pxm_cpu_level is 5.
void pxm_rop_add_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_sub_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_burn_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_multiply_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_add_signed_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_screen_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_copy_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_or_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_and_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_xor_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
// The colour-space operations in SSE2 and AVX2, giving the integer forms'
// pixels.
void pxm_rop_hsl_color_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_ycc_color_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_ycc_luma_sse2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_hsl_color_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_ycc_color_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);
void pxm_rop_ycc_luma_avx2(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);

// An AVX2 span from an eight-pixel kernel (dv, sv) -> result: whole groups
// of eight, then the last pixels through masked loads and stores, which
// never touch the lanes left out. Expanded only in files whose functions
// carry the AVX2 target.
#define PXM_ROP_SPAN_AVX2(name, kernel)                                                                                \
    PXM_AVX2 void name(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y)                                \
    {                                                                                                                  \
        (void)x;                                                                                                       \
        (void)y;                                                                                                       \
        int32_t i = 0;                                                                                                 \
        for (; i + 7 < n; i += 8) {                                                                                    \
            __m256i dv = _mm256_loadu_si256((const __m256i *)(d + i));                                                 \
            __m256i sv = _mm256_loadu_si256((const __m256i *)(s + i));                                                 \
            _mm256_storeu_si256((__m256i *)(d + i), kernel(dv, sv));                                                   \
        }                                                                                                              \
        if (i < n) {                                                                                                   \
            __m256i m = _mm256_cmpgt_epi32(_mm256_set1_epi32(n - i), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));       \
            __m256i dv = _mm256_maskload_epi32((const int *)(d + i), m);                                               \
            __m256i sv = _mm256_maskload_epi32((const int *)(s + i), m);                                               \
            _mm256_maskstore_epi32((int *)(d + i), m, kernel(dv, sv));                                                 \
        }                                                                                                              \
    }

// Per-pixel rules the vector paths fall back on for the last pixels of a run.
uint32_t pxm_rop_add_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_sub_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_burn_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_multiply_pixel(uint32_t d, uint32_t s, bool sse2_rule);
uint32_t pxm_rop_add_signed_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_screen_pixel(uint32_t d, uint32_t s, bool sse2_rule);
// Hue and saturation of s with the lightness of d (HSL colour); the luma of
// d with the chroma of s (YCbCr colour), and the other way round (luma).
uint32_t pxm_rop_hsl_color_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_ycc_color_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_ycc_luma_pixel(uint32_t d, uint32_t s);

#endif
