// AVX2 forms of the colour-space raster operations (HSL colour, YCbCr
// colour and YCbCr luma), eight pixels per step in 32-bit lanes, the last
// pixels of a run through masked loads and stores. Every pixel equals the
// integer form's.
//
// The YCbCr rules are products and arithmetic shifts, done as they are.
// The HSL rules divide non-negative integers; each quotient is taken as
// float(n) / float(d) truncated. For 0 <= n < 2^24 both operands are exact
// floats, and when n / d = k - e with e >= 1 / d (a quotient just below an
// integer k), the rounded float stays below k because k * 2^-24 < 1 / d
// whenever n < 2^24; an exact quotient stays exact. Numerators that reach
// 2^24 are divided by a power of two first: floor(floor(n / 2^j) / m) =
// floor(n / (2^j * m)) for n >= 0.
#include "pxm_rop.h"

#include <immintrin.h>

#define PXM_AVX2 __attribute__((target("avx2")))

#define PXM_I(v) _mm256_set1_epi32(v)

PXM_AVX2 static inline __m256i pxm_byte8(__m256i p, int k)
{
    return _mm256_and_si256(_mm256_srli_epi32(p, 8 * k), PXM_I(255));
}

PXM_AVX2 static inline __m256i pxm_clamp8(__m256i v)
{
    return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), PXM_I(255));
}

// a * k for a in -32768..32767 (every caller's factor is a byte, a byte less
// 128 or a value 0..24000) and 0 <= k < 2^30: 16-bit multiply-adds whose
// high halves are zero in k, k split at 2^15 when larger.
PXM_AVX2 static inline __m256i pxm_mul8(__m256i a, int32_t k)
{
    __m256i lo = _mm256_madd_epi16(a, PXM_I(k & 0x7FFF));
    if (k <= 0x7FFF)
        return lo;
    return _mm256_add_epi32(_mm256_slli_epi32(_mm256_madd_epi16(a, PXM_I(k >> 15)), 15), lo);
}

// floor(n / d) for 0 <= n < 2^24 and 0 < d < 2^24.
PXM_AVX2 static inline __m256i pxm_quot8(__m256i n, __m256 d)
{
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(n), d));
}

PXM_AVX2 static inline __m256i pxm_quotk8(__m256i n, float d) { return pxm_quot8(n, _mm256_set1_ps(d)); }

// Transparency byte of t with bytes 2, 1, 0 from c2, c1, c0 (each 0..255).
PXM_AVX2 static inline __m256i pxm_pack8(__m256i t, __m256i c2, __m256i c1, __m256i c0)
{
    __m256i v = _mm256_or_si256(_mm256_slli_epi32(c2, 16), _mm256_or_si256(_mm256_slli_epi32(c1, 8), c0));
    return _mm256_or_si256(_mm256_and_si256(t, PXM_I((int)0xFF000000)), v);
}

// --- YCbCr ---

PXM_AVX2 static inline __m256i pxm_luma8(__m256i p)
{
    __m256i v = _mm256_add_epi32(pxm_mul8(pxm_byte8(p, 2), 19595), pxm_mul8(pxm_byte8(p, 1), 38470));
    v = _mm256_add_epi32(_mm256_add_epi32(v, pxm_mul8(pxm_byte8(p, 0), 7471)), PXM_I(32768));
    return pxm_clamp8(_mm256_srai_epi32(v, 16));
}

// Cb (br = 0) or Cr (br = 2): 32768 * own - ka * other - kg * green.
PXM_AVX2 static inline __m256i pxm_chroma8(__m256i p, int br, int32_t ka, int32_t kg)
{
    __m256i v = _mm256_slli_epi32(pxm_byte8(p, br), 15);
    v = _mm256_sub_epi32(v, _mm256_add_epi32(pxm_mul8(pxm_byte8(p, 2 - br), ka), pxm_mul8(pxm_byte8(p, 1), kg)));
    return pxm_clamp8(_mm256_add_epi32(_mm256_srai_epi32(v, 16), PXM_I(128)));
}

PXM_AVX2 static inline __m256i pxm_from_ycc8(__m256i t, __m256i y, __m256i cb, __m256i cr)
{
    cb = _mm256_sub_epi32(cb, PXM_I(128));
    cr = _mm256_sub_epi32(cr, PXM_I(128));
    __m256i base = _mm256_add_epi32(_mm256_slli_epi32(y, 16), PXM_I(32768));
    __m256i r = _mm256_srai_epi32(_mm256_add_epi32(base, pxm_mul8(cr, 91881)), 16);
    __m256i g = _mm256_sub_epi32(base, _mm256_add_epi32(pxm_mul8(cr, 46802), pxm_mul8(cb, 22553)));
    __m256i b = _mm256_srai_epi32(_mm256_add_epi32(base, pxm_mul8(cb, 116130)), 16);
    return pxm_pack8(t, pxm_clamp8(r), pxm_clamp8(_mm256_srai_epi32(g, 16)), pxm_clamp8(b));
}

PXM_AVX2 static inline __m256i pxm_ycc_color8(__m256i d, __m256i s)
{
    return pxm_from_ycc8(s, pxm_luma8(d), pxm_chroma8(s, 0, 11059, 21709), pxm_chroma8(s, 2, 5329, 27439));
}

PXM_AVX2 static inline __m256i pxm_ycc_luma8(__m256i d, __m256i s)
{
    return pxm_from_ycc8(s, pxm_luma8(s), pxm_chroma8(d, 0, 11059, 21709), pxm_chroma8(d, 2, 5329, 27439));
}

// --- HSL, 24000 the full range ---

// v in 0..24000 to a byte.
PXM_AVX2 static inline __m256i pxm_hsl_byte8(__m256i v)
{
    return pxm_clamp8(pxm_quotk8(_mm256_add_epi32(pxm_mul8(v, 255), PXM_I(12000)), 24000.0f));
}

// A byte to 0..24000.
PXM_AVX2 static inline __m256i pxm_hsl_unbyte8(__m256i b)
{
    return pxm_quotk8(_mm256_add_epi32(pxm_mul8(b, 24000), PXM_I(127)), 255.0f);
}

PXM_AVX2 static inline __m256i pxm_lightness8(__m256i mx, __m256i mn)
{
    return pxm_quotk8(_mm256_add_epi32(pxm_mul8(_mm256_add_epi32(mx, mn), 24000), PXM_I(255)), 510.0f);
}

PXM_AVX2 static inline __m256i pxm_max3(__m256i p)
{
    return _mm256_max_epi32(_mm256_max_epi32(pxm_byte8(p, 2), pxm_byte8(p, 1)), pxm_byte8(p, 0));
}

PXM_AVX2 static inline __m256i pxm_min3(__m256i p)
{
    return _mm256_min_epi32(_mm256_min_epi32(pxm_byte8(p, 2), pxm_byte8(p, 1)), pxm_byte8(p, 0));
}

// ((mx - c) * 4000 + delta / 2) / delta.
PXM_AVX2 static inline __m256i pxm_hue_part8(__m256i mx, __m256i c, __m256i half, __m256 delta)
{
    return pxm_quot8(_mm256_add_epi32(pxm_mul8(_mm256_sub_epi32(mx, c), 4000), half), delta);
}

// The hue and saturation bytes of p in bytes 2 and 1. Greys (delta 0) get
// saturation 0 from the same division (with e kept above 0) and some hue,
// where the integer form takes 16000: with saturation 0 the hue has no
// effect on the colour built from it.
PXM_AVX2 static inline __m256i pxm_hue_sat8(__m256i p)
{
    __m256i r = pxm_byte8(p, 2), g = pxm_byte8(p, 1), b = pxm_byte8(p, 0);
    __m256i mx = pxm_max3(p), mn = pxm_min3(p), sum = _mm256_add_epi32(mx, mn);
    __m256i l = pxm_lightness8(mx, mn), delta = _mm256_sub_epi32(mx, mn);
    __m256i e = _mm256_blendv_epi8(sum, _mm256_sub_epi32(PXM_I(510), sum), _mm256_cmpgt_epi32(l, PXM_I(12000)));
    e = _mm256_max_epi32(e, PXM_I(1));
    __m256i s = pxm_quot8(_mm256_add_epi32(pxm_mul8(delta, 24000), _mm256_srli_epi32(e, 1)), _mm256_cvtepi32_ps(e));
    __m256i dd = _mm256_max_epi32(delta, PXM_I(1)), half = _mm256_srli_epi32(dd, 1);
    __m256 fd = _mm256_cvtepi32_ps(dd);
    __m256i rc = pxm_hue_part8(mx, r, half, fd), gc = pxm_hue_part8(mx, g, half, fd),
            bc = pxm_hue_part8(mx, b, half, fd);
    __m256i h = _mm256_add_epi32(PXM_I(16000), _mm256_sub_epi32(gc, rc));
    h = _mm256_blendv_epi8(h, _mm256_add_epi32(PXM_I(8000), _mm256_sub_epi32(rc, bc)), _mm256_cmpeq_epi32(g, mx));
    h = _mm256_blendv_epi8(h, _mm256_sub_epi32(bc, gc), _mm256_cmpeq_epi32(r, mx));
    h = _mm256_add_epi32(h, _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), h), PXM_I(24000)));
    h = _mm256_sub_epi32(h, _mm256_and_si256(_mm256_cmpgt_epi32(h, PXM_I(24000)), PXM_I(24000)));
    return _mm256_or_si256(_mm256_slli_epi32(pxm_hsl_byte8(h), 16), _mm256_slli_epi32(pxm_hsl_byte8(s), 8));
}

// One channel from m1 <= m2 (both 0..24000) at hue h in -8000..32000. The
// ramp numerators (m2 - m1) * k + 2000 with k <= 4000 stay below 2^27, so
// they are divided by 32, then by 125.
PXM_AVX2 static inline __m256i pxm_hue8(__m256i m1, __m256i m2, __m256i h)
{
    h = _mm256_add_epi32(h, _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), h), PXM_I(24000)));
    h = _mm256_sub_epi32(h, _mm256_and_si256(_mm256_cmpgt_epi32(h, PXM_I(24000)), PXM_I(24000)));
    __m256i rise = _mm256_cmpgt_epi32(PXM_I(4000), h);
    __m256i k = _mm256_blendv_epi8(_mm256_sub_epi32(PXM_I(16000), h), h, rise);
    k = _mm256_max_epi32(k, _mm256_setzero_si256());
    __m256i n = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(m2, m1), k), PXM_I(2000));
    __m256i ramp = _mm256_add_epi32(m1, pxm_quotk8(_mm256_srli_epi32(n, 5), 125.0f));
    __m256i v = _mm256_blendv_epi8(m1, ramp, _mm256_cmpgt_epi32(PXM_I(16000), h));
    v = _mm256_blendv_epi8(v, m2, _mm256_cmpgt_epi32(PXM_I(12000), h));
    return pxm_hsl_byte8(_mm256_blendv_epi8(v, ramp, rise));
}

// Hue and saturation of s, lightness of d, transparency of s. A saturation
// of 0 needs no case of its own: m1 = m2 = l then, and every channel is l.
// The m2 numerators stay below 2^30, so they are divided by 64, then by 375.
PXM_AVX2 static inline __m256i pxm_hsl_color8(__m256i d, __m256i s)
{
    __m256i hs = pxm_hue_sat8(s);
    __m256i h = pxm_hsl_unbyte8(pxm_byte8(hs, 2)), sat = pxm_hsl_unbyte8(pxm_byte8(hs, 1));
    __m256i l = pxm_hsl_unbyte8(pxm_hsl_byte8(pxm_lightness8(pxm_max3(d), pxm_min3(d))));
    __m256i big = _mm256_cmpgt_epi32(l, PXM_I(12000));
    __m256i sl = _mm256_add_epi32(_mm256_mullo_epi32(sat, l), PXM_I(12000));
    __m256i n = _mm256_blendv_epi8(
        _mm256_add_epi32(_mm256_mullo_epi32(l, _mm256_add_epi32(sat, PXM_I(24000))), PXM_I(12000)), sl, big);
    __m256i q = pxm_quotk8(_mm256_srli_epi32(n, 6), 375.0f);
    __m256i m2 = _mm256_blendv_epi8(q, _mm256_sub_epi32(_mm256_add_epi32(l, sat), q), big);
    __m256i m1 = _mm256_sub_epi32(_mm256_add_epi32(l, l), m2);
    return pxm_pack8(s, pxm_hue8(m1, m2, _mm256_add_epi32(h, PXM_I(8000))), pxm_hue8(m1, m2, h),
                     pxm_hue8(m1, m2, _mm256_sub_epi32(h, PXM_I(8000))));
}

PXM_ROP_SPAN_AVX2(pxm_rop_hsl_color_avx2, pxm_hsl_color8)
PXM_ROP_SPAN_AVX2(pxm_rop_ycc_color_avx2, pxm_ycc_color8)
PXM_ROP_SPAN_AVX2(pxm_rop_ycc_luma_avx2, pxm_ycc_luma8)
