// Gradient lines and rectangles, and anti-aliased rounded rectangles:
// exact fractions, the fade bands, sub-sample coverage of the corners, the
// clip column, and the x87 control word around the corner arithmetic.
#include <gtest/gtest.h>

#include <limits.h>

#include "pixmoor.h"
#include "pixmoor_image.h"
#include "pixmoor_test_util.h"

namespace {

using pxt::Image;

class PixmoorGradient : public pxt::Levels {};
INSTANTIATE_TEST_SUITE_P(Forms, PixmoorGradient, ::testing::Values(0, 2, 4, 5));

TEST_P(PixmoorGradient, OpaqueAndBlendedColumnFractions)
{
    // Transparency runs 0 -> 255; the opaque form stores it, so the row
    // shows fx = 0, 85, 170, 255 as 255 * fx / 256.
    Image im(4, 1, 0x00FFFFFF);
    EXPECT_EQ(1, pxm_fill_rect_gradient(&im.s, 0, 0, 3, 0, 0x00000000, 0xFF000000, 0x00000000, 0xFF000000, 0));
    EXPECT_EQ(0x00000000u, im.at(0, 0));
    EXPECT_EQ(0x54000000u, im.at(1, 0));
    EXPECT_EQ(0xA9000000u, im.at(2, 0));
    EXPECT_EQ(0xFE000000u, im.at(3, 0));
    // The blended form has fx = 0, 85, 170, 256 and lays black over white:
    // the last column is fully transparent and leaves the white.
    Image b(4, 1, 0x00FFFFFF);
    EXPECT_EQ(1, pxm_fill_rect_gradient_blend(&b.s, 0, 0, 3, 0, 0x00000000, 0xFF000000, 0x00000000, 0xFF000000, 0));
    EXPECT_EQ(0x00000000u, b.at(0, 0));
    EXPECT_EQ(0x00535353u, b.at(1, 0));
    EXPECT_EQ(0x00A9A9A9u, b.at(2, 0));
    EXPECT_EQ(0x00FFFFFFu, b.at(3, 0));
}

TEST_P(PixmoorGradient, FadeBandRows)
{
    Image im(320, 270, 0x00FFFFFF);
    EXPECT_EQ(1, pxm_fill_rect_gradient_blend(&im.s, 0, 96, 319, 116, 0x00000000, 0x00000000, 0xFF000000,
                                              0xFF000000, 0));
    for (int x = 0; x < 320; x++) {
        ASSERT_EQ(0x00000000u, im.at(x, 96)) << x;
        ASSERT_EQ(0x00FFFFFFu, im.at(x, 116)) << x;
        ASSERT_EQ(0x00FFFFFFu, im.at(x, 95)) << x;
        ASSERT_EQ(0x00FFFFFFu, im.at(x, 117)) << x;
        // Row 106: fy = 128, transparency 127, weight 127: 255 * 127 / 256 = 126.
        ASSERT_EQ(0x007E7E7Eu, im.at(x, 106)) << x;
        for (int y = 97; y <= 116; y++)
            ASSERT_EQ(im.at(0, y), im.at(x, y)) << x << "," << y;
    }
    for (int y = 97; y <= 116; y++)
        EXPECT_GT(im.at(0, y) & 0xFF, im.at(0, y - 1) & 0xFF) << y;
}

TEST_P(PixmoorGradient, GradientLinePointAndEnds)
{
    const uint32_t a = 0x00102030, b = 0x80F0E0D0;
    Image im(12, 8);
    EXPECT_EQ(1, pxm_draw_line_gradient(&im.s, 0, 0, 0, 0, a, b, 0));
    EXPECT_EQ(pxt::mix_ref(a, b, 128), im.at(0, 0));
    EXPECT_EQ(11, pxm_draw_line_gradient(&im.s, 10, 5, 0, 5, a, b, 0));
    EXPECT_EQ(a, im.at(10, 5));
    EXPECT_EQ(b, im.at(0, 5));
    EXPECT_EQ(pxt::mix_ref(a, b, 128), im.at(5, 5));
    EXPECT_EQ(pxt::mix_ref(a, b, 3 * 256 / 10), im.at(7, 5));
    // x-major (0,0)-(4,2): f = k * 256 / 4 reaches the end colour exactly.
    Image g(6, 4);
    EXPECT_EQ(5, pxm_draw_line_gradient(&g.s, 0, 1, 4, 3, a, b, 0));
    const int ys[5] = {1, 1, 2, 2, 3};
    for (int k = 0; k < 5; k++)
        EXPECT_EQ(pxt::mix_ref(a, b, k * 64), g.at(k, ys[k])) << k;
    // Vertical, upwards.
    Image v(2, 9);
    EXPECT_EQ(9, pxm_draw_line_gradient(&v.s, 1, 8, 1, 0, a, b, 0));
    for (int y = 0; y <= 8; y++)
        EXPECT_EQ(pxt::mix_ref(a, b, ((y - 8) * 256) / -8), v.at(1, y)) << y;
}

TEST_P(PixmoorGradient, GradientLineFollowsThePlainLine)
{
    Image plain(20, 20), grad(20, 20);
    int32_t ends[][4] = {{0, 0, 19, 7}, {-5, 3, 30, 12}, {18, -4, 2, 25}, {3, 3, 3, 3}, {-2, 9, 40, 9}};
    for (auto &e : ends) {
        int32_t r1 = pxm_draw_line(&plain.s, e[0], e[1], e[2], e[3], 0x00FFFFFF, 0);
        int32_t r2 = pxm_draw_line_gradient(&grad.s, e[0], e[1], e[2], e[3], 0x00000001, 0x00FFFFFF, 0);
        EXPECT_EQ(r1, r2);
    }
    for (int i = 0; i < 400; i++)
        ASSERT_EQ(plain.block[i] != 0, grad.block[i] != 0) << i;
    // Equal colours draw the plain line; a blended gradient of two opaque
    // colours is the opaque gradient.
    Image eq(20, 20), blended(20, 20);
    EXPECT_EQ(20, pxm_draw_line_gradient(&eq.s, 0, 0, 19, 7, 0x40FFFFFF, 0x40FFFFFF, 0));
    EXPECT_EQ(20, eq.count(0x40FFFFFF));
    EXPECT_EQ(20, pxm_draw_line_gradient_blend(&blended.s, 0, 0, 19, 7, 0x00000001, 0x00FFFFFF, 0));
    Image opaque(20, 20);
    pxm_draw_line_gradient(&opaque.s, 0, 0, 19, 7, 0x00000001, 0x00FFFFFF, 0);
    EXPECT_TRUE(opaque.block == blended.block);
}

TEST_P(PixmoorGradient, GradientLineBlend)
{
    Image im(9, 2, 0x00FFFFFF);
    EXPECT_EQ(9, pxm_draw_line_gradient_blend(&im.s, 0, 1, 8, 1, 0x00000000, 0xFF000000, 0));
    for (int x = 0; x <= 8; x++)
        EXPECT_EQ(pxt::over_ref(0x00FFFFFF, pxt::mix_ref(0x00000000, 0xFF000000, x * 32)), im.at(x, 1)) << x;
    // Row 0 and the fully transparent end stay white.
    EXPECT_EQ(10, im.count(0x00FFFFFF));
}

TEST_P(PixmoorGradient, RectCornersAsPassed)
{
    const uint32_t c1 = 0x00FF0000, c2 = 0x0000FF00, c3 = 0x000000FF, c4 = 0x00FFFFFF;
    // Swapped corners: c1 still belongs to (x1, y1) = (4, 4).
    Image im(5, 5);
    EXPECT_EQ(1, pxm_fill_rect_gradient(&im.s, 4, 4, 0, 0, c1, c2, c3, c4, 0));
    EXPECT_EQ(c1, im.at(4, 4));
    EXPECT_EQ(c2, im.at(0, 4));
    EXPECT_EQ(c3, im.at(4, 0));
    EXPECT_EQ(c4, im.at(0, 0));
    // 65536 / 4 steps evenly: the middle is the mean of all four.
    EXPECT_EQ(pxt::mix_ref(pxt::mix_ref(c1, c3, 128), pxt::mix_ref(c2, c4, 128), 128), im.at(2, 2));
}

TEST_P(PixmoorGradient, OneColumnAndOneRowUseTheMidpoint)
{
    const uint32_t c1 = 0x00000000, c2 = 0x00FFFFFF, c3 = 0x00FF0000, c4 = 0x0000FF00;
    Image im(6, 6);
    EXPECT_EQ(1, pxm_fill_rect_gradient(&im.s, 2, 0, 2, 4, c1, c2, c3, c4, 0));
    for (int y = 0; y <= 4; y++) {
        uint32_t l = pxt::mix_ref(c1, c3, y * 64), r = pxt::mix_ref(c2, c4, y * 64);
        EXPECT_EQ(pxt::mix_ref(l, r, 128), im.at(2, y)) << y;
    }
    EXPECT_EQ(1, pxm_fill_rect_gradient(&im.s, 0, 5, 5, 5, c1, c2, c3, c4, 0));
    // One row: fy = 128; 65536 / 5 steps leave the last column at fx = 255.
    uint32_t l = pxt::mix_ref(c1, c3, 128), r = pxt::mix_ref(c2, c4, 128);
    EXPECT_EQ(l, im.at(0, 5));
    EXPECT_EQ(pxt::mix_ref(l, r, 255), im.at(5, 5));
    EXPECT_EQ(pxt::mix_ref(l, r, (2 * 13107) >> 8), im.at(2, 5));
}

TEST_P(PixmoorGradient, EqualCornersAreAPlainFill)
{
    Image a(7, 7, 0x00445566), b(7, 7, 0x00445566);
    EXPECT_EQ(1, pxm_fill_rect_gradient(&a.s, 1, 1, 5, 5, 0x80123456, 0x80123456, 0x80123456, 0x80123456, 0));
    EXPECT_EQ(1, pxm_fill_rect(&b.s, 1, 1, 5, 5, 0x80123456, 0));
    EXPECT_TRUE(a.block == b.block);
    EXPECT_EQ(25, a.count(0x80123456));
    // All opaque: the blended form stores too.
    Image c(7, 7);
    EXPECT_EQ(1, pxm_fill_rect_gradient_blend(&c.s, 0, 0, 6, 6, 0x00000000, 0x00FFFFFF, 0x00000000, 0x00FFFFFF, 0));
    Image d(7, 7);
    pxm_fill_rect_gradient(&d.s, 0, 0, 6, 6, 0x00000000, 0x00FFFFFF, 0x00000000, 0x00FFFFFF, 0);
    EXPECT_TRUE(c.block == d.block);
}

TEST_P(PixmoorGradient, RectFlagsAndFarCorners)
{
    Image im(8, 8);
    EXPECT_EQ(0, pxm_fill_rect_gradient(&im.s, 8, 0, 100, 7, 1, 2, 3, 4, 0));
    EXPECT_EQ(0, pxm_fill_rect_gradient_blend(&im.s, -100, -100, -1, 7, 0x10000001, 2, 3, 4, 0));
    EXPECT_EQ(64, im.count(0));
    EXPECT_EQ(1, pxm_fill_rect_gradient(&im.s, 0, 0, 4, 4, 0x00000001, 0x00000002, 0x00000003, 0x00000004,
                                        PXM_EXCLUSIVE));
    EXPECT_EQ(48, im.count(0));
    EXPECT_EQ(0u, im.at(4, 0));
    pxm_set_clip(6, 6, 7, 7);
    EXPECT_EQ(1, pxm_fill_rect_gradient_blend(&im.s, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0x80FFFFFF, 0x80FFFFFF,
                                              0x80000000, 0x80000000, PXM_CLIP));
    pxm_set_clip(0, 0, 0, 0);
    EXPECT_EQ(44, im.count(0));
    // Spanning 2^32 rows, the fraction at row 6 is 128.
    EXPECT_EQ(pxt::over_ref(0, pxt::mix_ref(0x80FFFFFF, 0x80000000, 128)), im.at(6, 6));
}

// --- Rounded rectangles ---------------------------------------------------

uint16_t fpu_control()
{
    uint16_t cw;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    return cw;
}

void fpu_load(uint16_t cw) { __asm__ __volatile__("fldcw %0" : : "m"(cw)); }

// Lane value of white laid over black with a coverage of n / 64.
uint32_t grey(int n)
{
    uint32_t v = (255u * 4 * n) >> 8;
    return v | v << 8 | v << 16;
}

TEST_P(PixmoorGradient, RoundRectNeedsTwoColumnsAndRows)
{
    Image im(10, 10);
    EXPECT_EQ(0, pxm_fill_round_rect(&im.s, 3, 0, 3, 9, 2, 2, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0));
    EXPECT_EQ(0, pxm_fill_round_rect(&im.s, 0, 5, 9, 5, 2, 2, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0));
    EXPECT_EQ(100, im.count(0));
    EXPECT_EQ(PXM_STATUS_OK, pxm_thread_state()->status);
}

TEST_P(PixmoorGradient, RoundRectCornerCoverage)
{
    const uint32_t W = 0x00FFFFFF;
    Image im(10, 10);
    EXPECT_EQ(1, pxm_fill_round_rect(&im.s, 0, 0, 9, 9, 4, 4, W, W, W, W, 0));
    // The arc at radius 32 sub-samples, worked out per sub-row: the corner
    // pixel has no sample inside, its neighbours along the edges 8 and the
    // diagonal neighbour 58; the four corners mirror one another.
    const int corner[2][2] = {{0, 8}, {8, 58}};
    for (int cy = 0; cy < 2; cy++)
        for (int cx = 0; cx < 2; cx++) {
            uint32_t want = grey(corner[cy][cx]);
            EXPECT_EQ(want, im.at(cx, cy)) << cx << "," << cy;
            EXPECT_EQ(want, im.at(9 - cx, cy)) << cx << "," << cy;
            EXPECT_EQ(want, im.at(cx, 9 - cy)) << cx << "," << cy;
            EXPECT_EQ(want, im.at(9 - cx, 9 - cy)) << cx << "," << cy;
        }
    for (int i = 4; i <= 5; i++) {
        EXPECT_EQ(W, im.at(i, 0));
        EXPECT_EQ(W, im.at(0, i));
        EXPECT_EQ(W, im.at(i, 9));
        EXPECT_EQ(W, im.at(9, i));
    }
    for (int y = 2; y <= 7; y++)
        for (int x = 2; x <= 7; x++)
            ASSERT_EQ(W, im.at(x, y)) << x << "," << y;
    // Every pixel is a grey step of 1/64, opaque.
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++) {
            bool step = false;
            for (int n = 0; n <= 64; n++)
                step |= im.at(x, y) == (n == 64 ? W : grey(n));
            ASSERT_TRUE(step) << x << "," << y << " " << std::hex << im.at(x, y);
        }
}

TEST_P(PixmoorGradient, RoundRectGradientAndSquareCorners)
{
    // Radii of 0 draw square corners: every pixel fully covered.
    Image im(10, 10, 0x00FF00FF);
    EXPECT_EQ(1, pxm_fill_round_rect(&im.s, 0, 0, 9, 9, 0, 0, 0x00000000, 0x00FFFFFF, 0x00000000, 0x00FFFFFF, 0));
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++) {
            // fx = x * 2048 / 79, the same on every row.
            uint32_t v = (255u * (uint32_t)(x * 2048 / 79)) >> 8;
            ASSERT_EQ(v | v << 8 | v << 16, im.at(x, y)) << x << "," << y;
        }
    // Vertically: fy of a pixel row is that of its last sub-row, (8y + 7) * 256 / 79.
    Image v(3, 10);
    EXPECT_EQ(1, pxm_fill_round_rect(&v.s, 0, 0, 2, 9, 0, 4, 0x00000000, 0x00000000, 0x000000FF, 0x000000FF, 0));
    EXPECT_EQ((255u * ((7 * 256) / 79)) >> 8, v.at(1, 0));
    EXPECT_EQ(0xFFu, v.at(1, 9));
    // Negative radii and a zero ry with a non-zero rx are square too.
    Image n1(6, 6), n2(6, 6);
    EXPECT_EQ(1, pxm_fill_round_rect(&n1.s, 0, 0, 5, 5, -4, -4, 0x00ABCDEF, 0x00ABCDEF, 0x00ABCDEF, 0x00ABCDEF, 0));
    EXPECT_EQ(1, pxm_fill_round_rect(&n2.s, 0, 0, 5, 5, 3, 0, 0x00ABCDEF, 0x00ABCDEF, 0x00ABCDEF, 0x00ABCDEF, 0));
    EXPECT_EQ(36, n1.count(0x00ABCDEF));
    EXPECT_EQ(36, n2.count(0x00ABCDEF));
}

TEST_P(PixmoorGradient, RoundRectTransparencyAndSwaps)
{
    Image im(10, 10, 0x12345678);
    EXPECT_EQ(1, pxm_fill_round_rect(&im.s, 0, 0, 9, 9, 4, 4, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0));
    EXPECT_EQ(100, im.count(0x12345678));
    // A half-transparent colour over a fully covered pixel: weight
    // (64 * 127 + 127) / 255 = 32, pixel = mix(pixel, colour, 128).
    Image h(10, 10, 0xFF000000);
    EXPECT_EQ(1, pxm_fill_round_rect(&h.s, 0, 0, 9, 9, 4, 4, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF, 0));
    EXPECT_EQ(pxt::mix_ref(0xFF000000, 0x00FFFFFF, 128), h.at(5, 5));
    // Swapped corners swap the colours with them.
    Image a(10, 10), b(10, 10);
    pxm_fill_round_rect(&a.s, 0, 0, 9, 9, 2, 3, 0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF, 0);
    pxm_fill_round_rect(&b.s, 9, 9, 0, 0, 2, 3, 0x00FFFFFF, 0x000000FF, 0x0000FF00, 0x00FF0000, 0);
    EXPECT_TRUE(a.block == b.block);
}

TEST_P(PixmoorGradient, RoundRectClipColumnKeepsItsCoverage)
{
    const uint32_t W = 0x00FFFFFF;
    Image full(10, 10);
    pxm_fill_round_rect(&full.s, 0, 0, 9, 9, 4, 4, W, W, W, W, 0);
    Image clipped(10, 10);
    pxm_set_clip(1, 1, 8, 7);
    EXPECT_EQ(1, pxm_fill_round_rect(&clipped.s, 0, 0, 9, 9, 4, 4, W, W, W, W, PXM_CLIP));
    pxm_set_clip(0, 0, 0, 0);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++) {
            bool inside = x >= 1 && x <= 8 && y >= 1 && y <= 7;
            ASSERT_EQ(inside ? full.at(x, y) : 0u, clipped.at(x, y)) << x << "," << y;
        }
    EXPECT_EQ(grey(58), clipped.at(8, 1));
}

TEST_P(PixmoorGradient, RoundRectRestoresTheControlWord)
{
    const uint16_t words[] = {0x037F, 0x027F, 0x007F, 0x0F7F};
    uint16_t before = fpu_control();
    for (uint16_t cw : words) {
        fpu_load(cw);
        Image im(20, 20);
        pxm_fill_round_rect(&im.s, 1, 1, 18, 18, 5, 7, 0x00FFFFFF, 0x00FF0000, 0x80000000, 0x40FFFFFF, 0);
        uint16_t after = fpu_control();
        fpu_load(before);
        EXPECT_EQ(cw, after) << std::hex << cw;
    }
    // The result does not depend on the caller's precision or rounding.
    Image a(20, 20), b(20, 20);
    fpu_load(0x0C7F);
    pxm_fill_round_rect(&a.s, 0, 0, 19, 17, 6, 5, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0);
    fpu_load(before);
    pxm_fill_round_rect(&b.s, 0, 0, 19, 17, 6, 5, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0);
    EXPECT_TRUE(a.block == b.block);
}

TEST_P(PixmoorGradient, RoundRectFarOutsideAndTinySurfaces)
{
    Image im(16, 16);
    EXPECT_EQ(1, pxm_fill_round_rect(&im.s, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 4, 4, 0x00ABCDEF, 0x00ABCDEF,
                                     0x00ABCDEF, 0x00ABCDEF, 0));
    EXPECT_EQ(256, im.count(0x00ABCDEF));
    Image off(16, 16);
    EXPECT_EQ(1, pxm_fill_round_rect(&off.s, 20, 20, INT_MAX, INT_MAX, 4, 4, 0x00ABCDEF, 0x00ABCDEF, 0x00ABCDEF,
                                     0x00ABCDEF, 0));
    EXPECT_EQ(1, pxm_fill_round_rect(&off.s, INT_MIN, 0, -1, 15, INT_MAX, INT_MAX, 0x00ABCDEF, 0x00ABCDEF,
                                     0x00ABCDEF, 0x00ABCDEF, 0));
    // An edge ending just left of column 0 covers none of it.
    EXPECT_EQ(1, pxm_fill_round_rect(&off.s, -10, 0, -1, 9, 4, 4, 0x00ABCDEF, 0x00ABCDEF, 0x00ABCDEF, 0x00ABCDEF, 0));
    EXPECT_EQ(256, off.count(0));
    Image one(1, 1);
    EXPECT_EQ(1, pxm_fill_round_rect(&one.s, 0, 0, 1, 1, 1, 1, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0));
    EXPECT_NE(0u, one.at(0, 0));
    EXPECT_EQ(0, pxm_fill_round_rect(nullptr, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0));
}

} // namespace
