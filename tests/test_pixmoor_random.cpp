// Randomised blits: the integer and SSE2 forms must give identical pixels
// and results; surfaces that end at an inaccessible page never fault and
// padding between rows is never touched; locks always balance.
#include <gtest/gtest.h>

#include <vector>

#include "pixmoor.h"
#include "pixmoor_image.h"
#include "pixmoor_test_util.h"

namespace {

enum { OP_COPY, OP_BLIT, OP_TILE };

struct RandomOp {
    int op;
    int32_t x1, y1, x2, y2, sx1, sy1, sx2, sy2;
    uint32_t flags;
    int32_t clip[4];
};

RandomOp random_op(pxt::Rng &rng, const PxmSurface &dst, const PxmSurface &src)
{
    RandomOp o;
    o.op = (int)(rng.next() % 3);
    pxt::random_span(rng, dst.width, 2, &o.x1, &o.x2);
    pxt::random_span(rng, dst.height, 2, &o.y1, &o.y2);
    pxt::random_span(rng, src.width, 2, &o.sx1, &o.sx2);
    pxt::random_span(rng, src.height, 2, &o.sy1, &o.sy2);
    o.flags = rng.next() & 0xF;
    if (rng.next() % 2)
        o.flags |= PXM_CLIP;
    if (rng.next() % 2)
        o.flags |= PXM_MIRROR;
    pxt::random_span(rng, dst.width, 2, &o.clip[0], &o.clip[2]);
    pxt::random_span(rng, dst.height, 2, &o.clip[1], &o.clip[3]);
    return o;
}

int32_t run_op(const RandomOp &o, PxmSurface *dst, PxmSurface *src)
{
    pxm_set_clip(o.clip[0], o.clip[1], o.clip[2], o.clip[3]);
    switch (o.op) {
    case OP_COPY: return pxm_copy(dst, o.x1, o.y1, o.x2, o.y2, src, o.sx1, o.sy1, o.sx2, o.sy2, o.flags);
    case OP_BLIT: return pxm_blit(dst, o.x1, o.y1, o.x2, o.y2, src, o.sx1, o.sy1, o.sx2, o.sy2, o.flags);
    default: return pxm_tile(dst, o.x1, o.y1, o.x2, o.y2, src, o.sx1, o.sy1, o.sx2, o.sy2, o.flags);
    }
}

std::string describe(const RandomOp &o, const PxmSurface &d, const PxmSurface &s)
{
    char buf[300];
    snprintf(buf, sizeof(buf), "op %d dst %dx%d/%d (%d,%d)-(%d,%d) src %dx%d/%d (%d,%d)-(%d,%d) flags %x clip %d,%d,%d,%d",
             o.op, d.width, d.height, d.stride, o.x1, o.y1, o.x2, o.y2, s.width, s.height, s.stride, o.sx1, o.sy1,
             o.sx2, o.sy2, o.flags, o.clip[0], o.clip[1], o.clip[2], o.clip[3]);
    return buf;
}

class PixmoorRandom : public pxt::SavedLevel {};

TEST_F(PixmoorRandom, IntegerAndSse2FormsAgree)
{
    if (saved < 2)
        GTEST_SKIP() << "no SSE2";
    pxt::Rng rng(20261208);
    int drawn = 0;
    const int rounds = 6000;
    for (int i = 0; i < rounds; i++) {
        int32_t dw = rng.range(1, 48), dh = rng.range(1, 40), sw = rng.range(1, 48), sh = rng.range(1, 40);
        pxt::Image d0(dw, dh, 0, dw + rng.range(0, 3)), s0(sw, sh, 0, sw + rng.range(0, 3));
        for (uint32_t &v : d0.block)
            v = rng.pixel();
        for (uint32_t &v : s0.block)
            v = rng.pixel();
        pxt::Image before = d0, d2 = d0;
        RandomOp o = random_op(rng, d0.s, s0.s);

        pxm_cpu_level = 0;
        int32_t r0 = run_op(o, &d0.s, &s0.s);
        int32_t st0 = pxm_thread_state()->status;
        pxm_cpu_level = 2;
        int32_t r2 = run_op(o, &d2.s, &s0.s);
        int32_t st2 = pxm_thread_state()->status;
        pxm_cpu_level = saved;

        ASSERT_EQ(r0, r2) << describe(o, d0.s, s0.s);
        ASSERT_EQ(st0, st2) << describe(o, d0.s, s0.s);
        ASSERT_TRUE(d0.block == d2.block) << describe(o, d0.s, s0.s);
        ASSERT_NO_FATAL_FAILURE(pxt::expect_faster_levels_agree(
            saved, before, d2, r2, [&](pxt::Image &d) { return run_op(o, &d.s, &s0.s); }, describe(o, d0.s, s0.s)));
        drawn += r0 == 1;
    }
    // Most operations do draw something: the generator is not degenerate.
    EXPECT_GT(drawn, rounds / 3);
}

// Rows wider than the random operations reach, at every offset from the
// row's start: runs of equal transparency bytes (1 to 16 long) give groups
// that are all opaque, all fully transparent or mixed, and over the rows
// every transparency byte meets every blend. Blends and the raster
// operations must agree with the SSE2 form at every faster level, and the
// blends and the colour-space operations with the integer form too.
TEST_F(PixmoorRandom, WideRowsAndEveryTransparencyAgreeAcrossLevels)
{
    if (saved < 2)
        GTEST_SKIP() << "no SSE2";
    pxt::Rng rng(5150);
    const int widths[] = {1, 7, 9, 17, 64, 255, 256, 301}, runs[] = {1, 4, 8, 16};
    for (int w : widths)
        for (int run : runs)
            for (int kind = 0; kind < 3; kind++) {
                int off = rng.range(0, 7);
                pxt::Image d(w, 4, 0, w + 1), s(w + off, 4);
                for (int y = 0; y < 4; y++)
                    for (int i = 0; i < w + off; i++) {
                        uint32_t k = (uint32_t)(i / run), t = kind == 1 ? (k & 1) * 255 : (k * 97 + y * 64) & 255;
                        if (kind == 2 && (k & 2))
                            t = 255 * (k & 1);
                        s.ref(i, y) = t << 24 | (rng.next() & 0x00FFFFFF);
                        if (i < w)
                            d.ref(i, y) = (uint32_t)((i * 59 + y * 7) & 255) << 24 | (rng.next() & 0x00FFFFFF);
                    }
                for (int op = 0; op < 3 + 2 * 14; op++) {
                    auto draw = [&](pxt::Image &m) {
                        if (op < 3)
                            return pxm_blit(&m.s, 0, 0, w - 1, 3, &s.s, off, 0, off + w - 1, 3, (uint32_t)op);
                        if (op < 17)
                            return pxm_blit_op(&m.s, 0, 0, w - 1, 3, &s.s, off, 0, off + w - 1, 3, op - 3, 0);
                        return pxm_fill_rect_op(&m.s, 0, 0, w - 1, 3, s.at(off, 1), op - 17, 0);
                    };
                    std::string what = "width " + std::to_string(w) + " run " + std::to_string(run) + " kind " +
                                       std::to_string(kind) + " op " + std::to_string(op);
                    pxt::Image d0 = d, d2 = d;
                    pxm_cpu_level = 0;
                    int32_t r0 = draw(d0);
                    pxm_cpu_level = 2;
                    int32_t r2 = draw(d2);
                    pxm_cpu_level = saved;
                    int rop = (op - 3) % 14;
                    if (op < 3 || (rop >= PXM_ROP_HSL_COLOR && rop <= PXM_ROP_YCC_LUMA)) {
                        ASSERT_TRUE(r0 == r2 && d0.block == d2.block) << what;
                    }
                    ASSERT_NO_FATAL_FAILURE(pxt::expect_faster_levels_agree(saved, d, d2, r2, draw, what));
                }
            }
}

// Every colour once as the source of each colour-space operation, over
// scattered destinations: the vector forms divide in floating point and must
// give the integer form's pixels for all of them.
TEST_F(PixmoorRandom, ColourSpaceFormsAgreeOverEverySourceColour)
{
    if (saved < 2)
        GTEST_SKIP() << "no SSE2";
    const int w = 4096, h = 128;
    pxt::Image src(w, h), dst(w, h);
    for (uint32_t base = 0; base < 1u << 24; base += w * h) {
        for (uint32_t i = 0; i < (uint32_t)(w * h); i++) {
            src.block[i] = (base + i) | (i * 167u) << 24;
            dst.block[i] = (base + i) * 2654435761u;
        }
        for (int op : {PXM_ROP_HSL_COLOR, PXM_ROP_YCC_COLOR, PXM_ROP_YCC_LUMA}) {
            auto draw = [&](pxt::Image &m) {
                return pxm_blit_op(&m.s, 0, 0, w - 1, h - 1, &src.s, 0, 0, w - 1, h - 1, op, 0);
            };
            pxt::Image d0 = dst, d2 = dst;
            pxm_cpu_level = 0;
            draw(d0);
            pxm_cpu_level = 2;
            int32_t r2 = draw(d2);
            pxm_cpu_level = saved;
            std::string what = "op " + std::to_string(op) + " from colour " + std::to_string(base);
            ASSERT_TRUE(d0.block == d2.block) << what;
            ASSERT_NO_FATAL_FAILURE(pxt::expect_faster_levels_agree(saved, dst, d2, r2, draw, what));
        }
    }
}

TEST_F(PixmoorRandom, GuardPagesNeverFaultAndPaddingStaysUntouched)
{
    pxt::Rng rng(777);
    const uint32_t pad = 0xA5A5A5A5;
    std::vector<int> levels = pxt::vector_levels(saved);
    levels.insert(levels.begin(), 0);
    for (int level : levels) {
        for (int i = 0; i < 3000; i++) {
            int32_t dw = rng.range(1, 70), dh = rng.range(1, 30), sw = rng.range(1, 70), sh = rng.range(1, 30);
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

TEST_F(PixmoorRandom, DibSurfacesBalanceLocksAndMatchMemorySurfaces)
{
    pxt::Rng rng(4242);
    PxmSurface dibs[4];
    int32_t sizes[4][2] = {{1, 1}, {17, 9}, {32, 32}, {45, 3}};
    for (int i = 0; i < 4; i++) {
        memset(&dibs[i], 0, sizeof(dibs[i]));
        ASSERT_EQ(1, pxm_surface_create(&dibs[i], sizes[i][0], sizes[i][1], i == 3 ? PXM_CREATE_SECTION : 0));
    }
    for (int i = 0; i < 1500; i++) {
        PxmSurface &d = dibs[rng.next() % 4];
        PxmSurface &s = dibs[rng.next() % 4];
        if (&d == &s)
            continue;
        // A lock held by the caller must stay held, and only that one.
        uint8_t held = (uint8_t)(rng.next() % 2);
        if (held)
            pxm_surface_lock(&d, 0);
        pxt::fill_rows(rng, d);
        pxt::fill_rows(rng, s);
        pxt::Image md = pxt::image_of(d), ms = pxt::image_of(s);
        RandomOp o = random_op(rng, d, s);
        int32_t r = run_op(o, &d, &s);
        ASSERT_EQ(held, d.lock_count) << describe(o, d, s);
        ASSERT_EQ(0, s.lock_count) << describe(o, d, s);
        if (held)
            pxm_surface_unlock(&d, 0);
        int32_t rm = run_op(o, &md.s, &ms.s);
        ASSERT_EQ(rm, r) << describe(o, d, s);
        ASSERT_EQ(0, memcmp(md.block.data(), d.pixels, md.block.size() * 4)) << describe(o, d, s);
    }
    for (PxmSurface &d : dibs)
        pxm_surface_free(&d, 0);
}

} // namespace
