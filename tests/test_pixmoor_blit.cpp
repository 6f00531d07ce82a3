// Blits and pixel helpers: exact values of the blends, the rectangle
// mapping, clipping, tiling, status stages and output to device contexts.
#include <gtest/gtest.h>

#include <vector>

#include "pixmoor.h"
#include "pixmoor_image.h"
#include "pixmoor_test_util.h"

namespace {

using pxt::px;

int32_t status() { return pxm_thread_state()->status; }

// Runs a body once with the integer forms and once with the SSE2 forms.
class PixmoorLevels : public pxt::Levels {};

INSTANTIATE_TEST_SUITE_P(Forms, PixmoorLevels, ::testing::Values(0, 2, 4, 5));

TEST_P(PixmoorLevels, PixelOverEdgeCases)
{
    uint32_t d = 0x7F123456;
    pxm_pixel_over(&d, 0x00ABCDEF);
    EXPECT_EQ(0x00ABCDEFu, d);
    d = 0x7F123456;
    pxm_pixel_over(&d, 0xFFABCDEF);
    EXPECT_EQ(0x7F123456u, d);
    // Half-transparent white over opaque black: weight 129, lanes 126.
    d = 0x00000000;
    pxm_pixel_over(&d, 0x80FFFFFF);
    EXPECT_EQ(0x007E7E7Eu, d);
    // The new transparency is the product of the two.
    d = 0xFF000000;
    pxm_pixel_over(&d, 0x80000000);
    EXPECT_EQ((uint32_t)((255 * 129) / 256) << 24, d);
}

TEST_P(PixmoorLevels, PixelBehindEdgeCases)
{
    uint32_t d = 0xFF102030;
    pxm_pixel_behind(&d, 0x40A0B0C0);
    EXPECT_EQ(0x40A0B0C0u, d);
    d = 0x00102030;
    pxm_pixel_behind(&d, 0x40A0B0C0);
    EXPECT_EQ(0x00102030u, d);
    d = 0x80000000;
    pxm_pixel_behind(&d, 0x00FFFFFF); // c = 127
    EXPECT_EQ(0x00808080u, d);
}

TEST_P(PixmoorLevels, PixelAverageEdgeCases)
{
    uint32_t d = 0x00102030;
    pxm_pixel_average(&d, 0x00A0B0C0);
    EXPECT_EQ(0x00A0B0C0u, d);
    d = 0xFF102030;
    pxm_pixel_average(&d, 0xFFA0B0C0);
    EXPECT_EQ(0xFF102030u, d);
    d = 0x00000000;
    pxm_pixel_average(&d, 0xFFFFFFFF); // c = 128
    EXPECT_EQ(0x7F7F7F7Fu, d);
}

TEST_P(PixmoorLevels, MixEndsAndLanes)
{
    EXPECT_EQ(0x11223344u, pxm_mix(0x11223344, 0xAABBCCDD, 0));
    EXPECT_EQ(0xAABBCCDDu, pxm_mix(0x11223344, 0xAABBCCDD, 256));
    EXPECT_EQ(0x7F7F7F7Fu, pxm_mix(0x00000000, 0xFFFFFFFF, 128));
    EXPECT_EQ(0x7F7F7F7Fu, pxm_mix(0xFFFFFFFF, 0x00000000, 128));
    EXPECT_EQ(0x00FF0080u, pxm_mix(0x00FF0000, 0x00FF00FF, 129));
}

TEST_P(PixmoorLevels, HelpersMatchPerByteDefinitions)
{
    pxt::Rng rng(12345 + GetParam());
    for (int i = 0; i < 200000; i++) {
        uint32_t a = rng.pixel(), b = rng.pixel();
        int32_t f = rng.range(0, 256);
        ASSERT_EQ(pxt::mix_ref(a, b, f), pxm_mix(a, b, f)) << std::hex << a << " " << b << " " << f;
        uint32_t d = a;
        pxm_pixel_over(&d, b);
        ASSERT_EQ(pxt::over_ref(a, b), d) << std::hex << a << " " << b;
        d = a;
        pxm_pixel_behind(&d, b);
        ASSERT_EQ(pxt::behind_ref(a, b), d) << std::hex << a << " " << b;
        d = a;
        pxm_pixel_average(&d, b);
        ASSERT_EQ(pxt::average_ref(a, b), d) << std::hex << a << " " << b;
    }
}

// Memory surfaces for exact-value checks of the blits.
struct Image {
    std::vector<uint32_t> block;
    PxmSurface s;
    Image(int w, int h, uint32_t fill = 0) : block((size_t)w * h, fill)
    {
        memset(&s, 0, sizeof(s));
        s.width = w;
        s.height = h;
        s.stride = w;
        s.pixels = block.data();
        s.kind = PXM_KIND_MEMORY;
    }
    uint32_t at(int x, int y) const { return block[(size_t)y * s.stride + x]; }
};

// Source pixels that name their own coordinates.
Image coded(int w, int h)
{
    Image im(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            im.block[(size_t)y * w + x] = ((uint32_t)y << 8) | (uint32_t)x;
    return im;
}

TEST_P(PixmoorLevels, CopyDoublesAndHalves)
{
    Image src = coded(10, 10);
    Image big(20, 20);
    EXPECT_EQ(1, pxm_copy(&big.s, 0, 0, 19, 19, &src.s, 0, 0, 9, 9, 0));
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++)
            ASSERT_EQ(src.at(x / 2, y / 2), big.at(x, y)) << x << "," << y;

    Image src2 = coded(20, 20);
    Image small(10, 10);
    EXPECT_EQ(1, pxm_copy(&small.s, 0, 0, 9, 9, &src2.s, 0, 0, 19, 19, 0));
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            ASSERT_EQ(src2.at(2 * x, 2 * y), small.at(x, y)) << x << "," << y;
    EXPECT_EQ(PXM_STATUS_OK, status());
}

// Uneven scales show the fixed-point step's truncation: 4 columns onto 6 read
// 0,0,1,1,2,3 (exact division would give 0,0,1,2,2,3), and a span wide
// enough to stop at a lower precision loses a column near its end.
TEST_P(PixmoorLevels, CopyScalesWithTruncatedFixedPointSteps)
{
    Image src = coded(4, 4);
    Image dst(6, 6);
    EXPECT_EQ(1, pxm_copy(&dst.s, 0, 0, 5, 5, &src.s, 0, 0, 3, 3, 0));
    const int want[6] = {0, 0, 1, 1, 2, 3};
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6; x++)
            ASSERT_EQ(src.at(want[x], want[y]), dst.at(x, y)) << x << "," << y;

    // 1000 columns onto 3000: shift 20, step 349525.
    Image wide_src = coded(1000, 1);
    Image wide(3000, 1);
    EXPECT_EQ(1, pxm_copy(&wide.s, 0, 0, 2999, 0, &wide_src.s, 0, 0, 999, 0, 0));
    EXPECT_EQ(wide_src.at(0, 0), wide.at(3, 0));
    EXPECT_EQ(wide_src.at(1, 0), wide.at(4, 0));
    EXPECT_EQ(wide_src.at(998, 0), wide.at(2997, 0));
    EXPECT_EQ(wide_src.at(999, 0), wide.at(2999, 0));
}

TEST_P(PixmoorLevels, CopyKeepsTransparencyByte)
{
    Image src(3, 1);
    src.block = {0xFF000001, 0x80000002, 0x00000003};
    src.s.pixels = src.block.data();
    Image dst(3, 1, 0x12345678);
    EXPECT_EQ(1, pxm_copy(&dst.s, 0, 0, 2, 0, &src.s, 0, 0, 2, 0, 0));
    EXPECT_EQ(src.block, dst.block);
}

TEST_P(PixmoorLevels, NegativeX1StartsAtColumnZeroWithShiftedSource)
{
    Image src = coded(30, 4);
    Image dst(12, 4, 0xDEADBEEF);
    EXPECT_EQ(1, pxm_copy(&dst.s, -5, 0, 9, 0, &src.s, 3, 1, 17, 1, 0));
    for (int x = 0; x <= 9; x++)
        EXPECT_EQ(src.at(3 + 5 + x, 1), dst.at(x, 0)) << x;
    EXPECT_EQ(0xDEADBEEFu, dst.at(10, 0));
    EXPECT_EQ(0xDEADBEEFu, dst.at(0, 1));
}

TEST_P(PixmoorLevels, SourceStartingLeftOfSurface)
{
    Image src = coded(8, 1);
    Image dst(10, 1, 0xEEEEEEEE);
    // Source columns -3..6 onto 0..9: columns 0..2 have nothing to read.
    EXPECT_EQ(1, pxm_copy(&dst.s, 0, 0, 9, 0, &src.s, -3, 0, 6, 0, 0));
    for (int x = 0; x < 10; x++)
        EXPECT_EQ(x < 3 ? 0xEEEEEEEEu : src.at(x - 3, 0), dst.at(x, 0)) << x;
    // Scaled 2x from source -2..4 (7 columns onto 14): the first four read -2 and -1.
    Image dst2(14, 1, 0xEEEEEEEE);
    EXPECT_EQ(1, pxm_copy(&dst2.s, 0, 0, 13, 0, &src.s, -2, 0, 4, 0, 0));
    for (int x = 0; x < 14; x++) {
        int sx = -2 + x / 2;
        EXPECT_EQ(sx < 0 ? 0xEEEEEEEEu : src.at(sx, 0), dst2.at(x, 0)) << x;
    }
}

TEST_P(PixmoorLevels, ClipThatMissesDrawsNothing)
{
    PxmSurface a, b;
    memset(&a, 0, sizeof(a));
    memset(&b, 0, sizeof(b));
    ASSERT_EQ(1, pxm_surface_create(&a, 8, 8, 0));
    ASSERT_EQ(1, pxm_surface_create(&b, 8, 8, 0));
    for (int i = 0; i < 64; i++)
        b.pixels[i] = 0x00FF0000;
    pxm_set_clip(20, 20, 30, 30);
    EXPECT_EQ(0, pxm_copy(&a, 0, 0, 7, 7, &b, 0, 0, 7, 7, PXM_CLIP));
    EXPECT_EQ(0, a.lock_count);
    EXPECT_EQ(0, b.lock_count);
    EXPECT_EQ(1, pxm_blit(&a, 0, 0, 7, 7, &b, 0, 0, 7, 7, PXM_CLIP));
    EXPECT_EQ(0, a.lock_count);
    EXPECT_EQ(0, b.lock_count);
    for (int i = 0; i < 64; i++)
        ASSERT_EQ(0u, a.pixels[i]);

    // A clip inside the rectangle limits both columns and rows.
    pxm_set_clip(2, 3, 4, 5);
    EXPECT_EQ(1, pxm_copy(&a, 0, 0, 7, 7, &b, 0, 0, 7, 7, PXM_CLIP));
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ((x >= 2 && x <= 4 && y >= 3 && y <= 5) ? 0x00FF0000u : 0u, px(a, x, y)) << x << "," << y;
    // Without the flag the clip is ignored.
    EXPECT_EQ(1, pxm_copy(&a, 0, 0, 7, 7, &b, 0, 0, 7, 7, 0));
    EXPECT_EQ(0x00FF0000u, px(a, 0, 0));
    pxm_surface_free(&a, 0);
    pxm_surface_free(&b, 0);
}

TEST_P(PixmoorLevels, RectanglesMissingTheSurfacesSucceedWithNothingDrawn)
{
    Image src = coded(4, 4);
    Image dst(4, 4, 7);
    EXPECT_EQ(1, pxm_copy(&dst.s, 10, 10, 13, 13, &src.s, 0, 0, 3, 3, 0));
    EXPECT_EQ(1, pxm_blit(&dst.s, -10, 0, -7, 3, &src.s, 0, 0, 3, 3, 0));
    EXPECT_EQ(1, pxm_copy(&dst.s, 0, 0, 3, 3, &src.s, 0, 10, 3, 13, 0)); // source rows outside
    for (uint32_t v : dst.block)
        EXPECT_EQ(7u, v);
}

TEST_P(PixmoorLevels, StatusStagesOfCopy)
{
    Image src = coded(4, 4);
    Image dst(4, 4);
    EXPECT_EQ(0, pxm_copy(&dst.s, 3, 0, 2, 3, &src.s, 0, 0, 3, 3, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    EXPECT_EQ(0, pxm_copy(&dst.s, 0, 0, 3, 3, &src.s, 0, 3, 3, 2, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    EXPECT_EQ(0, pxm_copy(&dst.s, 0, 0, 3, 3, &src.s, 4, 0, 7, 3, 0)); // source columns missed
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    PxmSurface empty;
    memset(&empty, 0, sizeof(empty));
    EXPECT_EQ(0, pxm_copy(&empty, 0, 0, 3, 3, &src.s, 0, 0, 3, 3, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    EXPECT_EQ(0, pxm_blit(&empty, 0, 0, 3, 3, &src.s, 0, 0, 3, 3, 0)); // destination fails to lock
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    EXPECT_EQ(0, pxm_tile(&dst.s, 0, 0, 3, 3, &empty, 0, 0, 3, 3, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    EXPECT_EQ(1, pxm_copy(&dst.s, 0, 0, 3, 3, &src.s, 0, 0, 3, 3, 0));
    EXPECT_EQ(PXM_STATUS_OK, status());
}

TEST_P(PixmoorLevels, BlitCoordinateBound)
{
    Image src = coded(4, 4);
    Image dst(4, 4);
    EXPECT_EQ(0, pxm_blit(&dst.s, 0, 0, 700000, 3, &src.s, 0, 0, 3, 3, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    EXPECT_EQ(0, pxm_blit(&dst.s, -655361, 0, 3, 3, &src.s, 0, 0, 3, 3, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    EXPECT_EQ(1, pxm_blit(&dst.s, -655360, -655360, 655360, 655360, &src.s, 0, 0, 3, 3, 0));
    EXPECT_EQ(PXM_STATUS_OK, status());
}

TEST_P(PixmoorLevels, BlendModesExactValues)
{
    const uint32_t d0[4] = {0x00102030, 0x80405060, 0xFF708090, 0xC0000000};
    const uint32_t s0[4] = {0x40FFEEDD, 0x00123456, 0x80ABCDEF, 0xFF010203};
    for (int mode = 0; mode < 16; mode++) {
        Image src(4, 1), dst(4, 1);
        memcpy(src.block.data(), s0, sizeof(s0));
        memcpy(dst.block.data(), d0, sizeof(d0));
        ASSERT_EQ(1, pxm_blit(&dst.s, 0, 0, 3, 0, &src.s, 0, 0, 3, 0, (uint32_t)mode)) << mode;
        for (int i = 0; i < 4; i++) {
            uint32_t d = d0[i], s = s0[i], expect;
            switch (mode) {
            case 1: expect = pxt::behind_ref(d, s); break;
            case 2: expect = pxt::average_ref(d, s); break;
            case 3: expect = (d & 0xFF000000) | (s & 0x00FFFFFF); break;
            case 4: expect = pxt::over_ref(pxm_checker_pattern[i & 15], s); break;
            case 5: {
                uint32_t t = (d >> 24) + (s >> 24);
                expect = ((t > 255 ? 255 : t) << 24) | (s & 0x00FFFFFF);
                break;
            }
            default: expect = pxt::over_ref(d, s); break;
            }
            EXPECT_EQ(expect, dst.at(i, 0)) << "mode " << mode << " pixel " << i;
        }
    }
}

TEST_P(PixmoorLevels, RowBlendsMatchPerPixelDefinitions)
{
    pxt::Rng rng(99 + GetParam());
    for (int round = 0; round < 2000; round++) {
        int n = rng.range(1, 40), mode = rng.range(0, 2);
        Image src(n, 1), dst(n, 1);
        for (int i = 0; i < n; i++) {
            src.block[i] = rng.pixel();
            dst.block[i] = rng.pixel();
        }
        std::vector<uint32_t> before = dst.block;
        ASSERT_EQ(1, pxm_blit(&dst.s, 0, 0, n - 1, 0, &src.s, 0, 0, n - 1, 0, (uint32_t)mode));
        for (int i = 0; i < n; i++) {
            uint32_t d = before[i], s = src.block[i];
            uint32_t expect = mode == 0 ? pxt::over_ref(d, s) : mode == 1 ? pxt::behind_ref(d, s) : pxt::average_ref(d, s);
            ASSERT_EQ(expect, dst.block[i]) << "mode " << mode << " n " << n << " pixel " << i;
        }
    }
}

// Every pair of transparency bytes, in rows of 256: in the upper half the
// source's byte changes along the row, in the lower half it is the same
// along the row (so whole groups of sources are opaque or fully
// transparent) and the destination's byte changes instead.
TEST_P(PixmoorLevels, EveryPairOfTransparencyBytesBlendsExactly)
{
    pxt::Rng rng(404);
    Image src(256, 512), dst(256, 512);
    for (uint32_t y = 0; y < 512; y++)
        for (uint32_t x = 0; x < 256; x++) {
            uint32_t st = y < 256 ? x : y - 256, dt = y < 256 ? y : x;
            src.block[y * 256 + x] = st << 24 | (rng.next() & 0x00FFFFFF);
            dst.block[y * 256 + x] = dt << 24 | (rng.next() & 0x00FFFFFF);
        }
    for (int mode = 0; mode < 3; mode++) {
        Image d = dst;
        d.s.pixels = d.block.data();
        ASSERT_EQ(1, pxm_blit(&d.s, 0, 0, 255, 511, &src.s, 0, 0, 255, 511, (uint32_t)mode));
        for (size_t i = 0; i < d.block.size(); i++) {
            uint32_t was = dst.block[i], s = src.block[i];
            uint32_t expect = mode == 0 ? pxt::over_ref(was, s) : mode == 1 ? pxt::behind_ref(was, s)
                                                                             : pxt::average_ref(was, s);
            ASSERT_EQ(expect, d.block[i]) << "mode " << mode << " pixel " << i;
        }
    }
}

TEST_P(PixmoorLevels, CheckerFollowsDestinationCoordinates)
{
    Image src(40, 40, 0xFF000000); // fully transparent: the pattern shows
    Image dst(40, 40, 0x00123456);
    ASSERT_EQ(1, pxm_blit(&dst.s, 3, 5, 39, 39, &src.s, 0, 0, 36, 34, PXM_BLEND_CHECKER));
    for (int y = 5; y < 40; y++)
        for (int x = 3; x < 40; x++)
            ASSERT_EQ(pxm_checker_pattern[(y & 15) * 16 + (x & 15)], dst.at(x, y)) << x << "," << y;
    EXPECT_EQ(0x00123456u, dst.at(2, 5));
}

TEST_P(PixmoorLevels, ScaledBlitBlendsMappedPixels)
{
    Image src(2, 1);
    src.block = {0x80FFFFFF, 0x00000011};
    src.s.pixels = src.block.data();
    Image dst(4, 1, 0x00000000);
    ASSERT_EQ(1, pxm_blit(&dst.s, 0, 0, 3, 0, &src.s, 0, 0, 1, 0, 0));
    EXPECT_EQ(0x007E7E7Eu, dst.at(0, 0));
    EXPECT_EQ(0x007E7E7Eu, dst.at(1, 0));
    EXPECT_EQ(0x00000011u, dst.at(2, 0));
    EXPECT_EQ(0x00000011u, dst.at(3, 0));
}

std::vector<int> tile_columns(const Image &im, int y, int x1, int x2)
{
    std::vector<int> v;
    for (int x = x1; x <= x2; x++)
        v.push_back((int)(im.at(x, y) & 0xFF));
    return v;
}

std::vector<int> tile_rows(const Image &im, int x, int y1, int y2)
{
    std::vector<int> v;
    for (int y = y1; y <= y2; y++)
        v.push_back((int)((im.at(x, y) >> 8) & 0xFF));
    return v;
}

TEST_P(PixmoorLevels, TilePlainAndMirrored)
{
    Image src = coded(6, 6);
    Image dst(12, 8, 0xEEEEEEEE);
    // A 3 x 2 tile taken from (1, 2) over a 7 x 5 rectangle at (2, 1).
    ASSERT_EQ(1, pxm_tile(&dst.s, 2, 1, 8, 5, &src.s, 1, 2, 3, 3, 0));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 1, 2, 3, 1}), tile_columns(dst, 1, 2, 8));
    EXPECT_EQ((std::vector<int>{2, 3, 2, 3, 2}), tile_rows(dst, 2, 1, 5));
    EXPECT_EQ(0xEEEEEEEEu, dst.at(1, 1));
    EXPECT_EQ(0xEEEEEEEEu, dst.at(9, 1));
    EXPECT_EQ(0xEEEEEEEEu, dst.at(2, 0));
    EXPECT_EQ(0xEEEEEEEEu, dst.at(2, 6));

    Image m(12, 8, 0xEEEEEEEE);
    ASSERT_EQ(1, pxm_tile(&m.s, 0, 0, 6, 4, &src.s, 0, 0, 2, 1, PXM_MIRROR));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 2, 1, 0, 0}), tile_columns(m, 0, 0, 6));
    EXPECT_EQ((std::vector<int>{0, 1, 1, 0, 0}), tile_rows(m, 0, 0, 4));
}

TEST_P(PixmoorLevels, TileClampsSourceAndHandlesOutside)
{
    Image src = coded(4, 4);
    Image dst(10, 3, 0xEEEEEEEE);
    // Source -5..1 clamps to 0..1; destination starting left of the surface.
    ASSERT_EQ(1, pxm_tile(&dst.s, -3, 0, 20, 0, &src.s, -5, -1, 1, 0, 0));
    EXPECT_EQ((std::vector<int>{1, 0, 1, 0, 1, 0, 1, 0, 1, 0}), tile_columns(dst, 0, 0, 9));
    // Mirrored columns start from tile column (start mod B).
    Image m(5, 1);
    ASSERT_EQ(1, pxm_tile(&m.s, -4, 0, 4, 0, &src.s, 0, 0, 2, 0, PXM_MIRROR));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 2, 1}), tile_columns(m, 0, 0, 4));
    pxm_set_clip(2, 0, 4, 0);
    Image c(5, 1);
    ASSERT_EQ(1, pxm_tile(&c.s, 0, 0, 4, 0, &src.s, 0, 0, 2, 0, PXM_MIRROR | PXM_CLIP));
    EXPECT_EQ((std::vector<int>{0, 0, 2, 2, 1}), tile_columns(c, 0, 0, 4));
    // A source rectangle wholly beyond the source leaves no tile.
    EXPECT_EQ(0, pxm_tile(&dst.s, 0, 0, 9, 2, &src.s, 4, 0, 6, 2, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    // A destination rectangle beside the surface is refused.
    EXPECT_EQ(0, pxm_tile(&dst.s, 10, 0, 12, 2, &src.s, 0, 0, 1, 1, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
}

TEST_P(PixmoorLevels, CopySpanCopiesOnlyTheRange)
{
    uint32_t src[100], dst[100];
    for (int n = 1; n <= 40; n++)
        for (int x1 = 0; x1 < 20; x1++) {
            for (int i = 0; i < 100; i++) {
                src[i] = 0x1000u + i;
                dst[i] = 0xEEEEEEEE;
            }
            pxm_copy_span(dst, x1, x1 + n - 1, src);
            for (int i = 0; i < 100; i++)
                ASSERT_EQ(i >= x1 && i < x1 + n ? src[i] : 0xEEEEEEEEu, dst[i]) << n << " " << x1 << " " << i;
        }
    dst[5] = 0xEEEEEEEE;
    pxm_copy_span(dst, 5, 4, src);
    EXPECT_EQ(0xEEEEEEEEu, dst[5]);
}

// Output to device contexts: a memory DC over another DIB and a real window.
class PixmoorDc : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(&s, 0, sizeof(s));
        ASSERT_EQ(1, pxm_surface_create(&s, 16, 16, 0));
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++)
                px(s, x, y) = 0x80000000u | ((uint32_t)(x * 16) << 16) | ((uint32_t)(y * 16) << 8) | 0x5A;
    }
    void TearDown() override { pxm_surface_free(&s, 0); }
    PxmSurface s;
};

TEST_F(PixmoorDc, OntoMemoryDcExactPixels)
{
    PxmSurface t;
    memset(&t, 0, sizeof(t));
    ASSERT_EQ(1, pxm_surface_create(&t, 20, 20, 0));
    HDC dc = nullptr;
    ASSERT_NE(nullptr, pxm_surface_get_dc(&t, &dc, nullptr));
    EXPECT_NE(0, pxm_blit_to_dc(dc, 2, 3, 9, 8, &s, 4, 5, 11, 10, 0));
    EXPECT_EQ(PXM_STATUS_OK, status());
    EXPECT_EQ((HGDIOBJ)s.bitmap, GetCurrentObject(s.dc, OBJ_BITMAP)); // stays selected
    pxm_surface_release_dc(&t, &dc);
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++) {
            bool inside = x >= 2 && x <= 9 && y >= 3 && y <= 8;
            uint32_t expect = inside ? px(s, x + 2, y + 2) & 0x00FFFFFF : 0;
            EXPECT_EQ(expect, px(t, x, y) & 0x00FFFFFF) << x << "," << y;
        }
    // Unequal rectangles stretch.
    ASSERT_NE(nullptr, pxm_surface_get_dc(&t, &dc, nullptr));
    SetStretchBltMode(dc, COLORONCOLOR);
    EXPECT_NE(0, pxm_blit_to_dc(dc, 0, 0, 3, 3, &s, 0, 0, 1, 1, 0));
    pxm_surface_release_dc(&t, &dc);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(px(s, x / 2, y / 2) & 0x00FFFFFF, px(t, x, y) & 0x00FFFFFF) << x << "," << y;
    pxm_surface_free(&t, 0);
    EXPECT_EQ(0, pxm_blit_to_dc(dc, 0, 0, 3, 3, nullptr, 0, 0, 3, 3, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
}

TEST_F(PixmoorDc, OntoWindowDcExactPixels)
{
    HWND w = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, w);
    UpdateWindow(w);
    MSG msg;
    for (int i = 0; i < 20; i++) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
    HDC dc = GetDC(w);
    EXPECT_NE(0, pxm_blit_to_dc(dc, 10, 10, 25, 25, &s, 0, 0, 15, 15, 0));
    GdiFlush();

    PxmSurface back;
    memset(&back, 0, sizeof(back));
    ASSERT_EQ(1, pxm_surface_create(&back, 16, 16, 0));
    HDC bdc = nullptr;
    ASSERT_NE(nullptr, pxm_surface_get_dc(&back, &bdc, nullptr));
    EXPECT_NE(0, BitBlt(bdc, 0, 0, 16, 16, dc, 10, 10, SRCCOPY));
    pxm_surface_release_dc(&back, &bdc);
    ReleaseDC(w, dc);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            EXPECT_EQ(px(s, x, y) & 0x00FFFFFF, px(back, x, y) & 0x00FFFFFF) << x << "," << y;
    pxm_surface_free(&back, 0);
    DestroyWindow(w);
}

} // namespace
