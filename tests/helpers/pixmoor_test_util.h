// Pieces shared by the graphics engine's test suites: reference pixel
// arithmetic written straight from the per-byte definitions, a small
// deterministic random generator, and memory surfaces that end (and start)
// at an inaccessible page so any stray access faults.
#pragma once
#include <windows.h>

#include <limits.h>
#include <stdint.h>
#include <string.h>

#include "pixmoor.h"

namespace pxt {

// floor(a / 256) for negative a as well.
inline int32_t floor256(int32_t a) { return a >= 0 ? a / 256 : -((-a + 255) / 256); }

inline uint32_t byte_of(uint32_t p, int k) { return (p >> (8 * k)) & 0xFF; }

// Each byte becomes s + floor((d - s) * t / 256).
inline uint32_t lerp_ref(uint32_t s, uint32_t d, int32_t t)
{
    uint32_t r = 0;
    for (int k = 0; k < 4; k++) {
        int32_t sk = (int32_t)byte_of(s, k), dk = (int32_t)byte_of(d, k);
        r |= (uint32_t)(sk + floor256((dk - sk) * t)) << (8 * k);
    }
    return r;
}

inline int32_t weight_ref(uint32_t p) { return (int32_t)(p >> 24) + (int32_t)(p >> 31); }

inline uint32_t mix_ref(uint32_t a, uint32_t b, int32_t f)
{
    uint32_t r = 0;
    for (int k = 0; k < 4; k++)
        r |= ((byte_of(a, k) * (uint32_t)(256 - f) + byte_of(b, k) * (uint32_t)f) / 256) << (8 * k);
    return r;
}

inline uint32_t over_ref(uint32_t d, uint32_t s)
{
    int32_t t = weight_ref(s);
    if (t == 0)
        return s;
    if (t == 256)
        return d;
    return lerp_ref(s & 0x00FFFFFF, d, t);
}

inline uint32_t behind_ref(uint32_t d, uint32_t s)
{
    int32_t c = 256 - weight_ref(d);
    if (c == 256)
        return d;
    if (c == 0)
        return s;
    return lerp_ref(s, d & 0x00FFFFFF, c);
}

inline uint32_t average_ref(uint32_t d, uint32_t s)
{
    int32_t c = (weight_ref(s) + weight_ref(d)) >> 1;
    if (c == 0)
        return s;
    if (c == 256)
        return d;
    return lerp_ref(s, d & 0x00FFFFFF, c);
}

// xorshift32: the same sequence on every run.
struct Rng {
    uint32_t state;
    explicit Rng(uint32_t seed) : state(seed ? seed : 1) {}
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int32_t range(int32_t lo, int32_t hi) { return lo + (int32_t)(next() % (uint32_t)(hi - lo + 1)); }
    // Pixels whose transparency bytes favour the special values 0 and 255.
    uint32_t pixel()
    {
        uint32_t c = next() & 0x00FFFFFF;
        switch (next() % 4) {
        case 0: return c;
        case 1: return c | 0xFF000000;
        default: return c | (next() << 24);
        }
    }
};

// A coordinate for the randomised suites: mostly near the surface, now and
// then far outside it or at the ends of the range.
inline int32_t random_coord(Rng &rng, int32_t size)
{
    static const int32_t extremes[] = {INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1, -1000000, 1000000,
                                       -655360, 655360,  -700000,     700000,      -65536,   65536};
    uint32_t pick = rng.next() % 100;
    if (pick < 3)
        return extremes[rng.next() % (sizeof(extremes) / sizeof(extremes[0]))];
    if (pick < 8)
        return rng.range(-4 * size - 10, 5 * size + 10);
    return rng.range(-size / 2 - 2, size + size / 2 + 2);
}

// An ordered pair of corners, now and then inverted; the usual length is up
// to reach * size + 4.
inline void random_span(Rng &rng, int32_t size, int32_t reach, int32_t *a, int32_t *b)
{
    *a = random_coord(rng, size);
    if (rng.next() % 100 < 3) {
        *b = *a - 1 - (int32_t)(rng.next() % 5);
        return;
    }
    uint32_t pick = rng.next() % 100;
    int64_t len;
    if (pick < 10)
        len = 0;
    else if (pick < 15)
        len = random_coord(rng, size) - (int64_t)*a;
    else
        len = rng.range(0, reach * size + 4);
    int64_t end = (int64_t)*a + (len < 0 ? -len : len);
    *b = end > INT_MAX ? INT_MAX : (int32_t)end;
}

// A PXM_KIND_MEMORY surface whose pixel block starts right after one
// inaccessible page and ends right before another.
struct GuardSurface {
    PxmSurface s;
    unsigned char *base;
    size_t total;
};

inline bool guard_make(GuardSurface *g, int32_t w, int32_t h, int32_t stride, bool end_aligned)
{
    const size_t page = 4096;
    size_t bytes = ((size_t)stride * (size_t)(h - 1) + (size_t)w) * 4;
    size_t data = (bytes + page - 1) / page * page;
    g->total = data + 2 * page;
    g->base = (unsigned char *)VirtualAlloc(nullptr, g->total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!g->base)
        return false;
    DWORD old;
    VirtualProtect(g->base, page, PAGE_NOACCESS, &old);
    VirtualProtect(g->base + page + data, page, PAGE_NOACCESS, &old);
    memset(&g->s, 0, sizeof(g->s));
    g->s.width = w;
    g->s.height = h;
    g->s.stride = stride;
    g->s.kind = PXM_KIND_MEMORY;
    g->s.depth = 32;
    g->s.pixels = (uint32_t *)(g->base + page + (end_aligned ? data - bytes : 0));
    return true;
}

inline void guard_free(GuardSurface *g)
{
    if (g->base)
        VirtualFree(g->base, 0, MEM_RELEASE);
    g->base = nullptr;
}

inline uint32_t &px(PxmSurface &s, int32_t x, int32_t y) { return s.pixels[(size_t)y * s.stride + x]; }

// Random pixels in each row, pad in the words between rows.
inline void fill_padded(Rng &rng, PxmSurface &s, uint32_t pad)
{
    for (int32_t y = 0; y < s.height; y++)
        for (int32_t x = 0; x < s.stride && (y < s.height - 1 || x < s.width); x++)
            s.pixels[(size_t)y * s.stride + x] = x < s.width ? rng.pixel() : pad;
}

// Random pixels in each row; the words between rows are left alone.
inline void fill_rows(Rng &rng, PxmSurface &s)
{
    for (int32_t y = 0; y < s.height; y++)
        for (int32_t x = 0; x < s.width; x++)
            s.pixels[(size_t)y * s.stride + x] = rng.pixel();
}

// Whether every word between rows still holds pad.
inline bool padding_intact(const PxmSurface &s, uint32_t pad)
{
    for (int32_t y = 0; y < s.height - 1; y++)
        for (int32_t x = s.width; x < s.stride; x++)
            if (s.pixels[(size_t)y * s.stride + x] != pad)
                return false;
    return true;
}

} // namespace pxt
