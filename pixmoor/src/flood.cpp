// Scan-line flood fill of a 4-connected region, in flood mode (the region
// of the start pixel's colour) or boundary mode (everything up to a
// boundary colour).
//
// Each popped seed fills its whole horizontal run and pushes one seed per
// run of fillable neighbours above and below. The seed stack starts in the
// call's own storage and moves to a heap block of twice the capacity when
// it runs short, up to PXM_FLOOD_MAX_SEEDS entries.
#include "pxm_shapes.h"

#include <stdlib.h>
#include <string.h>

typedef struct PxmSeed {
    int32_t x, y;
} PxmSeed;

typedef struct PxmSeedStack {
    PxmSeed *seeds;
    int32_t count;
    int32_t capacity;
    bool on_heap;
} PxmSeedStack;

// Room for 16 entries beyond the current count, doubling the capacity when
// needed; false when the limit is reached or no memory is left.
static bool pxm_seed_room(PxmSeedStack *st)
{
    if (st->capacity - st->count >= 16)
        return true;
    if (st->capacity > PXM_FLOOD_MAX_SEEDS / 2)
        return false;
    PxmSeed *grown = (PxmSeed *)malloc((size_t)st->capacity * 2 * sizeof(PxmSeed));
    if (!grown)
        return false;
    memcpy(grown, st->seeds, (size_t)st->count * sizeof(PxmSeed));
    if (st->on_heap)
        free(st->seeds);
    st->seeds = grown;
    st->capacity *= 2;
    st->on_heap = true;
    return true;
}

static inline void pxm_seed_push(PxmSeedStack *st, int32_t x, int32_t y)
{
    st->seeds[st->count].x = x;
    st->seeds[st->count].y = y;
    st->count++;
}

int32_t pxm_flood_fill(PxmSurface *s, int32_t x, int32_t y, int32_t mode, uint32_t fill, uint32_t boundary,
                       int32_t *box)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_OK;
    if (box) {
        box[0] = box[2] = x;
        box[1] = box[3] = y;
    }
    if (!s || !s->pixels || x < 0 || y < 0 || x >= s->width || y >= s->height)
        return 0;
    const int32_t w = s->width, h = s->height;
    const size_t stride = (size_t)s->stride;
    const bool flood = (mode & 0xFF) == 0;
    const uint32_t start = s->pixels[(size_t)y * stride + (size_t)x];
    const uint32_t target = flood ? start : boundary;
    if (fill == target)
        return 0;
    // Starting on the boundary itself there is no region to fill.
    if (!flood && start == boundary)
        return 0;

    PxmSeed builtin[PXM_FLOOD_BUILTIN_SEEDS];
    PxmSeedStack st = {builtin, 0, PXM_FLOOD_BUILTIN_SEEDS, false};
    pxm_seed_push(&st, x, y);
    int32_t result = 0;
    bool cut_short = false;
    int32_t bl = x, bt = y, br = x, bb = y;

    while (st.count > 0 && !cut_short) {
        st.count--;
        int32_t sx = st.seeds[st.count].x, sy = st.seeds[st.count].y;
        sx = sx < 0 ? 0 : sx >= w ? w - 1 : sx;
        sy = sy < 0 ? 0 : sy >= h ? h - 1 : sy;
        uint32_t *row = s->pixels + (size_t)sy * stride;
        uint32_t *above = sy > 0 ? row - stride : nullptr;
        uint32_t *below = sy < h - 1 ? row + stride : nullptr;
        if (flood) {
            while (sx > 0 && row[sx - 1] == target)
                sx--;
        } else {
            while (sx > 0 && row[sx - 1] != boundary)
                sx--;
        }
        int32_t run_start = sx;
        bool up = false, down = false;
        while (sx < w && (flood ? row[sx] == target : row[sx] != boundary)) {
            row[sx] = fill;
            if (flood) {
                if (above) {
                    if (above[sx] != target)
                        up = false;
                    else if (!up) {
                        pxm_seed_push(&st, sx, sy - 1);
                        up = true;
                    }
                }
                if (below) {
                    if (below[sx] != target)
                        down = false;
                    else if (!down) {
                        pxm_seed_push(&st, sx, sy + 1);
                        down = true;
                    }
                }
            } else {
                if (above) {
                    uint32_t v = above[sx];
                    if (!up) {
                        if (v != boundary && v != fill) {
                            pxm_seed_push(&st, sx, sy - 1);
                            up = true;
                        }
                    } else if (v == boundary) {
                        up = false;
                    }
                }
                if (below) {
                    uint32_t v = below[sx];
                    if (!down) {
                        if (v != boundary && v != fill) {
                            pxm_seed_push(&st, sx, sy + 1);
                            down = true;
                        }
                    } else if (v == boundary) {
                        down = false;
                    }
                }
            }
            sx++;
            if (!pxm_seed_room(&st)) {
                cut_short = true;
                break;
            }
        }
        if (sx > run_start) {
            result = 1;
            bl = run_start < bl ? run_start : bl;
            br = sx - 1 > br ? sx - 1 : br;
            bt = sy < bt ? sy : bt;
            bb = sy > bb ? sy : bb;
        }
    }

    if (st.on_heap)
        free(st.seeds);
    if (box && result) {
        box[0] = bl;
        box[1] = bt;
        box[2] = br;
        box[3] = bb;
    }
    return cut_short ? -result : result;
}
