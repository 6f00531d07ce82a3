// Shared between the integer, SSE2, SSSE3 and AVX2 forms of the scaled
// blits: the per-call sampling context and the row samplers.
#ifndef PXM_STRETCH_H
#define PXM_STRETCH_H

#include "pxm_private.h"

#include <emmintrin.h>

typedef struct PxmStretch {
    const uint32_t *pixels; // source
    int32_t stride, width, height;
    PxmAxis cols;
    int32_t x1, sx1;
    int32_t first;      // first drawn destination column
    bool copy_positions; // pxm_stretch_copy's sample positions rather than pxm_stretch_blit's
    bool reciprocal;     // box quotient by the 16-bit reciprocal (integer form)
    // Per row: source rows (clamped) and the fraction, or the box rows.
    const uint32_t *row[4];
    int32_t fy;
    int64_t box_top, box_bottom;
    // Column positions precomputed for the drawn columns (index x - first)
    // by the SSE2 forms, or null: bilinear (pair, fraction 0..256),
    // four-sample (column, midpoint), box (left, right) when every block
    // lies inside the source, bicubic (four columns, fraction).
    const int32_t *table;
    int32_t count;        // drawn columns
    int32_t row_index[4]; // the per-row source rows, clamped
    struct PxmRowCache *cache;
    uint16_t *column_sums; // box: per source column, 16-bit lanes
    // Box, with the table: the width all blocks share when each starts
    // after the last (else 0), and the widest block.
    int32_t box_width, box_widest;
    // The byte-shuffle forms' table (four-sample and bilinear), per pair of
    // drawn columns counted from first: the first of four source pixels
    // holding both columns' samples (-1 when they lie further apart), and a
    // 16-byte shuffle picking them; bilinear's fractions as 16-bit lanes,
    // four per column. Null when the SSE2 table is, or most pairs do not fit.
    const int32_t *pair_base;
    const uint8_t *pair_mask;
    const uint16_t *pair_fx;
} PxmStretch;

// Bicubic: the horizontal passes of up to four source rows over all drawn
// columns (four floats per column), kept across destination rows.
typedef struct PxmRowCache {
    float *rows[4];
    float *lanes;     // one source row as float lanes, four per column
    float *fractions; // t, t^2, t^3 of each drawn column as four-lane vectors
    int32_t fractions_ready;
    int32_t index[4];
    int32_t age[4];
    int32_t clock;
} PxmRowCache;

// Bicubic: the horizontal pass of one source row into a cache row, and the
// cached pass of source row r, made by pass on first use in the slot least
// recently used by rows other than the current four.
typedef void (*PxmRowPass)(const struct PxmStretch *c, const uint32_t *row, float *dst);
const float *pxm_bicubic_cached_row(const struct PxmStretch *c, int32_t r, const uint32_t *row, PxmRowPass pass);

// Produces the filtered samples of destination columns x..x+n-1 of the
// current row.
typedef void (*PxmSampler)(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);

static inline int64_t pxm_cur(const PxmStretch *c, int64_t x)
{
    return pxm_axis_source(&c->cols, c->sx1, x - c->x1);
}

// The last source column destination column x covers.
static inline int64_t pxm_last(const PxmStretch *c, int64_t x) { return pxm_cur(c, x + 1) - 1; }

static inline int32_t pxm_clamp_index(int64_t v, int32_t size)
{
    return v < 0 ? 0 : v >= size ? size - 1 : (int32_t)v;
}

// Fraction of a fixed-point position in 1/256 pixel.
static inline int32_t pxm_frac(int64_t pos, int32_t shift)
{
    return shift >= 8 ? (int32_t)((pos >> (shift - 8)) & 255) : 0;
}

// Four-sample average positions of destination column x: the column the
// pixel takes and the midpoint toward the previous pixel's, clamped.
static inline void pxm_four_columns(const PxmStretch *c, int64_t x, int32_t *a, int32_t *mid)
{
    int64_t cur = c->copy_positions ? pxm_last(c, x) : pxm_cur(c, x);
    int64_t prev = c->copy_positions ? pxm_last(c, x - 1) : pxm_cur(c, x - 1);
    if (prev < -1)
        prev = -1;
    int64_t m = (prev + cur + 1) >> 1;
    if (m < 0)
        m = 0;
    *a = pxm_clamp_index(cur, c->width);
    *mid = pxm_clamp_index(m, c->width);
}

// Box columns of destination column x: after the previous position (taken
// as -1 when below it) up to the pixel's own.
static inline void pxm_box_columns(const PxmStretch *c, int64_t x, int64_t *left, int64_t *right)
{
    int64_t prev;
    if (c->copy_positions) {
        prev = pxm_last(c, x - 1);
        *right = pxm_last(c, x);
    } else if (c->reciprocal) {
        prev = pxm_cur(c, x - 1);
        *right = pxm_cur(c, x);
    } else {
        prev = x == c->first ? pxm_cur(c, x - 1) : pxm_last(c, x - 1);
        *right = pxm_last(c, x);
    }
    *left = (prev < -1 ? -1 : prev) + 1;
}

enum { PXM_FILTER_FOUR, PXM_FILTER_BOX, PXM_FILTER_BILINEAR, PXM_FILTER_BICUBIC };

// Columns per table entry of each filter.
static inline int pxm_table_width(int filter) { return filter == PXM_FILTER_BICUBIC ? 5 : 2; }

// Box sum of any block, indices clamped into the source; the cost is
// bounded by the source size however far the block reaches outside.
uint32_t pxm_box_general(const PxmStretch *c, int64_t left, int64_t right, bool reciprocal);

// A box block's mean as a pixel, from its four channel sums (32-bit lanes)
// over count pixels: blocks of 2^k pixels divide by a shift, others by float
// division truncated (exact, the sums stay below 2^24). The divisor is kept
// while the count repeats; start with {0, -1, 1.0f}.
typedef struct PxmBoxMean {
    uint32_t count;
    int power;
    __m128 divisor;
} PxmBoxMean;

__attribute__((target("sse2"))) static inline uint32_t pxm_box_mean(PxmBoxMean *b, __m128i total, uint32_t count)
{
    if (count != b->count) {
        b->divisor = _mm_set1_ps((float)count);
        b->count = count;
        b->power = 0;
        while ((1u << b->power) < count)
            b->power++;
        if ((1u << b->power) != count)
            b->power = -1;
    }
    __m128i v = b->power >= 0 ? _mm_srl_epi32(total, _mm_cvtsi32_si128(b->power))
                              : _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(total), b->divisor));
    v = _mm_packs_epi32(v, v);
    return (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(v, v));
}

// The four channel sums of box columns a..b from the per-column sums (four
// 16-bit lanes per column), added in 16-bit lanes: exact while the block
// has at most 257 pixels, so that no lane passes 65535.
__attribute__((target("sse2"))) static inline __m128i pxm_box_sum16(const uint16_t *sums, int32_t a, int32_t b)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = zero;
    int32_t q = a;
    for (; q + 1 <= b; q += 2)
        acc = _mm_add_epi16(acc, _mm_loadu_si128((const __m128i *)(sums + 4 * q)));
    acc = _mm_add_epi16(acc, _mm_srli_si128(acc, 8));
    if (q == b)
        acc = _mm_add_epi16(acc, _mm_loadl_epi64((const __m128i *)(sums + 4 * q)));
    return _mm_unpacklo_epi16(acc, zero);
}

// Bicubic's float helpers shared by its SSE2 and AVX2 forms.
// f(t) = a3 t^3 + (p0 - p1 - a3) t^2 + (p2 - p0) t + p1 with a3 = p3 - p2 - p0 + p1.
__attribute__((target("sse2"))) static inline __m128 pxm_cubic_ps(__m128 p0, __m128 p1, __m128 p2, __m128 p3, __m128 t,
                                                                 __m128 t2, __m128 t3)
{
    __m128 a3 = _mm_add_ps(_mm_sub_ps(_mm_sub_ps(p3, p2), p0), p1);
    __m128 b = _mm_sub_ps(_mm_sub_ps(p0, p1), a3);
    __m128 c = _mm_sub_ps(p2, p0);
    return _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(a3, t3), _mm_mul_ps(b, t2)), _mm_mul_ps(c, t)), p1);
}

// Rounded to the nearest integer (ties to even, the default rounding mode)
// and clamped to 0..255, as floats.
__attribute__((target("sse2"))) static inline __m128 pxm_round_clamp_ps(__m128 v)
{
    v = _mm_cvtepi32_ps(_mm_cvtps_epi32(v));
    return _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
}

// A float pixel (four lanes) rounded to nearest and packed with saturation.
__attribute__((target("sse2"))) static inline uint32_t pxm_pack_ps(__m128 v)
{
    __m128i r = _mm_cvtps_epi32(v);
    r = _mm_packs_epi32(r, r);
    return (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(r, r));
}

// Integer forms.
void pxm_four_int(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_box_int(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_bilinear_int(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_bicubic_row_int(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
uint32_t pxm_bicubic_int(const uint32_t *p, int32_t fx, int32_t fy);

// SSE2 forms; only called when pxm_cpu_level is 2 or more.
void pxm_four_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_box_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_bilinear_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_bicubic_row_sse2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
uint32_t pxm_bicubic_sse2(const uint32_t *p, int32_t fx, int32_t fy);

// SSSE3 forms (pxm_cpu_level 4 or more) and AVX2 forms (5): the SSE2 forms'
// results exactly.
void pxm_four_ssse3(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_bilinear_ssse3(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_box_ssse3(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_four_avx2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_box_avx2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_bilinear_avx2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);
void pxm_bicubic_row_avx2(const PxmStretch *c, int32_t x, int32_t n, uint32_t *out);

#endif
