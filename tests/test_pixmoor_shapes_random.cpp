// Randomised shapes: on surfaces that start and end at an inaccessible
// page no operation faults or touches the padding between rows, and the
// integer and SSE2 forms give identical pixels and results.
#include <gtest/gtest.h>

#include <limits.h>
#include <vector>

#include "pixmoor.h"
#include "pixmoor_image.h"
#include "pixmoor_test_util.h"

namespace {

enum {
    OP_LINE, OP_LINE_BLEND, OP_FILL, OP_FILL_BLEND, OP_RECT, OP_RECT_BLEND, OP_LINE_GRADIENT,
    OP_LINE_GRADIENT_BLEND, OP_RECT_GRADIENT, OP_RECT_GRADIENT_BLEND, OP_ROUND_RECT, OP_FLOOD, OP_COUNT
};

struct ShapeOp {
    int op;
    int32_t x1, y1, x2, y2, a, b;
    uint32_t c[4];
    uint32_t flags;
    int32_t clip[4];
};

int32_t coord(pxt::Rng &rng, int32_t size)
{
    static const int32_t extremes[] = {INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1, -1000000000, 1000000000,
                                       -65536,  65536,   -1,          0};
    uint32_t pick = rng.next() % 100;
    if (pick < 8)
        return extremes[rng.next() % (sizeof(extremes) / sizeof(extremes[0]))];
    if (pick < 20)
        return rng.range(-4 * size - 10, 5 * size + 10);
    return rng.range(-3, size + 2);
}

uint32_t colour(pxt::Rng &rng)
{
    return rng.next() % 4 == 0 ? 0x00FFFFFF : rng.pixel();
}

ShapeOp random_shape(pxt::Rng &rng, const PxmSurface &s)
{
    ShapeOp o;
    o.op = (int)(rng.next() % OP_COUNT);
    o.x1 = coord(rng, s.width);
    o.y1 = coord(rng, s.height);
    o.x2 = coord(rng, s.width);
    o.y2 = coord(rng, s.height);
    if (rng.next() % 8 == 0)
        o.x2 = o.x1;
    if (rng.next() % 8 == 0)
        o.y2 = o.y1;
    o.a = rng.next() % 10 == 0 ? coord(rng, s.width) : rng.range(-1, 9);
    o.b = rng.next() % 10 == 0 ? coord(rng, s.height) : rng.range(-1, 9);
    for (uint32_t &c : o.c)
        c = colour(rng);
    if (rng.next() % 3 == 0)
        o.c[1] = o.c[2] = o.c[3] = o.c[0];
    o.flags = (rng.next() % 2 ? PXM_EXCLUSIVE : 0) | (rng.next() % 2 ? PXM_CLIP : 0);
    for (int k = 0; k < 4; k++)
        o.clip[k] = coord(rng, k % 2 ? s.height : s.width);
    return o;
}

int32_t run_shape(const ShapeOp &o, PxmSurface *s)
{
    pxm_set_clip(o.clip[0], o.clip[1], o.clip[2], o.clip[3]);
    const uint32_t *c = o.c;
    switch (o.op) {
    case OP_LINE: return pxm_draw_line(s, o.x1, o.y1, o.x2, o.y2, c[0], o.flags);
    case OP_LINE_BLEND: return pxm_draw_line_blend(s, o.x1, o.y1, o.x2, o.y2, c[0], o.flags);
    case OP_FILL: return pxm_fill_rect(s, o.x1, o.y1, o.x2, o.y2, c[0], o.flags);
    case OP_FILL_BLEND: return pxm_fill_rect_blend(s, o.x1, o.y1, o.x2, o.y2, c[0], o.flags);
    case OP_RECT: return pxm_draw_rect(s, o.x1, o.y1, o.x2, o.y2, o.a, c[0], o.flags);
    case OP_RECT_BLEND: return pxm_draw_rect_blend(s, o.x1, o.y1, o.x2, o.y2, o.a, c[0], o.flags);
    case OP_LINE_GRADIENT: return pxm_draw_line_gradient(s, o.x1, o.y1, o.x2, o.y2, c[0], c[1], o.flags);
    case OP_LINE_GRADIENT_BLEND:
        return pxm_draw_line_gradient_blend(s, o.x1, o.y1, o.x2, o.y2, c[0], c[1], o.flags);
    case OP_RECT_GRADIENT: return pxm_fill_rect_gradient(s, o.x1, o.y1, o.x2, o.y2, c[0], c[1], c[2], c[3], o.flags);
    case OP_RECT_GRADIENT_BLEND:
        return pxm_fill_rect_gradient_blend(s, o.x1, o.y1, o.x2, o.y2, c[0], c[1], c[2], c[3], o.flags);
    case OP_ROUND_RECT:
        return pxm_fill_round_rect(s, o.x1, o.y1, o.x2, o.y2, o.a, o.b, c[0], c[1], c[2], c[3], o.flags);
    default: {
        int32_t box[4];
        return pxm_flood_fill(s, o.x1, o.y1, o.a & 1, c[0], s->width > 0 ? s->pixels[0] : 0, box) * 100 + box[0];
    }
    }
}

std::string describe(const ShapeOp &o, const PxmSurface &s)
{
    char buf[300];
    snprintf(buf, sizeof(buf), "op %d on %dx%d/%d (%d,%d)-(%d,%d) a %d b %d c %08x %08x %08x %08x flags %x clip %d,%d,%d,%d",
             o.op, s.width, s.height, s.stride, o.x1, o.y1, o.x2, o.y2, o.a, o.b, o.c[0], o.c[1], o.c[2], o.c[3],
             o.flags, o.clip[0], o.clip[1], o.clip[2], o.clip[3]);
    return buf;
}

class PixmoorShapesRandom : public pxt::SavedLevel {};

// Small images of few colours, so that flood fills find regions.
void paint(pxt::Rng &rng, PxmSurface &s, uint32_t pad)
{
    uint32_t palette[3] = {rng.pixel(), rng.pixel(), rng.pixel()};
    for (int32_t y = 0; y < s.height; y++)
        for (int32_t x = 0; x < s.stride && (y < s.height - 1 || x < s.width); x++)
            s.pixels[(size_t)y * s.stride + x] = x < s.width ? palette[rng.next() % 3 ? 0 : 1 + rng.next() % 2] : pad;
}

TEST_F(PixmoorShapesRandom, GuardPagesNeverFaultAndFormsAgree)
{
    pxt::Rng rng(20261209);
    const uint32_t pad = 0xA5A5A5A5;
    int changed = 0;
    const int rounds = 5000;
    for (int i = 0; i < rounds; i++) {
        int32_t w = rng.range(1, 90), h = rng.range(1, 40), stride = w + rng.range(0, 2);
        bool end_aligned = rng.next() % 2;
        pxt::GuardSurface g0, g2;
        ASSERT_TRUE(pxt::guard_make(&g0, w, h, stride, end_aligned));
        ASSERT_TRUE(pxt::guard_make(&g2, w, h, stride, end_aligned));
        paint(rng, g0.s, pad);
        size_t words = (size_t)stride * (h - 1) + w;
        memcpy(g2.s.pixels, g0.s.pixels, words * 4);
        std::vector<uint32_t> before(g0.s.pixels, g0.s.pixels + words);
        ShapeOp o = random_shape(rng, g0.s);

        pxm_cpu_level = 0;
        int32_t r0 = run_shape(o, &g0.s);
        pxm_cpu_level = saved;
        int32_t r2 = run_shape(o, &g2.s);
        ASSERT_EQ(r0, r2) << describe(o, g0.s);
        ASSERT_EQ(0, memcmp(g0.s.pixels, g2.s.pixels, words * 4)) << describe(o, g0.s);
        ASSERT_TRUE(pxt::padding_intact(g0.s, pad)) << describe(o, g0.s);
        changed += memcmp(before.data(), g0.s.pixels, words * 4) != 0;
        pxt::guard_free(&g0);
        pxt::guard_free(&g2);
    }
    // The generator is not degenerate: a good share of operations draw.
    EXPECT_GT(changed, rounds / 4);
}

// Large runs through both span forms, on a DIB surface the engine made.
TEST_F(PixmoorShapesRandom, LongRunsAgreeOnDibSurfaces)
{
    if (saved < 2)
        GTEST_SKIP() << "no SSE2";
    PxmSurface a, b;
    memset(&a, 0, sizeof(a));
    memset(&b, 0, sizeof(b));
    ASSERT_EQ(1, pxm_surface_create(&a, 517, 61, 0));
    ASSERT_EQ(1, pxm_surface_create(&b, 517, 61, 0));
    pxm_surface_lock(&a, 0);
    pxm_surface_lock(&b, 0);
    pxt::Rng rng(8);
    for (int i = 0; i < 517 * 61; i++)
        a.pixels[i] = b.pixels[i] = rng.pixel();
    for (int i = 0; i < 300; i++) {
        int32_t x1 = rng.range(-20, 530), y1 = rng.range(-5, 65), x2 = rng.range(-20, 530), y2 = rng.range(-5, 65);
        uint32_t c = rng.pixel();
        pxm_cpu_level = 0;
        int32_t r0 = i % 2 ? pxm_fill_rect_blend(&a, x1, y1, x2, y2, c, 0) : pxm_fill_rect(&a, x1, y1, x2, y2, c, 0);
        pxm_cpu_level = saved;
        int32_t r2 = i % 2 ? pxm_fill_rect_blend(&b, x1, y1, x2, y2, c, 0) : pxm_fill_rect(&b, x1, y1, x2, y2, c, 0);
        ASSERT_EQ(r0, r2);
        ASSERT_EQ(0, memcmp(a.pixels, b.pixels, 517 * 61 * 4)) << i;
    }
    pxm_surface_unlock(&a, 0);
    pxm_surface_unlock(&b, 0);
    pxm_surface_free(&a, 0);
    pxm_surface_free(&b, 0);
}

} // namespace
