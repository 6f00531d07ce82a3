// Per-pixel blends and block copies: the integer forms and the dispatch to
// the SSE2 forms by processor level.
//
// Every blend is an interpolation floor((a * (256 - f) + b * f) / 256) per
// byte lane, which equals a + floor((b - a) * f / 256). Each lane product is
// at most 255 * 256, so two lanes fit in one 32-bit word without carries.
#include "pxm_private.h"

#include <string.h>

uint32_t pxm_mix_int(uint32_t a, uint32_t b, uint32_t f)
{
    uint32_t g = 256 - f;
    uint32_t rb = ((a & 0x00FF00FF) * g + (b & 0x00FF00FF) * f) >> 8;
    uint32_t ag = ((a >> 8) & 0x00FF00FF) * g + ((b >> 8) & 0x00FF00FF) * f;
    return (rb & 0x00FF00FF) | (ag & 0xFF00FF00);
}

void pxm_pixel_over_int(uint32_t *d, uint32_t s)
{
    uint32_t t = pxm_weight(s);
    if (t == 0)
        *d = s;
    else if (t != 256)
        *d = pxm_mix_int(s & 0x00FFFFFF, *d, t);
}

void pxm_pixel_behind_int(uint32_t *d, uint32_t s)
{
    uint32_t c = 256 - pxm_weight(*d);
    if (c == 0)
        *d = s;
    else if (c != 256)
        *d = pxm_mix_int(s, *d & 0x00FFFFFF, c);
}

void pxm_pixel_average_int(uint32_t *d, uint32_t s)
{
    uint32_t c = (pxm_weight(s) + pxm_weight(*d)) >> 1;
    if (c == 0)
        *d = s;
    else if (c != 256)
        *d = pxm_mix_int(s, *d & 0x00FFFFFF, c);
}

void pxm_over_span_int(uint32_t *d, const uint32_t *s, int32_t n)
{
    for (int32_t i = 0; i < n; i++)
        pxm_pixel_over_int(d + i, s[i]);
}

void pxm_behind_span_int(uint32_t *d, const uint32_t *s, int32_t n)
{
    for (int32_t i = 0; i < n; i++)
        pxm_pixel_behind_int(d + i, s[i]);
}

void pxm_average_span_int(uint32_t *d, const uint32_t *s, int32_t n)
{
    for (int32_t i = 0; i < n; i++)
        pxm_pixel_average_int(d + i, s[i]);
}

uint32_t pxm_mix(uint32_t a, uint32_t b, int32_t f)
{
    // Fractions beyond the ends would carry between lanes.
    uint32_t g = f < 0 ? 0 : f > 256 ? 256 : (uint32_t)f;
    return pxm_use_sse2() ? pxm_mix_sse2(a, b, g) : pxm_mix_int(a, b, g);
}

void pxm_pixel_over(uint32_t *d, uint32_t s)
{
    if (pxm_use_sse2())
        pxm_pixel_over_sse2(d, s);
    else
        pxm_pixel_over_int(d, s);
}

void pxm_pixel_behind(uint32_t *d, uint32_t s)
{
    if (pxm_use_sse2())
        pxm_pixel_behind_sse2(d, s);
    else
        pxm_pixel_behind_int(d, s);
}

void pxm_pixel_average(uint32_t *d, uint32_t s)
{
    if (pxm_use_sse2())
        pxm_pixel_average_sse2(d, s);
    else
        pxm_pixel_average_int(d, s);
}

void pxm_copy_bytes(void *dst, const void *src, size_t n)
{
    if (n < 32) {
        unsigned char *d = (unsigned char *)dst;
        const unsigned char *s = (const unsigned char *)src;
        while (n--)
            *d++ = *s++;
    } else if (pxm_use_sse2()) {
        pxm_copy_bytes_sse2(dst, src, n);
    } else {
        memmove(dst, src, n);
    }
}

void pxm_copy_span(uint32_t *dst_row, int32_t x1, int32_t x2, const uint32_t *src_base)
{
    if (x2 < x1)
        return;
    pxm_copy_bytes(dst_row + x1, src_base + x1, ((size_t)x2 - (size_t)x1 + 1) * 4);
}
