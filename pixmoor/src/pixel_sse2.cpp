// SSE2 forms of the pixel blends and the block copy. Every byte lane
// computes floor((a * (256 - f) + b * f) / 256) exactly as the integer form
// does: products and their sum stay below 65536, so 16-bit multiplies are
// exact. Single pixels and pairs are widened to four 16-bit lanes per pixel;
// runs go four pixels to a register.
#include "pxm_private.h"

#include <emmintrin.h>

#define PXM_SSE2 __attribute__((target("sse2")))

PXM_SSE2 static inline __m128i pxm_widen(__m128i v)
{
    return _mm_unpacklo_epi8(v, _mm_setzero_si128());
}

PXM_SSE2 static inline __m128i pxm_load2(const uint32_t *p)
{
    return pxm_widen(_mm_loadl_epi64((const __m128i *)p));
}

PXM_SSE2 static inline __m128i pxm_load1(uint32_t v)
{
    return pxm_widen(_mm_cvtsi32_si128((int)v));
}

// The transparency lane of each pixel as a weight 0..256 in all four of its lanes.
PXM_SSE2 static inline __m128i pxm_weights(__m128i p)
{
    __m128i t = _mm_shufflehi_epi16(_mm_shufflelo_epi16(p, 0xFF), 0xFF);
    return _mm_add_epi16(t, _mm_srli_epi16(t, 7));
}

// a * (256 - f) + b * f equals a * 256 + (b - a) * f; the sum lies in
// 0..65280, so computing it modulo 2^16 with one 16-bit multiply is exact.
PXM_SSE2 static inline __m128i pxm_mix16(__m128i a, __m128i b, __m128i f)
{
    __m128i v = _mm_add_epi16(_mm_slli_epi16(a, 8), _mm_mullo_epi16(_mm_sub_epi16(b, a), f));
    return _mm_srli_epi16(v, 8);
}

// Four pixels in place: the blue/red and green/transparency byte pairs of
// each pixel are 16-bit lanes of two masked copies (as in the integer
// form), so no widening is needed. f holds one weight 0..256 per pixel.
PXM_SSE2 static inline __m128i pxm_mix4(__m128i a, __m128i b, __m128i f)
{
    const __m128i low = _mm_set1_epi32(0x00FF00FF), high = _mm_set1_epi32((int)0xFF00FF00);
    f = _mm_or_si128(f, _mm_slli_epi32(f, 16));
    __m128i g = _mm_sub_epi16(_mm_set1_epi16(256), f);
    __m128i rb = _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(a, low), g), _mm_mullo_epi16(_mm_and_si128(b, low), f));
    __m128i ag = _mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(a, 8), g), _mm_mullo_epi16(_mm_srli_epi16(b, 8), f));
    return _mm_or_si128(_mm_srli_epi16(rb, 8), _mm_and_si128(ag, high));
}

// Transparency bytes of four pixels as weights 0..256 in 32-bit lanes.
PXM_SSE2 static inline __m128i pxm_weights4(__m128i p)
{
    __m128i t = _mm_srli_epi32(p, 24);
    return _mm_add_epi32(t, _mm_srli_epi32(t, 7));
}

// Clears the transparency lanes.
PXM_SSE2 static inline __m128i pxm_colour_only(__m128i p)
{
    return _mm_and_si128(p, _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1));
}

PXM_SSE2 static inline __m128i pxm_over16(__m128i d, __m128i s)
{
    return pxm_mix16(pxm_colour_only(s), d, pxm_weights(s));
}

PXM_SSE2 static inline __m128i pxm_behind16(__m128i d, __m128i s)
{
    return pxm_mix16(s, pxm_colour_only(d), _mm_sub_epi16(_mm_set1_epi16(256), pxm_weights(d)));
}

// Where both pixels are fully transparent the destination stays as it was.
PXM_SSE2 static inline __m128i pxm_average16(__m128i d, __m128i s)
{
    __m128i c = _mm_srli_epi16(_mm_add_epi16(pxm_weights(s), pxm_weights(d)), 1);
    __m128i keep = _mm_cmpeq_epi16(c, _mm_set1_epi16(256));
    __m128i r = pxm_mix16(s, pxm_colour_only(d), c);
    return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, r));
}

PXM_SSE2 static inline uint32_t pxm_narrow1(__m128i v)
{
    return (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(v, v));
}

PXM_SSE2 static inline void pxm_store2(uint32_t *p, __m128i v)
{
    _mm_storel_epi64((__m128i *)p, _mm_packus_epi16(v, v));
}

PXM_SSE2 uint32_t pxm_mix_sse2(uint32_t a, uint32_t b, uint32_t f)
{
    return pxm_narrow1(pxm_mix16(pxm_load1(a), pxm_load1(b), _mm_set1_epi16((short)f)));
}

PXM_SSE2 void pxm_pixel_over_sse2(uint32_t *d, uint32_t s)
{
    uint32_t t = s >> 24;
    if (t == 0)
        *d = s;
    else if (t != 255)
        *d = pxm_narrow1(pxm_over16(pxm_load1(*d), pxm_load1(s)));
}

PXM_SSE2 void pxm_pixel_behind_sse2(uint32_t *d, uint32_t s)
{
    *d = pxm_narrow1(pxm_behind16(pxm_load1(*d), pxm_load1(s)));
}

PXM_SSE2 void pxm_pixel_average_sse2(uint32_t *d, uint32_t s)
{
    *d = pxm_narrow1(pxm_average16(pxm_load1(*d), pxm_load1(s)));
}

// Two pixels per step, two steps to a register: where both sources of a
// pair are opaque the pair is copied, where both are fully transparent the
// destination stays; otherwise the pair is blended (blending the other pair
// of the register with it gives the same values as copying or keeping it).
PXM_SSE2 void pxm_over_span_sse2(uint32_t *d, const uint32_t *s, int32_t n)
{
    const __m128i zero = _mm_setzero_si128(), clear = _mm_set1_epi32(255), colour = _mm_set1_epi32(0x00FFFFFF);
    int32_t i = 0;
    for (; i + 3 < n; i += 4) {
        __m128i sv = _mm_loadu_si128((const __m128i *)(s + i));
        __m128i t = _mm_srli_epi32(sv, 24);
        __m128i opaque = _mm_cmpeq_epi32(t, zero);
        // One test for the usual case of no opaque or fully transparent pixel.
        int special = _mm_movemask_epi8(_mm_or_si128(opaque, _mm_cmpeq_epi32(t, clear)));
        if (special) {
            // Each pair: both opaque are copied, both fully transparent
            // leave the destination; a pair needing arithmetic blends the group.
            int copy = _mm_movemask_epi8(opaque), keep = special & ~copy;
            bool copy_lo = (copy & 0x00FF) == 0x00FF, copy_hi = (copy & 0xFF00) == 0xFF00;
            bool keep_lo = (keep & 0x00FF) == 0x00FF, keep_hi = (keep & 0xFF00) == 0xFF00;
            if ((copy_lo || keep_lo) && (copy_hi || keep_hi)) {
                if (copy_lo)
                    _mm_storel_epi64((__m128i *)(d + i), sv);
                if (copy_hi)
                    _mm_storel_epi64((__m128i *)(d + i + 2), _mm_srli_si128(sv, 8));
                continue;
            }
        }
        __m128i dv = _mm_loadu_si128((const __m128i *)(d + i));
        __m128i w = _mm_add_epi32(t, _mm_srli_epi32(t, 7));
        _mm_storeu_si128((__m128i *)(d + i), pxm_mix4(_mm_and_si128(sv, colour), dv, w));
    }
    for (; i + 1 < n; i += 2) {
        uint32_t a = s[i], b = s[i + 1];
        if (((a | b) >> 24) == 0) {
            d[i] = a;
            d[i + 1] = b;
        } else if (((a & b) >> 24) != 255) {
            pxm_store2(d + i, pxm_over16(pxm_load2(d + i), pxm_load2(s + i)));
        }
    }
    if (i < n)
        pxm_pixel_over_sse2(d + i, s[i]);
}

PXM_SSE2 void pxm_behind_span_sse2(uint32_t *d, const uint32_t *s, int32_t n)
{
    const __m128i full = _mm_set1_epi32(256), colour = _mm_set1_epi32(0x00FFFFFF);
    int32_t i = 0;
    for (; i + 3 < n; i += 4) {
        __m128i sv = _mm_loadu_si128((const __m128i *)(s + i));
        __m128i dv = _mm_loadu_si128((const __m128i *)(d + i));
        __m128i c = _mm_sub_epi32(full, pxm_weights4(dv));
        _mm_storeu_si128((__m128i *)(d + i), pxm_mix4(sv, _mm_and_si128(dv, colour), c));
    }
    for (; i < n; i++)
        pxm_pixel_behind_sse2(d + i, s[i]);
}

// Where both pixels are fully transparent the destination stays as it was.
PXM_SSE2 void pxm_average_span_sse2(uint32_t *d, const uint32_t *s, int32_t n)
{
    const __m128i full = _mm_set1_epi32(256), colour = _mm_set1_epi32(0x00FFFFFF);
    int32_t i = 0;
    for (; i + 3 < n; i += 4) {
        __m128i sv = _mm_loadu_si128((const __m128i *)(s + i));
        __m128i dv = _mm_loadu_si128((const __m128i *)(d + i));
        __m128i c = _mm_srli_epi32(_mm_add_epi32(pxm_weights4(sv), pxm_weights4(dv)), 1);
        __m128i keep = _mm_cmpeq_epi32(c, full);
        __m128i r = pxm_mix4(sv, _mm_and_si128(dv, colour), c);
        _mm_storeu_si128((__m128i *)(d + i), _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, r)));
    }
    for (; i < n; i++)
        pxm_pixel_average_sse2(d + i, s[i]);
}

// Bytes up to the destination's next 16-byte boundary, then aligned 16-byte
// stores, then the rest. Copies forward.
PXM_SSE2 void pxm_copy_bytes_sse2(void *dst, const void *src, size_t n)
{
    unsigned char *d = (unsigned char *)dst;
    const unsigned char *s = (const unsigned char *)src;
    size_t lead = (16 - ((uintptr_t)d & 15)) & 15;
    if (lead > n)
        lead = n;
    n -= lead;
    while (lead--)
        *d++ = *s++;
    for (; n >= 64; n -= 64, d += 64, s += 64) {
        __m128i v0 = _mm_loadu_si128((const __m128i *)s);
        __m128i v1 = _mm_loadu_si128((const __m128i *)(s + 16));
        __m128i v2 = _mm_loadu_si128((const __m128i *)(s + 32));
        __m128i v3 = _mm_loadu_si128((const __m128i *)(s + 48));
        _mm_store_si128((__m128i *)d, v0);
        _mm_store_si128((__m128i *)(d + 16), v1);
        _mm_store_si128((__m128i *)(d + 32), v2);
        _mm_store_si128((__m128i *)(d + 48), v3);
    }
    for (; n >= 16; n -= 16, d += 16, s += 16)
        _mm_store_si128((__m128i *)d, _mm_loadu_si128((const __m128i *)s));
    while (n--)
        *d++ = *s++;
}
