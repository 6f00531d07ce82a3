// Shared between the engine's implementation files: the global engine
// record, the surface checks the blits reuse, and the integer and SSE2
// forms of the pixel kernels.
#ifndef PXM_PRIVATE_H
#define PXM_PRIVATE_H

#include "pixmoor.h"

#include <stddef.h>

typedef HANDLE(WINAPI *PxmOpenThreadFn)(DWORD access, BOOL inherit, DWORD thread_id);

typedef struct PxmEngine {
    int32_t started;
    CRITICAL_SECTION table_lock;
    PxmOpenThreadFn open_thread;
    PxmThreadState *table;
} PxmEngine;

extern PxmEngine pxm_engine;

static inline int pxm_use_sse2(void) { return pxm_cpu_level >= 2; }

// Surface helpers.
bool pxm_record_readable(const PxmSurface *s);
bool pxm_memory_record_ok(const PxmSurface *s);
// The surface checks for callers that already hold the thread's state, so
// that one operation looks its slot up once.
bool pxm_validate_in(PxmThreadState *ts, PxmSurface *s);
uint32_t *pxm_lock_in(PxmThreadState *ts, PxmSurface *s, uint32_t flags, bool fresh);
int32_t pxm_unlock_in(PxmThreadState *ts, PxmSurface *s);

// Transparency byte as a blend weight 0..256.
static inline uint32_t pxm_weight(uint32_t p)
{
    uint32_t t = p >> 24;
    return t + (t >> 7);
}

// Integer forms: two byte lanes at a time in 0x00FF00FF-masked words.
uint32_t pxm_mix_int(uint32_t a, uint32_t b, uint32_t f);
void pxm_pixel_over_int(uint32_t *d, uint32_t s);
void pxm_pixel_behind_int(uint32_t *d, uint32_t s);
void pxm_pixel_average_int(uint32_t *d, uint32_t s);

// SSE2 forms: 16-bit lanes. Only called when pxm_cpu_level is 2 or more.
uint32_t pxm_mix_sse2(uint32_t a, uint32_t b, uint32_t f);
void pxm_pixel_over_sse2(uint32_t *d, uint32_t s);
void pxm_pixel_behind_sse2(uint32_t *d, uint32_t s);
void pxm_pixel_average_sse2(uint32_t *d, uint32_t s);

// Runs of n pixels: d[i] combined with s[i].
typedef void (*PxmSpanFn)(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_over_span_int(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_behind_span_int(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_average_span_int(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_over_span_sse2(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_behind_span_sse2(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_average_span_sse2(uint32_t *d, const uint32_t *s, int32_t n);

// Block copies of n bytes.
void pxm_copy_bytes(void *dst, const void *src, size_t n);
void pxm_copy_bytes_sse2(void *dst, const void *src, size_t n);

#endif
