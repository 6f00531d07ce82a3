// Pixmoor: the player's software graphics engine. Plain functions over
// caller-owned surface records and a little state per calling thread.
//
// Pixels are 32-bit words 0xTTRRGGBB with straight colour; T is a
// transparency byte (0 opaque, 255 fully transparent). Rectangles are
// inclusive corner pairs x1, y1, x2, y2 with (0, 0) at the top left.
#ifndef PIXMOOR_H
#define PIXMOOR_H

#include <windows.h>
#include <stdint.h>

// Status codes left in the calling thread's state.
#define PXM_STATUS_OK 1
#define PXM_STATUS_BAD_SURFACE 2
#define PXM_STATUS_BAD_ARGS 3

// Operation flags (one shared bit set).
#define PXM_EXCLUSIVE 0x1
#define PXM_BLEND_MASK 0xF
#define PXM_CLIP 0x100
#define PXM_HIGH_QUALITY 0x200
#define PXM_MIRROR 0x400

// Blend modes, the low four bits of a blit's flags; 6 to 15 act as 0.
typedef enum PxmBlendMode {
    PXM_BLEND_OVER = 0,
    PXM_BLEND_BEHIND = 1,
    PXM_BLEND_AVERAGE = 2,
    PXM_BLEND_COLOR = 3,
    PXM_BLEND_CHECKER = 4,
    PXM_BLEND_ADD_TRANSPARENCY = 5
} PxmBlendMode;

// Surface kinds.
#define PXM_KIND_DIB 1
#define PXM_KIND_SECTION 2
#define PXM_KIND_MEMORY 4

// Surface creation and locking flags.
#define PXM_CREATE_SECTION 0x1
#define PXM_LOCK_NOCOUNT 0x10

// Maximum surface sizes.
#define PXM_MAX_SIDE 65536
#define PXM_MAX_PIXELS 100000000
#define PXM_MAX_SECTION_PIXELS 200000000

// Destination coordinates pxm_blit accepts (keeps fixed-point products in range).
#define PXM_BLIT_COORD_LIMIT 655360

#define PXM_THREAD_SLOTS 64

typedef struct PxmThreadState {
    uint32_t thread_id; // 0 = slot free
    int32_t clip_x1;
    int32_t clip_y1;
    int32_t clip_x2;
    int32_t clip_y2;
    int32_t status;
} PxmThreadState;

typedef struct PxmSurface {
    int32_t width;
    int32_t height;
    int32_t stride; // in pixels
    uint32_t *pixels;
    uint8_t kind;
    uint8_t depth;
    uint8_t lock_count;
    HDC dc;
    HBITMAP bitmap;
    HBITMAP default_bitmap;
    int32_t byte_size;
} PxmSurface;

// Engine context.
extern int32_t pxm_cpu_level; // 0 integer code, 2 SSE2, 3 SSE3, 4 SSSE3, 5 AVX2
extern uint32_t pxm_checker_pattern[256];

int32_t pxm_startup(int32_t flags);
int32_t pxm_shutdown(int32_t mode);
PxmThreadState *pxm_thread_state(void);
int32_t pxm_set_clip(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
int32_t pxm_set_checker(uint32_t colour_a, uint32_t colour_b);

// Surfaces.
int32_t pxm_surface_create(PxmSurface *s, int32_t width, int32_t height, uint32_t flags);
int32_t pxm_surface_free(PxmSurface *s, int32_t flags);
bool pxm_surface_is_live(PxmSurface *s);
bool pxm_surface_validate(PxmSurface *s, int32_t ignored);
uint32_t *pxm_surface_lock(PxmSurface *s, uint32_t flags);
int32_t pxm_surface_unlock(PxmSurface *s, int32_t ignored);
HDC pxm_surface_get_dc(PxmSurface *s, HDC *dc_out, HBITMAP *bitmap_out);
int32_t pxm_surface_release_dc(PxmSurface *s, HDC *dc_var);
int32_t pxm_surface_from_bitmap(PxmSurface *s, HBITMAP source);
int32_t pxm_surface_resize(PxmSurface *s, int32_t width, int32_t height, int32_t mode);
int32_t pxm_surface_copy(PxmSurface *dst, PxmSurface *src);

// Blits. Argument order: destination, x1, y1, x2, y2, source, sx1, sy1, sx2, sy2, flags.
int32_t pxm_copy(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                 PxmSurface *src, int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags);
int32_t pxm_blit(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                 PxmSurface *src, int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags);
int32_t pxm_tile(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                 PxmSurface *src, int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags);
int32_t pxm_blit_to_dc(HDC target, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       PxmSurface *src, int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t ignored);
void pxm_copy_span(uint32_t *dst_row, int32_t x1, int32_t x2, const uint32_t *src_base);

// Per-pixel helpers.
uint32_t pxm_mix(uint32_t a, uint32_t b, int32_t f);
void pxm_pixel_over(uint32_t *d, uint32_t s);
void pxm_pixel_behind(uint32_t *d, uint32_t s);
void pxm_pixel_average(uint32_t *d, uint32_t s);

// Scaled blits with filtering (same arguments as the blits): four-sample
// and box averages for shrinking, bilinear and bicubic interpolation for
// enlarging, chosen by the scale and PXM_HIGH_QUALITY. pxm_bicubic takes
// a 4 x 4 neighbourhood row by row and fractions 0..255.
int32_t pxm_stretch_copy(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, PxmSurface *src,
                         int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags);
int32_t pxm_stretch_blit(PxmSurface *dst, int32_t x1, int32_t y1, int32_t x2, int32_t y2, PxmSurface *src,
                         int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, uint32_t flags);
uint32_t pxm_bicubic(const uint32_t *pixels, int32_t fx, int32_t fy);

// Raster operations of pxm_blit_op and pxm_fill_rect_op.
typedef enum PxmRasterOp {
    PXM_ROP_COPY = 0,
    PXM_ROP_OR = 1,
    PXM_ROP_AND = 2,
    PXM_ROP_XOR = 3,
    PXM_ROP_ADD = 4,
    PXM_ROP_SUB = 5,
    PXM_ROP_BURN = 6,
    PXM_ROP_MULTIPLY = 7,
    PXM_ROP_SHIFT = 8,
    PXM_ROP_ADD_SIGNED = 9,
    PXM_ROP_HSL_COLOR = 10,
    PXM_ROP_YCC_COLOR = 11,
    PXM_ROP_YCC_LUMA = 12,
    PXM_ROP_SCREEN = 13,
    PXM_ROP_ALPHA_MASK = 14,
    PXM_ROP_CHECKER = 15
} PxmRasterOp;

// The source rectangle scaled onto the destination by nearest neighbour and
// combined pixel by pixel; flags: PXM_CLIP.
int32_t pxm_blit_op(PxmSurface *dst, int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2, PxmSurface *src,
                    int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2, int32_t op, uint32_t flags);
// One colour combined into a rectangle (corners in any order) of a locked
// surface; flags: PXM_EXCLUSIVE, PXM_CLIP. 1 when a pixel lay inside.
int32_t pxm_fill_rect_op(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t op,
                         uint32_t flags);

// Lines, rectangles, gradients, rounded rectangles and flood fill. None of
// these validates or locks the surface: the caller holds a lock. Colours
// are 0xTTRRGGBB; the blended forms lay them over the pixels with
// pxm_pixel_over and hand over to the opaque forms when T is 0.
int32_t pxm_draw_line(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, uint32_t flags);
int32_t pxm_draw_line_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
                            uint32_t flags);
int32_t pxm_fill_rect(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, uint32_t flags);
int32_t pxm_fill_rect_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
                            uint32_t flags);
int32_t pxm_draw_rect(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t thickness,
                      uint32_t colour, uint32_t flags);
int32_t pxm_draw_rect_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t thickness,
                            uint32_t colour, uint32_t flags);
void pxm_fill_span(uint32_t *row, int32_t x1, int32_t x2, uint32_t colour);
void pxm_blend_span(uint32_t *row, int32_t x1, int32_t x2, uint32_t colour);

int32_t pxm_draw_line_gradient(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t start,
                               uint32_t end, uint32_t flags);
int32_t pxm_draw_line_gradient_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t start,
                                     uint32_t end, uint32_t flags);
// c1 belongs to corner (x1, y1), c2 to (x2, y1), c3 to (x1, y2), c4 to (x2, y2), as passed.
int32_t pxm_fill_rect_gradient(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t c1,
                               uint32_t c2, uint32_t c3, uint32_t c4, uint32_t flags);
int32_t pxm_fill_rect_gradient_blend(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t c1,
                                     uint32_t c2, uint32_t c3, uint32_t c4, uint32_t flags);
int32_t pxm_fill_round_rect(PxmSurface *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t rx, int32_t ry,
                            uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, uint32_t flags);

// Flood fill: mode 0 (low byte) fills the start pixel's colour region,
// any other mode everything up to the boundary colour. box, when given,
// receives left, top, right, bottom of the changed pixels. Result 1 when
// pixels changed, 0 when nothing could be done, -1 when the seed stack
// reached its limit and the fill was cut short.
#define PXM_FLOOD_BUILTIN_SEEDS 4096
#define PXM_FLOOD_MAX_SEEDS 2097152
int32_t pxm_flood_fill(PxmSurface *s, int32_t x, int32_t y, int32_t mode, uint32_t fill, uint32_t boundary,
                       int32_t *box);

#endif
