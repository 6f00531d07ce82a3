// Lines, filled rectangles, outlines and the row helpers: exact pixels and
// step counts, clipping, rejection, huge coordinates and tiny surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits.h>
#include <set>
#include <utility>

#include "pixmoor.h"
#include "pixmoor_image.h"
#include "pixmoor_test_util.h"

namespace {

using pxt::Image;

class PixmoorShapes : public pxt::Levels {};
INSTANTIATE_TEST_SUITE_P(Forms, PixmoorShapes, ::testing::Values(0, 2, 4, 5));

const uint32_t INK = 0x00FF0000;

typedef std::set<std::pair<int, int>> PixelSet;

PixelSet inked(const Image &im, uint32_t ink = INK)
{
    PixelSet p;
    for (int y = 0; y < im.s.height; y++)
        for (int x = 0; x < im.s.width; x++)
            if (im.at(x, y) == ink)
                p.insert({x, y});
    return p;
}

TEST_P(PixmoorShapes, XMajorLineStepsAndReverse)
{
    Image im(12, 6);
    EXPECT_EQ(10, pxm_draw_line(&im.s, 0, 0, 9, 4, INK, 0));
    PixelSet want;
    const int ys[10] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4};
    for (int x = 0; x < 10; x++)
        want.insert({x, ys[x]});
    EXPECT_EQ(want, inked(im));

    Image back(12, 6);
    EXPECT_EQ(10, pxm_draw_line(&back.s, 9, 4, 0, 0, INK, 0));
    EXPECT_EQ(want, inked(back));
}

TEST_P(PixmoorShapes, DiagonalIsYMajor)
{
    Image im(5, 5);
    EXPECT_EQ(4, pxm_draw_line(&im.s, 0, 0, 3, 3, INK, 0));
    EXPECT_EQ((PixelSet{{0, 0}, {1, 1}, {2, 2}, {3, 3}}), inked(im));
}

TEST_P(PixmoorShapes, SteepLineColumnsTruncateTowardZero)
{
    // y-major, m = -3, o = 6: the column at step k is 3 + (k * -3) / 6.
    Image im(6, 8);
    EXPECT_EQ(6, pxm_draw_line(&im.s, 3, 1, 1, 6, INK, 0));
    EXPECT_EQ((PixelSet{{3, 1}, {3, 2}, {2, 3}, {2, 4}, {1, 5}, {1, 6}}), inked(im));
}

TEST_P(PixmoorShapes, HorizontalLinesClampAndReject)
{
    Image im(8, 3);
    EXPECT_EQ(0, pxm_draw_line(&im.s, -5, 2, -1, 2, INK, 0));
    EXPECT_EQ(0, im.count(INK));
    EXPECT_EQ(6, pxm_draw_line(&im.s, -5, 2, 5, 2, INK, 0));
    EXPECT_EQ((PixelSet{{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}}), inked(im));
    // Whole rows above or below are rejected before anything else.
    EXPECT_EQ(0, pxm_draw_line(&im.s, 0, -1, 7, -1, INK, 0));
    EXPECT_EQ(0, pxm_draw_line(&im.s, 0, 3, 7, 3, INK, 0));
    EXPECT_EQ(6, im.count(INK));
}

TEST_P(PixmoorShapes, VerticalLineAndSinglePoints)
{
    Image im(4, 6);
    EXPECT_EQ(4, pxm_draw_line(&im.s, 2, 7, 2, 2, INK, 0));
    EXPECT_EQ((PixelSet{{2, 2}, {2, 3}, {2, 4}, {2, 5}}), inked(im));
    EXPECT_EQ(1, pxm_draw_line(&im.s, 0, 0, 0, 0, INK, 0));
    EXPECT_EQ(INK, im.at(0, 0));
    EXPECT_EQ(0, pxm_draw_line(&im.s, 4, 0, 4, 0, INK, 0));
    EXPECT_EQ(0, pxm_draw_line(&im.s, -1, -1, -1, -1, INK, 0));
    EXPECT_EQ(5, im.count(INK));
}

TEST_P(PixmoorShapes, LinePartlyOutsideCountsEveryStep)
{
    Image im(3, 3);
    EXPECT_EQ(8, pxm_draw_line(&im.s, -3, -3, 4, 4, INK, 0));
    EXPECT_EQ((PixelSet{{0, 0}, {1, 1}, {2, 2}}), inked(im));
    Image im2(10, 4);
    // x-major from (-5, 0) to (14, 3): 20 steps, only columns 0..9 drawn.
    EXPECT_EQ(20, pxm_draw_line(&im2.s, -5, 0, 14, 3, INK, 0));
    PixelSet want;
    for (int k = 5; k < 15; k++)
        want.insert({k - 5, k * 4 / 20});
    EXPECT_EQ(want, inked(im2));
}

TEST_P(PixmoorShapes, HugeCoordinatesStayExactAndQuick)
{
    Image im(16, 16);
    // 2^32 steps: the count saturates, the pixels are the exact diagonal.
    EXPECT_EQ(INT_MAX, pxm_draw_line(&im.s, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INK, 0));
    PixelSet diag;
    for (int i = 0; i < 16; i++)
        diag.insert({i, i});
    EXPECT_EQ(diag, inked(im));

    // m = 6, o = 2^32: every row on the surface lies at step 2^31 + y,
    // whose column is (2^31 + y) * 6 / 2^32 = 3.
    Image steep(16, 16);
    EXPECT_EQ(INT_MAX, pxm_draw_line(&steep.s, 0, INT_MIN, 5, INT_MAX, INK, 0));
    PixelSet col;
    for (int y = 0; y < 16; y++)
        col.insert({3, y});
    EXPECT_EQ(col, inked(steep));

    Image row(16, 4);
    EXPECT_EQ(16, pxm_draw_line(&row.s, INT_MAX, 1, INT_MIN, 1, INK, 0));
    EXPECT_EQ(16, row.count(INK));
    EXPECT_EQ(0, pxm_draw_line(&row.s, INT_MIN, INT_MIN, INT_MAX, INT_MIN, INK, 0));
    EXPECT_EQ(0, pxm_draw_line(&row.s, INT_MAX, INT_MIN, INT_MAX, INT_MAX, INK, 0));
}

TEST_P(PixmoorShapes, ClippedLines)
{
    Image im(10, 10);
    pxm_set_clip(2, 2, 6, 6);
    EXPECT_EQ(10, pxm_draw_line(&im.s, 0, 0, 9, 9, INK, PXM_CLIP));
    EXPECT_EQ((PixelSet{{2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}}), inked(im));
    EXPECT_EQ(0, pxm_draw_line(&im.s, 0, 1, 9, 1, INK, PXM_CLIP));
    EXPECT_EQ(10, pxm_draw_line(&im.s, 0, 8, 9, 8, INK, 0));
    // A run that the clip columns leave empty returns 0 or less.
    pxm_set_clip(7, 0, 9, 9);
    EXPECT_LE(pxm_draw_line(&im.s, 0, 3, 4, 3, INK, PXM_CLIP), 0);
    EXPECT_EQ(15, im.count(INK));
    pxm_set_clip(0, 0, 0, 0);
}

TEST_P(PixmoorShapes, BlendedLines)
{
    Image im(12, 6, 0x00FFFFFF);
    EXPECT_EQ(10, pxm_draw_line_blend(&im.s, 0, 0, 9, 4, 0xFF000000, 0));
    EXPECT_EQ(72, im.count(0x00FFFFFF));
    EXPECT_EQ(10, pxm_draw_line_blend(&im.s, 0, 0, 9, 4, 0x80000000, 0));
    // Black at weight 129 over white: 255 * 129 / 256 = 128 per lane.
    EXPECT_EQ(0x00808080u, im.at(9, 4));
    EXPECT_EQ(10, im.count(0x00808080));
    // Transparency 0 stores the colour itself.
    EXPECT_EQ(8, pxm_draw_line_blend(&im.s, 0, 5, 7, 5, 0x00123456, 0));
    EXPECT_EQ(8, im.count(0x00123456));
}

TEST_P(PixmoorShapes, FillRectExclusiveWithSwappedCorners)
{
    Image im(12, 12);
    EXPECT_EQ(1, pxm_fill_rect(&im.s, 10, 10, 0, 0, 0x7F123456, PXM_EXCLUSIVE));
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < 12; x++)
            ASSERT_EQ(x < 10 && y < 10 ? 0x7F123456u : 0u, im.at(x, y)) << x << "," << y;
}

TEST_P(PixmoorShapes, FillRectClampsClipsAndRejects)
{
    Image im(8, 8);
    EXPECT_EQ(0, pxm_fill_rect(&im.s, 8, 0, 20, 7, INK, 0));
    EXPECT_EQ(0, pxm_fill_rect(&im.s, -9, -9, -1, 7, INK, 0));
    EXPECT_EQ(0, im.count(INK));
    pxm_set_clip(2, 3, 4, 100);
    EXPECT_EQ(1, pxm_fill_rect(&im.s, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INK, PXM_CLIP));
    EXPECT_EQ(15, im.count(INK));
    for (int y = 3; y < 8; y++)
        for (int x = 2; x <= 4; x++)
            ASSERT_EQ(INK, im.at(x, y));
    pxm_set_clip(5, 5, 4, 4); // inverted: nothing
    EXPECT_EQ(0, pxm_fill_rect(&im.s, 0, 0, 7, 7, 0, PXM_CLIP));
    EXPECT_EQ(15, im.count(INK));
    pxm_set_clip(0, 0, 0, 0);
    // The exclusive corner of INT_MIN does not wrap around.
    EXPECT_EQ(0, pxm_fill_rect(&im.s, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INK, PXM_EXCLUSIVE));
    EXPECT_EQ(1, pxm_fill_rect(&im.s, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INK, PXM_EXCLUSIVE));
    EXPECT_EQ(64, im.count(INK));
    EXPECT_EQ(PXM_STATUS_OK, pxm_thread_state()->status);
}

// Every run width and start offset (the cached stores align to 16 bytes
// first), and a fill larger than any processor cache (the stores that bypass
// it): exactly the rectangle's pixels change.
TEST_P(PixmoorShapes, OpaqueFillOfEveryWidthOffsetAndAHugeOne)
{
    Image im(48, 6, 0x01010101);
    for (int x1 = 0; x1 < 4; x1++)
        for (int w = 1; w <= 40; w++) {
            std::fill(im.block.begin(), im.block.end(), 0x01010101u);
            ASSERT_EQ(1, pxm_fill_rect(&im.s, x1, 1, x1 + w - 1, 4, INK, 0));
            for (int y = 0; y < 6; y++)
                for (int x = 0; x < 48; x++)
                    ASSERT_EQ(x >= x1 && x < x1 + w && y >= 1 && y <= 4 ? INK : 0x01010101u, im.at(x, y))
                        << x1 << " " << w << " at " << x << "," << y;
        }
    Image huge(4099, 4098, 0x01010101);
    ASSERT_EQ(1, pxm_fill_rect(&huge.s, 1, 1, 4097, 4096, INK, 0));
    EXPECT_EQ(4097 * 4096, huge.count(INK));
    for (int y : {0, 4097})
        for (int x = 0; x < 4099; x++)
            ASSERT_EQ(0x01010101u, huge.at(x, y)) << x << "," << y;
    for (int y = 0; y < 4098; y++) {
        ASSERT_EQ(0x01010101u, huge.at(0, y)) << y;
        ASSERT_EQ(0x01010101u, huge.at(4098, y)) << y;
    }
}

TEST_P(PixmoorShapes, FillRectBlendValues)
{
    Image im(40, 3, 0x40FFFFFF);
    EXPECT_EQ(1, pxm_fill_rect_blend(&im.s, 0, 0, 39, 0, 0x80000000, 0));
    EXPECT_EQ(1, pxm_fill_rect_blend(&im.s, 0, 1, 39, 1, 0xFF000000, 0));
    EXPECT_EQ(1, pxm_fill_rect_blend(&im.s, 0, 2, 39, 2, 0x00204060, 0));
    for (int x = 0; x < 40; x++) {
        // Weight 129: lanes 255 * 129 / 256 = 128, transparency 64 * 129 / 256 = 32.
        ASSERT_EQ(0x20808080u, im.at(x, 0)) << x;
        ASSERT_EQ(0x40FFFFFFu, im.at(x, 1)) << x;
        ASSERT_EQ(0x00204060u, im.at(x, 2)) << x;
    }
    uint32_t colours[] = {0x01102030, 0x7FFFFFFF, 0xFE0000FF, 0x8099AA00};
    for (uint32_t c : colours) {
        Image b(37, 2, 0x33445566);
        b.ref(5, 1) = 0xFF000000;
        Image want = b;
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 37; x++)
                want.ref(x, y) = pxt::over_ref(want.at(x, y), c);
        EXPECT_EQ(1, pxm_fill_rect_blend(&b.s, 0, 0, 36, 1, c, 0));
        EXPECT_TRUE(want.block == b.block) << std::hex << c;
    }
}

TEST_P(PixmoorShapes, RingsAgainstFill)
{
    // Thickness 5 on 10 x 10 draws five rings; 6 exceeds half and fills.
    Image rings(12, 12);
    EXPECT_EQ((36 + 28 + 20 + 12 + 4) | 1, pxm_draw_rect(&rings.s, 0, 0, 9, 9, 5, INK, PXM_EXCLUSIVE));
    Image filled(12, 12);
    EXPECT_EQ(1, pxm_draw_rect(&filled.s, 0, 0, 9, 9, 6, INK, 0));
    EXPECT_EQ(100, rings.count(INK));
    EXPECT_TRUE(rings.block == filled.block);
    // The flags reach the fill: exclusive leaves out a column and a row.
    Image excl(12, 12);
    EXPECT_EQ(1, pxm_draw_rect(&excl.s, 0, 0, 9, 9, 6, INK, PXM_EXCLUSIVE));
    EXPECT_EQ(81, excl.count(INK));
    EXPECT_EQ(0u, excl.at(9, 0));
}

TEST_P(PixmoorShapes, ThinOutlineLeavesTheInside)
{
    Image im(10, 10);
    EXPECT_EQ((36 + 28) | 1, pxm_draw_rect(&im.s, 9, 9, 0, 0, 2, INK, 0));
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++) {
            bool ring = x < 2 || y < 2 || x > 7 || y > 7;
            ASSERT_EQ(ring ? INK : 0u, im.at(x, y)) << x << "," << y;
        }
    EXPECT_EQ(1, pxm_draw_rect(&im.s, 2, 2, 7, 7, 0, 0x00ABCDEF, 0));
    EXPECT_EQ(1, pxm_draw_rect(&im.s, 2, 2, 7, 7, -3, 0x00ABCDEF, 0));
    EXPECT_EQ(0, im.count(0x00ABCDEF));
}

TEST_P(PixmoorShapes, DegenerateOutlineIsItsTopEdge)
{
    Image im(10, 10);
    EXPECT_EQ(1, pxm_draw_rect(&im.s, 3, 2, 3, 8, 2, INK, 0));
    EXPECT_EQ((PixelSet{{3, 2}}), inked(im));
    EXPECT_EQ(5, pxm_draw_rect(&im.s, 1, 6, 5, 6, 3, INK, 0));
    EXPECT_EQ(6, im.count(INK));
}

TEST_P(PixmoorShapes, BlendedOutlineCoversCornersOnce)
{
    Image im(8, 8, 0x00FFFFFF);
    EXPECT_EQ((28 + 20) | 1, pxm_draw_rect_blend(&im.s, 0, 0, 7, 7, 2, 0x80000000, 0));
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
            bool ring = x < 2 || y < 2 || x > 5 || y > 5;
            ASSERT_EQ(ring ? 0x00808080u : 0x00FFFFFFu, im.at(x, y)) << x << "," << y;
        }
    // Transparency 0 hands over to the opaque outline, 255 changes nothing.
    EXPECT_EQ(29, pxm_draw_rect_blend(&im.s, 0, 0, 7, 7, 1, 0xFF000000, 0));
    EXPECT_EQ(48, im.count(0x00808080));
    EXPECT_EQ(29, pxm_draw_rect_blend(&im.s, 0, 0, 7, 7, 1, 0x00000000, 0));
    EXPECT_EQ(28, im.count(0));
}

TEST_P(PixmoorShapes, OutlinesFarOutside)
{
    Image im(8, 8);
    // Every ring lies around the surface: nothing drawn, at once.
    EXPECT_EQ(1, pxm_draw_rect(&im.s, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1000, INK, 0));
    EXPECT_EQ(0, im.count(INK));
    // The innermost of 2^31 - 1 rings have right and bottom edges 7 down to 1.
    Image all(8, 8);
    EXPECT_EQ(3 + 5 + 7 + 9 + 11 + 13 + 15, pxm_draw_rect(&all.s, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INK, 0));
    EXPECT_EQ(63, all.count(INK));
    EXPECT_EQ(0u, all.at(0, 0));
    // Rings 2 and 3 cross the surface: their top and left edges show.
    EXPECT_EQ((7 + 8 + 6 + 7) | 1, pxm_draw_rect(&im.s, -2, -2, INT_MAX, INT_MAX, 4, INK, 0));
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
            bool ring = y == 0 || x == 0 || (y == 1 && x >= 1) || (x == 1 && y >= 1);
            ASSERT_EQ(ring ? INK : 0u, im.at(x, y)) << x << "," << y;
        }
    // A billion rings of which only the last five cross the surface, with
    // their right and bottom edges at 7, 6, 5, 4 and 3.
    Image big(8, 8);
    EXPECT_EQ(55, pxm_draw_rect(&big.s, -1000000000, -1000000000, 1000000000, 1000000000, 1000000000 - 2, INK, 0));
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            ASSERT_EQ(x >= 3 || y >= 3 ? INK : 0u, big.at(x, y)) << x << "," << y;
}

TEST_P(PixmoorShapes, OnePixelSurface)
{
    Image im(1, 1);
    EXPECT_EQ(1, pxm_draw_line(&im.s, 0, 0, 0, 0, INK, 0));
    im.ref(0, 0) = 0;
    EXPECT_EQ(11, pxm_draw_line(&im.s, -5, -5, 5, 5, INK, 0));
    EXPECT_EQ(INK, im.at(0, 0));
    EXPECT_EQ(1, pxm_fill_rect(&im.s, -1, -1, 1, 1, 0x00000001, 0));
    EXPECT_EQ(1u, im.at(0, 0));
    // The single pixel is the inside of this ring: nothing is drawn.
    EXPECT_EQ(1, pxm_draw_rect(&im.s, -1, -1, 1, 1, 1, INK, 0));
    EXPECT_EQ(1u, im.at(0, 0));
    EXPECT_EQ(1, pxm_fill_rect_blend(&im.s, 0, 0, 0, 0, 0x80FFFFFF, 0));
    EXPECT_EQ(pxt::over_ref(1, 0x80FFFFFF), im.at(0, 0));
    EXPECT_EQ(0, pxm_fill_rect(&im.s, 0, 0, 0, 0, INK, PXM_EXCLUSIVE));
}

TEST_P(PixmoorShapes, NullSurfaceAndEmptyPixelsDrawNothing)
{
    PxmSurface empty;
    memset(&empty, 0, sizeof(empty));
    empty.width = 4;
    empty.height = 4;
    EXPECT_EQ(0, pxm_fill_rect(nullptr, 0, 0, 3, 3, INK, 0));
    EXPECT_EQ(0, pxm_fill_rect(&empty, 0, 0, 3, 3, INK, 0));
    EXPECT_EQ(0, pxm_draw_line(&empty, 0, 0, 3, 2, INK, 0));
    EXPECT_EQ(0, pxm_draw_line_blend(nullptr, 0, 0, 3, 2, INK, 0));
    EXPECT_EQ(1, pxm_draw_rect(&empty, 0, 0, 3, 3, 1, INK, 0));
}

// Spans at every length and offset, on rows that start right after and end
// right before an inaccessible page, and at addresses not 4-byte aligned.
TEST_P(PixmoorShapes, SpansMatchTheirDefinitions)
{
    pxt::Rng rng(99 + GetParam());
    const uint32_t colours[] = {0x00A1B2C3, 0x80102030, 0xFF00FF00, 0x01FFFFFF, 0xFEFFFFFF, 0x7F000000};
    for (int misalign = 0; misalign < 4; misalign += 1) {
        for (int len = 1; len <= 100; len++) {
            for (bool at_end : {false, true}) {
                const size_t page = 4096;
                unsigned char *base = (unsigned char *)VirtualAlloc(nullptr, 3 * page, MEM_RESERVE | MEM_COMMIT,
                                                                    PAGE_READWRITE);
                ASSERT_TRUE(base);
                DWORD old;
                VirtualProtect(base, page, PAGE_NOACCESS, &old);
                VirtualProtect(base + 2 * page, page, PAGE_NOACCESS, &old);
                size_t bytes = (size_t)len * 4;
                unsigned char *start = at_end ? base + 2 * page - bytes : base + page + misalign;
                uint32_t *row = (uint32_t *)start;
                std::vector<uint32_t> init(len), want(len), got(len);
                for (uint32_t c : colours) {
                    for (int x1 = 0; x1 < len; x1 += 1 + len / 5) {
                        int x2 = rng.range(x1 - 1, len - 1);
                        for (int i = 0; i < len; i++)
                            init[i] = rng.pixel();
                        for (int blend = 0; blend < 2; blend++) {
                            memcpy(start, init.data(), bytes);
                            for (int i = 0; i < len; i++)
                                want[i] = i < x1 || i > x2 ? init[i] : blend ? pxt::over_ref(init[i], c) : c;
                            if (blend)
                                pxm_blend_span(row, x1, x2, c);
                            else
                                pxm_fill_span(row, x1, x2, c);
                            memcpy(got.data(), start, bytes);
                            ASSERT_TRUE(want == got) << "len " << len << " x1 " << x1 << " x2 " << x2 << " blend "
                                                     << blend << " misalign " << misalign << std::hex << " c " << c;
                        }
                    }
                }
                VirtualFree(base, 0, MEM_RELEASE);
            }
        }
    }
}

} // namespace
