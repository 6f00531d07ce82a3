// Shared between the engine's implementation files: the global engine
// record, the surface checks the blits reuse, and the integer and SSE2
// forms of the pixel kernels.
#ifndef PXM_PRIVATE_H
#define PXM_PRIVATE_H

#include "pixmoor.h"

#include <stddef.h>

typedef HANDLE(WINAPI *PxmOpenThreadFn)(DWORD access, BOOL inherit, DWORD thread_id);

// What reading a DIB established: a DIB section's size, stride and pixels
// never change while it lives, so later operations on the same bitmap take
// them from here after the cheap handle checks instead of asking GDI again.
// Each thread's slot keeps its own few entries; an entry holds while the
// engine has created or freed no surface since (surfaces_changed: GDI hands
// a freed handle's value to a later bitmap), and its note that the engine
// left the DIB selected in a DC holds while no surface released its DC since
// (deselects).
typedef struct PxmDibFacts {
    HBITMAP bitmap;
    uint32_t *pixels;
    int32_t width, height, stride;
    LONG surfaces_changed;
    HDC selected_in;
    LONG deselects;
} PxmDibFacts;

#define PXM_FACTS_PER_THREAD 8

typedef struct PxmEngine {
    int32_t started;
    CRITICAL_SECTION table_lock;
    PxmOpenThreadFn open_thread;
    PxmThreadState *table;
    PxmDibFacts facts[PXM_THREAD_SLOTS][PXM_FACTS_PER_THREAD];
    volatile LONG surfaces_changed;
    volatile LONG deselects;
} PxmEngine;

extern PxmEngine pxm_engine;

// Which pixel forms run: SSE2 from level 2, the SSSE3 forms from 4, the AVX2
// forms at 5. A faster form gives exactly the SSE2 form's results.
static inline int pxm_use_sse2(void) { return pxm_cpu_level >= 2; }
static inline int pxm_use_ssse3(void) { return pxm_cpu_level >= 4; }
static inline int pxm_use_avx2(void) { return pxm_cpu_level >= 5; }

// Surface helpers.
bool pxm_record_readable(const PxmSurface *s);
bool pxm_memory_record_ok(const PxmSurface *s);
// The surface checks for callers that already hold the thread's state, so
// that one operation looks its slot up once.
bool pxm_validate_in(PxmThreadState *ts, PxmSurface *s);
// Selects the surface's DIB into its DC unless the engine knows it is there.
void pxm_select_dib(PxmThreadState *ts, PxmSurface *s);
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
// SSSE3 forms (level 4) and AVX2 forms (level 5); the same pixels as SSE2.
void pxm_over_span_ssse3(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_behind_span_ssse3(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_average_span_ssse3(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_over_span_avx2(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_behind_span_avx2(uint32_t *d, const uint32_t *s, int32_t n);
void pxm_average_span_avx2(uint32_t *d, const uint32_t *s, int32_t n);

// Rectangle mapping shared by the blits, the scaled blits and the raster
// operations: a fixed-point step and shift per axis.
typedef struct PxmAxis {
    int64_t step;
    int32_t shift;
} PxmAxis;

PxmAxis pxm_axis(int64_t dlen, int64_t slen);

static inline int64_t pxm_axis_source(const PxmAxis *a, int64_t s1, int64_t offset)
{
    return s1 + ((offset * a->step) >> a->shift);
}

static inline int64_t pxm_max64(int64_t a, int64_t b) { return a > b ? a : b; }
static inline int64_t pxm_min64(int64_t a, int64_t b) { return a < b ? a : b; }

enum { PXM_MAP_NOTHING, PXM_MAP_EMPTY, PXM_MAP_RUN };

typedef struct PxmMapping {
    PxmAxis cols;
    PxmAxis rows;
    int32_t start, end;   // destination columns drawn
    int32_t ystart, yend; // destination rows considered
    bool same_width;
} PxmMapping;

// PXM_MAP_NOTHING: the rectangles miss the surfaces; PXM_MAP_EMPTY: nothing
// remains after the column adjustments and the clip; PXM_MAP_RUN: columns
// start..end are drawn.
int pxm_map(PxmMapping *m, const PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
            const PxmSurface *src, int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags,
            const PxmThreadState *clip);
// Nearest-neighbour samples for n destination columns from offset x - x1.
void pxm_gather(uint32_t *out, const uint32_t *srow, int32_t sx1, const PxmAxis *a, int64_t offset, int32_t n);
bool pxm_rect_ok(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// Locks the destination, then the source (releasing the first when the
// second fails), writing the status stages; dst_fresh, src_fresh: the
// surface passed validation just before.
bool pxm_lock_pair(PxmThreadState *ts, PxmSurface *dst, bool dst_fresh, PxmSurface *src, bool src_fresh);
void pxm_unlock_pair(PxmThreadState *ts, PxmSurface *dst, PxmSurface *src);

// A blit's blend modes over runs: d[i] combined with s[i] for destination
// columns x.. of row y; mode is 0..5.
typedef struct PxmKernels {
    PxmSpanFn over, behind, average;
} PxmKernels;
void pxm_kernels(PxmKernels *k);
void pxm_blend_run(int mode, const PxmKernels *k, uint32_t *d, const uint32_t *s, int32_t n, int32_t x, int32_t y);

// Tile rows repeated over a rectangle (rows x n pixels from d).
void pxm_tile_rows_sse2(uint32_t *d, size_t dstride, int32_t rows, int32_t n, const uint32_t *tile,
                        size_t tstride, int32_t tile_w, int32_t tile_h, int32_t phase, int32_t k);

// Rows of n pixels copied one after the other.
void pxm_copy_rows_sse2(uint32_t *d, size_t dstride, const uint32_t *s, size_t sstride, int32_t rows, int32_t n);

// Block copies of n bytes.
void pxm_copy_bytes(void *dst, const void *src, size_t n);
void pxm_copy_bytes_sse2(void *dst, const void *src, size_t n);

#endif
