// SSE2 forms of the colour-space raster operations: the AVX2 forms'
// arithmetic (see rop_colour_avx2.cpp for why each division is exact) four
// pixels per step, with the 32-bit multiplies, minimum, maximum and select
// built from SSE2 operations; the last pixels of a run by the per-pixel
// integer rules. Every pixel equals the integer form's.
#include "pxm_rop.h"

#include <emmintrin.h>

#define PXM_SSE2 __attribute__((target("sse2")))

// The low 32 bits of each product, as the signed product's; for the
// products of two values from the pixels.
PXM_SSE2 static inline __m128i pxm_mullo4(__m128i a, __m128i b)
{
    __m128i even = _mm_mul_epu32(a, b), odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// b where the mask is set, a elsewhere.
PXM_SSE2 static inline __m128i pxm_blend4(__m128i a, __m128i b, __m128i mask)
{
    return _mm_or_si128(_mm_and_si128(mask, b), _mm_andnot_si128(mask, a));
}

PXM_SSE2 static inline __m128i pxm_max4(__m128i a, __m128i b) { return pxm_blend4(b, a, _mm_cmpgt_epi32(a, b)); }

PXM_SSE2 static inline __m128i pxm_min4(__m128i a, __m128i b) { return pxm_blend4(a, b, _mm_cmpgt_epi32(a, b)); }

#define PXM_I(v) _mm_set1_epi32(v)

PXM_SSE2 static inline __m128i pxm_byte4(__m128i p, int k)
{
    return _mm_and_si128(_mm_srli_epi32(p, 8 * k), PXM_I(255));
}

PXM_SSE2 static inline __m128i pxm_clamp4(__m128i v)
{
    return pxm_min4(pxm_max4(v, _mm_setzero_si128()), PXM_I(255));
}

// a * k for a in -32768..32767 (every caller's factor is a byte, a byte less
// 128 or a value 0..24000) and 0 <= k < 2^30: 16-bit multiply-adds whose
// high halves are zero in k, k split at 2^15 when larger.
PXM_SSE2 static inline __m128i pxm_mul4(__m128i a, int32_t k)
{
    __m128i lo = _mm_madd_epi16(a, PXM_I(k & 0x7FFF));
    if (k <= 0x7FFF)
        return lo;
    return _mm_add_epi32(_mm_slli_epi32(_mm_madd_epi16(a, PXM_I(k >> 15)), 15), lo);
}

// floor(n / d) for 0 <= n < 2^24 and 0 < d < 2^24.
PXM_SSE2 static inline __m128i pxm_quot4(__m128i n, __m128 d)
{
    return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(n), d));
}

PXM_SSE2 static inline __m128i pxm_quotk4(__m128i n, float d) { return pxm_quot4(n, _mm_set1_ps(d)); }

// Transparency byte of t with bytes 2, 1, 0 from c2, c1, c0 (each 0..255).
PXM_SSE2 static inline __m128i pxm_pack4(__m128i t, __m128i c2, __m128i c1, __m128i c0)
{
    __m128i v = _mm_or_si128(_mm_slli_epi32(c2, 16), _mm_or_si128(_mm_slli_epi32(c1, 8), c0));
    return _mm_or_si128(_mm_and_si128(t, PXM_I((int)0xFF000000)), v);
}

// --- YCbCr ---

PXM_SSE2 static inline __m128i pxm_luma4(__m128i p)
{
    __m128i v = _mm_add_epi32(pxm_mul4(pxm_byte4(p, 2), 19595), pxm_mul4(pxm_byte4(p, 1), 38470));
    v = _mm_add_epi32(_mm_add_epi32(v, pxm_mul4(pxm_byte4(p, 0), 7471)), PXM_I(32768));
    return pxm_clamp4(_mm_srai_epi32(v, 16));
}

// Cb (br = 0) or Cr (br = 2): 32768 * own - ka * other - kg * green.
PXM_SSE2 static inline __m128i pxm_chroma4(__m128i p, int br, int32_t ka, int32_t kg)
{
    __m128i v = _mm_slli_epi32(pxm_byte4(p, br), 15);
    v = _mm_sub_epi32(v, _mm_add_epi32(pxm_mul4(pxm_byte4(p, 2 - br), ka), pxm_mul4(pxm_byte4(p, 1), kg)));
    return pxm_clamp4(_mm_add_epi32(_mm_srai_epi32(v, 16), PXM_I(128)));
}

PXM_SSE2 static inline __m128i pxm_from_ycc4(__m128i t, __m128i y, __m128i cb, __m128i cr)
{
    cb = _mm_sub_epi32(cb, PXM_I(128));
    cr = _mm_sub_epi32(cr, PXM_I(128));
    __m128i base = _mm_add_epi32(_mm_slli_epi32(y, 16), PXM_I(32768));
    __m128i r = _mm_srai_epi32(_mm_add_epi32(base, pxm_mul4(cr, 91881)), 16);
    __m128i g = _mm_sub_epi32(base, _mm_add_epi32(pxm_mul4(cr, 46802), pxm_mul4(cb, 22553)));
    __m128i b = _mm_srai_epi32(_mm_add_epi32(base, pxm_mul4(cb, 116130)), 16);
    return pxm_pack4(t, pxm_clamp4(r), pxm_clamp4(_mm_srai_epi32(g, 16)), pxm_clamp4(b));
}

PXM_SSE2 static inline __m128i pxm_ycc_color4(__m128i d, __m128i s)
{
    return pxm_from_ycc4(s, pxm_luma4(d), pxm_chroma4(s, 0, 11059, 21709), pxm_chroma4(s, 2, 5329, 27439));
}

PXM_SSE2 static inline __m128i pxm_ycc_luma4(__m128i d, __m128i s)
{
    return pxm_from_ycc4(s, pxm_luma4(s), pxm_chroma4(d, 0, 11059, 21709), pxm_chroma4(d, 2, 5329, 27439));
}

// --- HSL, 24000 the full range ---

// v in 0..24000 to a byte.
PXM_SSE2 static inline __m128i pxm_hsl_byte4(__m128i v)
{
    return pxm_clamp4(pxm_quotk4(_mm_add_epi32(pxm_mul4(v, 255), PXM_I(12000)), 24000.0f));
}

// A byte to 0..24000.
PXM_SSE2 static inline __m128i pxm_hsl_unbyte4(__m128i b)
{
    return pxm_quotk4(_mm_add_epi32(pxm_mul4(b, 24000), PXM_I(127)), 255.0f);
}

PXM_SSE2 static inline __m128i pxm_lightness4(__m128i mx, __m128i mn)
{
    return pxm_quotk4(_mm_add_epi32(pxm_mul4(_mm_add_epi32(mx, mn), 24000), PXM_I(255)), 510.0f);
}

PXM_SSE2 static inline __m128i pxm_max3q(__m128i p)
{
    return pxm_max4(pxm_max4(pxm_byte4(p, 2), pxm_byte4(p, 1)), pxm_byte4(p, 0));
}

PXM_SSE2 static inline __m128i pxm_min3q(__m128i p)
{
    return pxm_min4(pxm_min4(pxm_byte4(p, 2), pxm_byte4(p, 1)), pxm_byte4(p, 0));
}

// ((mx - c) * 4000 + delta / 2) / delta.
PXM_SSE2 static inline __m128i pxm_hue_part4(__m128i mx, __m128i c, __m128i half, __m128 delta)
{
    return pxm_quot4(_mm_add_epi32(pxm_mul4(_mm_sub_epi32(mx, c), 4000), half), delta);
}

// The hue and saturation bytes of p in bytes 2 and 1. Greys (delta 0) get
// saturation 0 from the same division (with e kept above 0) and some hue,
// where the integer form takes 16000: with saturation 0 the hue has no
// effect on the colour built from it.
PXM_SSE2 static inline __m128i pxm_hue_sat4(__m128i p)
{
    __m128i r = pxm_byte4(p, 2), g = pxm_byte4(p, 1), b = pxm_byte4(p, 0);
    __m128i mx = pxm_max3q(p), mn = pxm_min3q(p), sum = _mm_add_epi32(mx, mn);
    __m128i l = pxm_lightness4(mx, mn), delta = _mm_sub_epi32(mx, mn);
    __m128i e = pxm_blend4(sum, _mm_sub_epi32(PXM_I(510), sum), _mm_cmpgt_epi32(l, PXM_I(12000)));
    e = pxm_max4(e, PXM_I(1));
    __m128i s = pxm_quot4(_mm_add_epi32(pxm_mul4(delta, 24000), _mm_srli_epi32(e, 1)), _mm_cvtepi32_ps(e));
    __m128i dd = pxm_max4(delta, PXM_I(1)), half = _mm_srli_epi32(dd, 1);
    __m128 fd = _mm_cvtepi32_ps(dd);
    __m128i rc = pxm_hue_part4(mx, r, half, fd), gc = pxm_hue_part4(mx, g, half, fd),
            bc = pxm_hue_part4(mx, b, half, fd);
    __m128i h = _mm_add_epi32(PXM_I(16000), _mm_sub_epi32(gc, rc));
    h = pxm_blend4(h, _mm_add_epi32(PXM_I(8000), _mm_sub_epi32(rc, bc)), _mm_cmpeq_epi32(g, mx));
    h = pxm_blend4(h, _mm_sub_epi32(bc, gc), _mm_cmpeq_epi32(r, mx));
    h = _mm_add_epi32(h, _mm_and_si128(_mm_cmpgt_epi32(_mm_setzero_si128(), h), PXM_I(24000)));
    h = _mm_sub_epi32(h, _mm_and_si128(_mm_cmpgt_epi32(h, PXM_I(24000)), PXM_I(24000)));
    return _mm_or_si128(_mm_slli_epi32(pxm_hsl_byte4(h), 16), _mm_slli_epi32(pxm_hsl_byte4(s), 8));
}

// One channel from m1 <= m2 (both 0..24000) at hue h in -8000..32000. The
// ramp numerators (m2 - m1) * k + 2000 with k <= 4000 stay below 2^27, so
// they are divided by 32, then by 125.
PXM_SSE2 static inline __m128i pxm_hue4(__m128i m1, __m128i m2, __m128i h)
{
    h = _mm_add_epi32(h, _mm_and_si128(_mm_cmpgt_epi32(_mm_setzero_si128(), h), PXM_I(24000)));
    h = _mm_sub_epi32(h, _mm_and_si128(_mm_cmpgt_epi32(h, PXM_I(24000)), PXM_I(24000)));
    __m128i rise = _mm_cmpgt_epi32(PXM_I(4000), h);
    __m128i k = pxm_blend4(_mm_sub_epi32(PXM_I(16000), h), h, rise);
    k = pxm_max4(k, _mm_setzero_si128());
    __m128i n = _mm_add_epi32(pxm_mullo4(_mm_sub_epi32(m2, m1), k), PXM_I(2000));
    __m128i ramp = _mm_add_epi32(m1, pxm_quotk4(_mm_srli_epi32(n, 5), 125.0f));
    __m128i v = pxm_blend4(m1, ramp, _mm_cmpgt_epi32(PXM_I(16000), h));
    v = pxm_blend4(v, m2, _mm_cmpgt_epi32(PXM_I(12000), h));
    return pxm_hsl_byte4(pxm_blend4(v, ramp, rise));
}

// Hue and saturation of s, lightness of d, transparency of s. A saturation
// of 0 needs no case of its own: m1 = m2 = l then, and every channel is l.
// The m2 numerators stay below 2^30, so they are divided by 64, then by 375.
PXM_SSE2 static inline __m128i pxm_hsl_color4(__m128i d, __m128i s)
{
    __m128i hs = pxm_hue_sat4(s);
    __m128i h = pxm_hsl_unbyte4(pxm_byte4(hs, 2)), sat = pxm_hsl_unbyte4(pxm_byte4(hs, 1));
    __m128i l = pxm_hsl_unbyte4(pxm_hsl_byte4(pxm_lightness4(pxm_max3q(d), pxm_min3q(d))));
    __m128i big = _mm_cmpgt_epi32(l, PXM_I(12000));
    __m128i sl = _mm_add_epi32(pxm_mullo4(sat, l), PXM_I(12000));
    __m128i n = pxm_blend4(
        _mm_add_epi32(pxm_mullo4(l, _mm_add_epi32(sat, PXM_I(24000))), PXM_I(12000)), sl, big);
    __m128i q = pxm_quotk4(_mm_srli_epi32(n, 6), 375.0f);
    __m128i m2 = pxm_blend4(q, _mm_sub_epi32(_mm_add_epi32(l, sat), q), big);
    __m128i m1 = _mm_sub_epi32(_mm_add_epi32(l, l), m2);
    return pxm_pack4(s, pxm_hue4(m1, m2, _mm_add_epi32(h, PXM_I(8000))), pxm_hue4(m1, m2, h),
                     pxm_hue4(m1, m2, _mm_sub_epi32(h, PXM_I(8000))));
}

#define PXM_COLOUR_SSE2(name, kernel, pixel)                                                                           \
    PXM_SSE2 void name(uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y)                                \
    {                                                                                                                  \
        (void)x;                                                                                                       \
        (void)y;                                                                                                       \
        int32_t i = 0;                                                                                                 \
        for (; i + 3 < n; i += 4) {                                                                                    \
            __m128i dv = _mm_loadu_si128((const __m128i *)(d + i));                                                    \
            __m128i sv = _mm_loadu_si128((const __m128i *)(s + i));                                                    \
            _mm_storeu_si128((__m128i *)(d + i), kernel(dv, sv));                                                      \
        }                                                                                                              \
        for (; i < n; i++)                                                                                             \
            d[i] = pixel(d[i], s[i]);                                                                                  \
    }

PXM_COLOUR_SSE2(pxm_rop_hsl_color_sse2, pxm_hsl_color4, pxm_rop_hsl_color_pixel)
PXM_COLOUR_SSE2(pxm_rop_ycc_color_sse2, pxm_ycc_color4, pxm_rop_ycc_color_pixel)
PXM_COLOUR_SSE2(pxm_rop_ycc_luma_sse2, pxm_ycc_luma4, pxm_rop_ycc_luma_pixel)
