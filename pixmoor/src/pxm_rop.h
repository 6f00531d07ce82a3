// Shared between the integer and SSE2 forms of the raster operations.
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

// Per-pixel rules the vector paths fall back on for the last pixels of a run.
uint32_t pxm_rop_add_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_sub_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_burn_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_multiply_pixel(uint32_t d, uint32_t s, bool sse2_rule);
uint32_t pxm_rop_add_signed_pixel(uint32_t d, uint32_t s);
uint32_t pxm_rop_screen_pixel(uint32_t d, uint32_t s, bool sse2_rule);

#endif
