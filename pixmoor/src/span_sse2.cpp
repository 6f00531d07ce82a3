// SSE2 forms of the row helpers: a solid run written with aligned 16-byte
// stores, or with 8-byte non-temporal stores when the whole fill is larger
// than the last-level cache (the store changes no pixel, only where it goes),
// and a solid colour laid over a run two pixels at a time.
#include "pxm_shapes.h"

#include <emmintrin.h>
#include <stdlib.h>
#include <windows.h>

#define PXM_SSE2_MMX __attribute__((target("sse2,mmx")))
#define PXM_SSE2 __attribute__((target("sse2")))

// 8-byte streaming stores of a run of at least 32 pixels at a 4-byte
// aligned address: one pixel first when needed to reach 8-byte alignment,
// one last pixel for an odd remainder.
PXM_SSE2_MMX static inline void pxm_stream_run(uint32_t *p, int32_t n, __m64 v, uint32_t colour)
{
    if ((uintptr_t)p & 4) {
        *p++ = colour;
        n--;
    }
    __m64 *q = (__m64 *)p;
    int32_t pairs = n >> 1;
    int32_t i = 0;
    for (; i + 3 < pairs; i += 4) {
        _mm_stream_pi(q + i, v);
        _mm_stream_pi(q + i + 1, v);
        _mm_stream_pi(q + i + 2, v);
        _mm_stream_pi(q + i + 3, v);
    }
    for (; i < pairs; i++)
        _mm_stream_pi(q + i, v);
    if (n & 1)
        p[n - 1] = colour;
}

// Cached stores of a run at a 4-byte aligned address: single pixels up to
// 16-byte alignment, then four pixels per store.
PXM_SSE2 static inline void pxm_store_run(uint32_t *p, int32_t n, __m128i v, uint32_t colour)
{
    for (; n > 0 && ((uintptr_t)p & 15); n--)
        *p++ = colour;
    __m128i *q = (__m128i *)p;
    int32_t i = 0, quads = n >> 2;
    for (; i + 3 < quads; i += 4) {
        _mm_store_si128(q + i, v);
        _mm_store_si128(q + i + 1, v);
        _mm_store_si128(q + i + 2, v);
        _mm_store_si128(q + i + 3, v);
    }
    for (; i < quads; i++)
        _mm_store_si128(q + i, v);
    for (int32_t k = quads << 2; k < n; k++)
        p[k] = colour;
}

size_t pxm_cache_bytes(void)
{
    static size_t bytes;
    if (bytes)
        return bytes;
    size_t largest = 0;
    DWORD length = 0;
    GetLogicalProcessorInformation(nullptr, &length);
    SYSTEM_LOGICAL_PROCESSOR_INFORMATION *info = length ? (SYSTEM_LOGICAL_PROCESSOR_INFORMATION *)malloc(length) : nullptr;
    if (info && GetLogicalProcessorInformation(info, &length)) {
        for (DWORD i = 0; i < length / sizeof *info; i++)
            if (info[i].Relationship == RelationCache && info[i].Cache.Size > largest)
                largest = info[i].Cache.Size;
    }
    free(info);
    bytes = largest ? largest : (size_t)8 << 20;
    return bytes;
}

static bool pxm_fill_bypasses_cache(size_t pixels) { return pixels > pxm_cache_bytes() / 4; }

// Later reads must see the streamed stores (one fence per operation, not
// per row: a fence waits for the stores to reach memory), and x87 code
// may follow the MMX register use.
PXM_SSE2_MMX void pxm_fill_run_sse2(uint32_t *p, int32_t n, uint32_t colour)
{
    if (!pxm_fill_bypasses_cache((size_t)n)) {
        pxm_store_run(p, n, _mm_set1_epi32((int)colour), colour);
        return;
    }
    pxm_stream_run(p, n, _mm_set_pi32((int)colour, (int)colour), colour);
    _mm_sfence();
    _mm_empty();
}

PXM_SSE2_MMX void pxm_fill_rows_sse2(uint32_t *row, size_t stride, int32_t x1, int32_t x2, int32_t rows,
                                     uint32_t colour)
{
    int32_t n = x2 - x1 + 1;
    bool aligned = ((uintptr_t)row & 3) == 0;
    if (aligned && !pxm_fill_bypasses_cache((size_t)n * (size_t)rows)) {
        __m128i v = _mm_set1_epi32((int)colour);
        for (int32_t y = 0; y < rows; y++, row += stride)
            pxm_store_run(row + x1, n, v, colour);
        return;
    }
    if (n < 32 || !aligned) {
        for (int32_t y = 0; y < rows; y++, row += stride)
            pxm_fill_run_int(row + x1, n, colour);
        return;
    }
    __m64 v = _mm_set_pi32((int)colour, (int)colour);
    for (int32_t y = 0; y < rows; y++, row += stride)
        pxm_stream_run(row + x1, n, v, colour);
    _mm_sfence();
    _mm_empty();
}

// Each lane becomes (c * (256 - w) + d * w) >> 8 with the colour's share
// computed once; the sum stays below 65536, so 16-bit lanes are exact.
PXM_SSE2 void pxm_blend_run_sse2(uint32_t *p, int32_t n, uint32_t colour)
{
    uint32_t w = pxm_weight(colour);
    if (w == 0) {
        if (n >= 32 && ((uintptr_t)p & 3) == 0)
            pxm_fill_run_sse2(p, n, colour);
        else
            pxm_fill_run_int(p, n, colour);
        return;
    }
    if (w == 256)
        return;
    const __m128i zero = _mm_setzero_si128();
    __m128i c = _mm_unpacklo_epi8(_mm_set1_epi32((int)(colour & 0x00FFFFFF)), zero);
    __m128i share = _mm_mullo_epi16(c, _mm_set1_epi16((short)(256 - w)));
    __m128i wv = _mm_set1_epi16((short)w);
    int32_t i = 0;
    for (; i + 1 < n; i += 2) {
        __m128i d = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i *)(p + i)), zero);
        __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(d, wv), share), 8);
        _mm_storel_epi64((__m128i *)(p + i), _mm_packus_epi16(r, r));
    }
    if (i < n) {
        __m128i d = _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)p[i]), zero);
        __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(d, wv), share), 8);
        p[i] = (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(r, r));
    }
}

// Tiling: every destination row repeats one tile row, from tile column k,
// across n pixels; row i takes tile row (phase + i) mod tile_h. One call for
// the whole rectangle keeps small tiles (a 16-pixel skin texture) free of a
// call per tile repetition.
PXM_SSE2 void pxm_tile_rows_sse2(uint32_t *d, size_t dstride, int32_t rows, int32_t n, const uint32_t *tile,
                                 size_t tstride, int32_t tile_w, int32_t tile_h, int32_t phase, int32_t k)
{
    for (int32_t y = 0; y < rows; y++, d += dstride, phase = phase + 1 == tile_h ? 0 : phase + 1) {
        const uint32_t *t = tile + (size_t)phase * tstride;
        uint32_t *p = d;
        for (int32_t left = n, from = k; left > 0; from = 0) {
            int32_t m = tile_w - from < left ? tile_w - from : left;
            const uint32_t *s = t + from;
            int32_t i = 0;
            for (; i + 4 <= m; i += 4)
                _mm_storeu_si128((__m128i *)(p + i), _mm_loadu_si128((const __m128i *)(s + i)));
            for (; i < m; i++)
                p[i] = s[i];
            p += m;
            left -= m;
        }
    }
}

// Rows of n pixels from s to d, one after the other: short rows (the skin's
// small pieces) move 16 bytes at a time without a call per row, long rows go
// through the block copy.
PXM_SSE2 void pxm_copy_rows_sse2(uint32_t *d, size_t dstride, const uint32_t *s, size_t sstride, int32_t rows,
                                 int32_t n)
{
    for (int32_t y = 0; y < rows; y++, d += dstride, s += sstride) {
        if (n >= 64) {
            pxm_copy_bytes_sse2(d, s, (size_t)n * 4);
            continue;
        }
        int32_t i = 0;
        for (; i + 4 <= n; i += 4)
            _mm_storeu_si128((__m128i *)(d + i), _mm_loadu_si128((const __m128i *)(s + i)));
        for (; i < n; i++)
            d[i] = s[i];
    }
}
