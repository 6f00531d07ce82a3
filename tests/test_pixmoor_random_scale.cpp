// Randomised scaled blits and raster operations: the integer and SSE2 forms
// agree exactly where both compute the same rule (four-sample, bilinear and
// every level-independent raster operation), the box average within one per
// lane, bicubic within two on smooth pictures; surfaces that end at an
// inaccessible page never fault, and row padding is never touched.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <vector>

#include "pixmoor.h"
#include "pixmoor_image.h"
#include "pixmoor_test_util.h"

namespace {

enum { OP_STRETCH_COPY, OP_STRETCH_BLIT, OP_BLIT_OP, OP_FILL_OP, OP_COUNT };

struct RandomOp {
    int op;
    int32_t x1, y1, x2, y2, sx1, sy1, sx2, sy2;
    uint32_t flags;
    int32_t rop;
    uint32_t colour;
    int32_t clip[4];
};

RandomOp random_op(pxt::Rng &rng, const PxmSurface &dst, const PxmSurface &src)
{
    RandomOp o;
    o.op = (int)(rng.next() % OP_COUNT);
    pxt::random_span(rng, dst.width, 3, &o.x1, &o.x2);
    pxt::random_span(rng, dst.height, 3, &o.y1, &o.y2);
    pxt::random_span(rng, src.width, 3, &o.sx1, &o.sx2);
    pxt::random_span(rng, src.height, 3, &o.sy1, &o.sy2);
    o.flags = rng.next() & 0xF;
    if (rng.next() % 2)
        o.flags |= PXM_HIGH_QUALITY;
    if (rng.next() % 3 == 0)
        o.flags |= PXM_CLIP;
    if (rng.next() % 4 == 0)
        o.flags |= PXM_EXCLUSIVE;
    o.rop = (int32_t)(rng.next() % 18);
    o.colour = rng.pixel();
    pxt::random_span(rng, dst.width, 3, &o.clip[0], &o.clip[2]);
    pxt::random_span(rng, dst.height, 3, &o.clip[1], &o.clip[3]);
    return o;
}

int32_t run_op(const RandomOp &o, PxmSurface *dst, PxmSurface *src)
{
    pxm_set_clip(o.clip[0], o.clip[1], o.clip[2], o.clip[3]);
    switch (o.op) {
    case OP_STRETCH_COPY: return pxm_stretch_copy(dst, o.x1, o.y1, o.x2, o.y2, src, o.sx1, o.sy1, o.sx2, o.sy2, o.flags);
    case OP_STRETCH_BLIT: return pxm_stretch_blit(dst, o.x1, o.y1, o.x2, o.y2, src, o.sx1, o.sy1, o.sx2, o.sy2, o.flags);
    case OP_BLIT_OP:
        return pxm_blit_op(dst, o.x1, o.y1, o.x2, o.y2, src, o.sx1, o.sy1, o.sx2, o.sy2, o.rop, o.flags);
    default: return pxm_fill_rect_op(dst, o.x1, o.y1, o.x2, o.y2, o.colour, o.rop, o.flags);
    }
}

enum { SAME, WITHIN_ONE, BOX_BLIT, BICUBIC, LEVEL_RULE };

// How far the two forms may differ, from the filter choice and the
// operation table.
int expected_agreement(const RandomOp &o)
{
    if (o.op == OP_BLIT_OP || o.op == OP_FILL_OP)
        return o.rop == PXM_ROP_MULTIPLY || o.rop == PXM_ROP_SCREEN ? LEVEL_RULE : SAME;
    int64_t dw = (int64_t)o.x2 - o.x1 + 1, dh = (int64_t)o.y2 - o.y1 + 1;
    int64_t sw = (int64_t)o.sx2 - o.sx1 + 1, sh = (int64_t)o.sy2 - o.sy1 + 1;
    if ((dw == sw && dh == sh) || !(o.flags & PXM_HIGH_QUALITY))
        return SAME;
    bool shrinking = sw >= dw && sh >= dh;
    if (shrinking && (sw >= 2 * dw || sh >= 2 * dh))
        return o.op == OP_STRETCH_COPY ? WITHIN_ONE : BOX_BLIT;
    if (!shrinking && o.op == OP_STRETCH_BLIT && sw <= dw && sh <= dh)
        return SAME;
    return BICUBIC;
}

std::string describe(const RandomOp &o, const PxmSurface &d, const PxmSurface &s)
{
    char buf[360];
    snprintf(buf, sizeof(buf),
             "op %d dst %dx%d/%d (%d,%d)-(%d,%d) src %dx%d/%d (%d,%d)-(%d,%d) flags %x rop %d colour %08x clip %d,%d,%d,%d",
             o.op, d.width, d.height, d.stride, o.x1, o.y1, o.x2, o.y2, s.width, s.height, s.stride, o.sx1, o.sy1,
             o.sx2, o.sy2, o.flags, o.rop, o.colour, o.clip[0], o.clip[1], o.clip[2], o.clip[3]);
    return buf;
}

int max_lane_difference(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b)
{
    int worst = 0;
    for (size_t i = 0; i < a.size(); i++)
        for (int k = 0; k < 4; k++)
            worst = std::max(worst, abs((int)pxt::byte_of(a[i], k) - (int)pxt::byte_of(b[i], k)));
    return worst;
}

class ScaleRandom : public pxt::SavedLevel {};

TEST_F(ScaleRandom, IntegerAndSse2FormsAgree)
{
    if (saved < 2)
        GTEST_SKIP() << "no SSE2";
    pxt::Rng rng(5152026);
    int drawn = 0, compared[5] = {0, 0, 0, 0, 0};
    const int rounds = 8000;
    for (int i = 0; i < rounds; i++) {
        int32_t dw = rng.range(1, 40), dh = rng.range(1, 30), sw = rng.range(1, 40), sh = rng.range(1, 30);
        pxt::Image d0(dw, dh, 0, dw + rng.range(0, 3)), s0(sw, sh, 0, sw + rng.range(0, 3));
        for (uint32_t &v : d0.block)
            v = rng.pixel();
        for (uint32_t &v : s0.block)
            v = rng.pixel();
        pxt::Image before = d0, d2 = d0;
        RandomOp o = random_op(rng, d0.s, s0.s);
        int agreement = expected_agreement(o);
        pxm_cpu_level = 2;
        int32_t r2 = run_op(o, &d2.s, &s0.s);
        int32_t st2 = pxm_thread_state()->status;
        pxm_cpu_level = saved;
        // Every faster form gives exactly the SSE2 form's pixels, bicubic too.
        ASSERT_NO_FATAL_FAILURE(pxt::expect_faster_levels_agree(
            saved, before, d2, r2, [&](pxt::Image &d) { return run_op(o, &d.s, &s0.s); }, describe(o, d0.s, s0.s)));
        if (agreement == BICUBIC)
            continue; // the smooth-picture test below compares it with the integer form
        pxm_cpu_level = 0;
        int32_t r0 = run_op(o, &d0.s, &s0.s);
        int32_t st0 = pxm_thread_state()->status;
        pxm_cpu_level = saved;
        ASSERT_EQ(r0, r2) << describe(o, d0.s, s0.s);
        ASSERT_EQ(st0, st2) << describe(o, d0.s, s0.s);
        if (agreement == SAME) {
            ASSERT_TRUE(d0.block == d2.block) << describe(o, d0.s, s0.s);
        } else if (agreement == WITHIN_ONE) {
            ASSERT_LE(max_lane_difference(d0.block, d2.block), 1) << describe(o, d0.s, s0.s);
        }
        compared[agreement]++;
        drawn += r0 == 1;
    }
    EXPECT_GT(drawn, rounds / 3);
    EXPECT_GT(compared[SAME], rounds / 3);
    EXPECT_GT(compared[WITHIN_ONE], 50);
}

// A picture whose neighbouring pixels differ little per lane.
void fill_smooth(pxt::Image &b, pxt::Rng &rng)
{
    int base[4], dx[4], dy[4];
    for (int k = 0; k < 4; k++) {
        base[k] = rng.range(0, 255);
        dx[k] = rng.range(-3, 3);
        dy[k] = rng.range(-3, 3);
    }
    for (int32_t y = 0; y < b.s.height; y++)
        for (int32_t x = 0; x < b.s.stride; x++) {
            uint32_t p = 0;
            for (int k = 0; k < 4; k++) {
                int v = (base[k] + dx[k] * x + dy[k] * y) % 512;
                v = v < 0 ? v + 512 : v;
                p |= (uint32_t)(v > 255 ? 511 - v : v) << (8 * k);
            }
            b.block[(size_t)y * b.s.stride + x] = p;
        }
}

TEST_F(ScaleRandom, BicubicFormsAgreeOnSmoothPictures)
{
    if (saved < 2)
        GTEST_SKIP() << "no SSE2";
    pxt::Rng rng(616);
    int compared = 0;
    for (int i = 0; i < 3000; i++) {
        int32_t sw = rng.range(2, 30), sh = rng.range(2, 30);
        int32_t dw = rng.range(1, 45), dh = rng.range(1, 45);
        pxt::Image s0(sw, sh, 0, sw), d0(dw, dh, 0, dw);
        fill_smooth(s0, rng);
        for (uint32_t &v : d0.block)
            v = rng.next() & 0x00FFFFFF;
        pxt::Image d2 = d0;
        RandomOp o;
        memset(&o, 0, sizeof(o));
        o.op = OP_STRETCH_COPY;
        o.x2 = dw - 1;
        o.y2 = dh - 1;
        o.sx2 = sw - 1;
        o.sy2 = sh - 1;
        o.flags = PXM_HIGH_QUALITY;
        if (expected_agreement(o) != BICUBIC)
            continue;
        pxm_cpu_level = 0;
        ASSERT_EQ(1, run_op(o, &d0.s, &s0.s));
        pxm_cpu_level = 2;
        ASSERT_EQ(1, run_op(o, &d2.s, &s0.s));
        pxm_cpu_level = saved;
        // The horizontal passes may round one apart; the vertical kernel's
        // weights sum to at most 1.5 in magnitude, so after its own rounding
        // the forms stay within two.
        ASSERT_LE(max_lane_difference(d0.block, d2.block), 2) << describe(o, d0.s, s0.s);
        compared++;
    }
    EXPECT_GT(compared, 500);
}

TEST_F(ScaleRandom, WholeSurfaceBoxReductionsAgreeWithinOne)
{
    if (saved < 2)
        GTEST_SKIP() << "no SSE2";
    pxt::Rng rng(4711);
    for (int i = 0; i < 400; i++) {
        // Blocks from 2 to a few hundred pixels, narrow and wide, short and tall.
        int32_t dw = rng.range(1, 24), dh = rng.range(1, 24);
        int32_t sw = dw * rng.range(1, i % 4 == 0 ? 40 : 5) + rng.range(0, dw);
        int32_t sh = dh * rng.range(2, i % 8 == 0 ? 20 : 5) + rng.range(0, dh);
        if (i % 5 < 2) {
            // Exact halves and quarters.
            sw = dw * (i % 5 == 0 ? 4 : 2);
            sh = dh * (i % 5 == 0 ? 4 : 2);
        }
        // The source ends (or starts) at an inaccessible page.
        pxt::GuardSurface g;
        ASSERT_TRUE(pxt::guard_make(&g, sw, sh, sw + rng.range(0, 2), i % 2 == 0));
        for (int32_t y = 0; y < sh; y++)
            for (int32_t x = 0; x < sw; x++)
                g.s.pixels[(size_t)y * g.s.stride + x] = rng.next();
        pxt::Image d0(dw, dh, 0, dw);
        pxt::Image before = d0, d2 = d0;
        auto reduce = [&](pxt::Image &d) {
            return pxm_stretch_copy(&d.s, 0, 0, dw - 1, dh - 1, &g.s, 0, 0, sw - 1, sh - 1, PXM_HIGH_QUALITY);
        };
        pxm_cpu_level = 0;
        ASSERT_EQ(1, reduce(d0));
        pxm_cpu_level = 2;
        ASSERT_EQ(1, reduce(d2));
        pxm_cpu_level = saved;
        ASSERT_NO_FATAL_FAILURE(pxt::expect_faster_levels_agree(saved, before, d2, 1, reduce, "whole-surface box"));
        pxt::guard_free(&g);
        ASSERT_LE(max_lane_difference(d0.block, d2.block), 1) << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
}

// Rows wider than the random suite's reach: blends sampled in chunks from
// columns past the first, and long vector runs at every ratio.
TEST_F(ScaleRandom, WideRowsAgreeAtEveryLevel)
{
    if (saved < 4)
        GTEST_SKIP() << "no SSSE3";
    pxt::Rng rng(8128);
    for (int i = 0; i < 120; i++) {
        int32_t dw = rng.range(150, 700), sw = rng.range(150, 700), dh = rng.range(1, 6), sh = rng.range(1, 12);
        pxt::Image before(dw, dh, 0, dw), s0(sw, sh, 0, sw + rng.range(0, 3));
        for (uint32_t &v : s0.block)
            v = rng.pixel();
        RandomOp o = random_op(rng, before.s, s0.s);
        o.op = i % 2 ? OP_STRETCH_BLIT : OP_STRETCH_COPY;
        if (i % 4 < 2) {
            // Nearly whole rows, edges a few pixels in or out.
            o.x1 = rng.range(-4, 4), o.x2 = dw - 1 + rng.range(-4, 4);
            o.sx1 = rng.range(-4, 4), o.sx2 = sw - 1 + rng.range(-4, 4);
        }
        pxt::Image d2 = before;
        pxm_cpu_level = 2;
        int32_t r2 = run_op(o, &d2.s, &s0.s);
        pxm_cpu_level = saved;
        ASSERT_NO_FATAL_FAILURE(pxt::expect_faster_levels_agree(
            saved, before, d2, r2, [&](pxt::Image &d) { return run_op(o, &d.s, &s0.s); }, describe(o, before.s, s0.s)));
    }
}

TEST_F(ScaleRandom, GuardPagesNeverFaultAndPaddingStaysUntouched)
{
    pxt::Rng rng(9090);
    const uint32_t pad = 0xA5A5A5A5;
    std::vector<int> levels = pxt::vector_levels(saved);
    levels.insert(levels.begin(), 0);
    for (int level : levels) {
        for (int i = 0; i < 4000; i++) {
            int32_t dw = rng.range(1, 50), dh = rng.range(1, 24), sw = rng.range(1, 50), sh = rng.range(1, 24);
            pxt::GuardSurface d, s;
            ASSERT_TRUE(pxt::guard_make(&d, dw, dh, dw + rng.range(0, 2), rng.next() % 2));
            ASSERT_TRUE(pxt::guard_make(&s, sw, sh, sw + rng.range(0, 2), rng.next() % 2));
            pxt::fill_padded(rng, d.s, pad);
            pxt::fill_rows(rng, s.s);
            RandomOp o = random_op(rng, d.s, s.s);
            pxm_cpu_level = level;
            run_op(o, &d.s, &s.s);
            pxm_cpu_level = saved;
            ASSERT_TRUE(pxt::padding_intact(d.s, pad)) << describe(o, d.s, s.s);
            pxt::guard_free(&d);
            pxt::guard_free(&s);
        }
    }
}

TEST_F(ScaleRandom, DibSurfacesBalanceLocksAndMatchMemorySurfaces)
{
    pxt::Rng rng(2718);
    PxmSurface dibs[3];
    int32_t sizes[3][2] = {{1, 1}, {19, 7}, {33, 21}};
    for (int i = 0; i < 3; i++) {
        memset(&dibs[i], 0, sizeof(dibs[i]));
        ASSERT_EQ(1, pxm_surface_create(&dibs[i], sizes[i][0], sizes[i][1], 0));
    }
    for (int i = 0; i < 1200; i++) {
        PxmSurface &d = dibs[rng.next() % 3];
        PxmSurface &s = dibs[rng.next() % 3];
        if (&d == &s)
            continue;
        pxt::fill_rows(rng, d);
        pxt::fill_rows(rng, s);
        pxt::Image md = pxt::image_of(d), ms = pxt::image_of(s);
        RandomOp o = random_op(rng, d, s);
        int32_t r = run_op(o, &d, &s);
        ASSERT_EQ(0, d.lock_count) << describe(o, d, s);
        ASSERT_EQ(0, s.lock_count) << describe(o, d, s);
        int32_t rm = run_op(o, &md.s, &ms.s);
        ASSERT_EQ(rm, r) << describe(o, d, s);
        ASSERT_EQ(0, memcmp(md.block.data(), d.pixels, md.block.size() * 4)) << describe(o, d, s);
    }
    for (PxmSurface &d : dibs)
        pxm_surface_free(&d, 0);
}

} // namespace
