// Flood fill: flood and boundary modes against a plain breadth-first
// reference, glyph holes, the bounding box, start points that do nothing,
// a maze that outgrows the built-in seed stack, and a fill cut short at
// the stack's limit.
#include <gtest/gtest.h>

#include <deque>
#include <limits.h>

#include "pixmoor.h"
#include "pixmoor_image.h"
#include "pixmoor_test_util.h"

namespace {

using pxt::Image;

const uint32_t BLACK = 0x00000000, WHITE = 0x00FFFFFF, CLEAR = 0xFFFFFFFF;

class PixmoorFlood : public ::testing::Test {
protected:
    void SetUp() override { pxm_startup(0); }
};

// Region reachable from (x, y) through 4-neighbours that pass `inside`.
template <typename F> std::vector<char> reach(const Image &im, int x, int y, F inside)
{
    int w = im.s.width, h = im.s.height;
    std::vector<char> seen((size_t)w * h, 0);
    std::deque<std::pair<int, int>> q;
    seen[(size_t)y * w + x] = 1;
    q.push_back({x, y});
    while (!q.empty()) {
        auto p = q.front();
        q.pop_front();
        const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
        for (int k = 0; k < 4; k++) {
            int nx = p.first + dx[k], ny = p.second + dy[k];
            if (nx < 0 || ny < 0 || nx >= w || ny >= h || seen[(size_t)ny * w + nx] || !inside(im.at(nx, ny)))
                continue;
            seen[(size_t)ny * w + nx] = 1;
            q.push_back({nx, ny});
        }
    }
    return seen;
}

// Checks that exactly the region became `fill` and the box bounds it.
void expect_filled(const Image &before, const Image &after, const std::vector<char> &region, uint32_t fill,
                   const int32_t box[4])
{
    int w = before.s.width, h = before.s.height;
    int l = INT_MAX, t = INT_MAX, r = INT_MIN, b = INT_MIN;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            bool in = region[(size_t)y * w + x];
            ASSERT_EQ(in ? fill : before.at(x, y), after.at(x, y)) << x << "," << y;
            if (in) {
                l = std::min(l, x);
                t = std::min(t, y);
                r = std::max(r, x);
                b = std::max(b, y);
            }
        }
    EXPECT_EQ(l, box[0]);
    EXPECT_EQ(t, box[1]);
    EXPECT_EQ(r, box[2]);
    EXPECT_EQ(b, box[3]);
}

TEST_F(PixmoorFlood, UniformSurfaceBecomesTheFill)
{
    Image im(37, 23, 0x00336699);
    int32_t box[4] = {0, 0, 0, 0};
    EXPECT_EQ(1, pxm_flood_fill(&im.s, 11, 7, 0, 0x00FF0000, 0, box));
    EXPECT_EQ(37 * 23, im.count(0x00FF0000));
    EXPECT_EQ(0, box[0]);
    EXPECT_EQ(0, box[1]);
    EXPECT_EQ(36, box[2]);
    EXPECT_EQ(22, box[3]);
    EXPECT_EQ(PXM_STATUS_OK, pxm_thread_state()->status);
}

// White glyphs on black: an "o" (a ring with a hole), a "b" with its bowl,
// and a bar.
Image glyphs()
{
    Image im(40, 16, BLACK);
    for (int y = 3; y <= 11; y++)
        for (int x = 3; x <= 11; x++)
            if (x == 3 || x == 11 || y == 3 || y == 11)
                im.ref(x, y) = WHITE;
    for (int y = 1; y <= 12; y++)
        im.ref(16, y) = WHITE;
    for (int x = 16; x <= 22; x++) {
        im.ref(x, 6) = WHITE;
        im.ref(x, 12) = WHITE;
    }
    for (int y = 6; y <= 12; y++)
        im.ref(22, y) = WHITE;
    for (int x = 27; x <= 37; x++)
        im.ref(x, 8) = WHITE;
    return im;
}

TEST_F(PixmoorFlood, BackgroundAroundGlyphsKeepsTheirHoles)
{
    Image im = glyphs(), before = glyphs();
    EXPECT_EQ(1, pxm_flood_fill(&im.s, 0, 0, 0, CLEAR, 0x12345678, nullptr));
    EXPECT_EQ(BLACK, im.at(7, 7));   // inside the o
    EXPECT_EQ(BLACK, im.at(19, 9));  // inside the bowl of the b
    EXPECT_EQ(WHITE, im.at(3, 3));
    EXPECT_EQ(CLEAR, im.at(0, 15));
    EXPECT_EQ(CLEAR, im.at(30, 7));
    int32_t box[4];
    Image again = glyphs();
    EXPECT_EQ(1, pxm_flood_fill(&again.s, 0, 0, 0, CLEAR, 0, box));
    expect_filled(before, again, reach(before, 0, 0, [](uint32_t p) { return p == BLACK; }), CLEAR, box);
    EXPECT_TRUE(im.block == again.block);
}

TEST_F(PixmoorFlood, BoundaryModeRecoloursEverythingInside)
{
    const uint32_t RED = 0x00FF0000, FILL = 0x0000FF00;
    Image im(20, 20, 0x00010203);
    for (int i = 4; i <= 15; i++) {
        im.ref(i, 4) = RED;
        im.ref(i, 15) = RED;
        im.ref(4, i) = RED;
        im.ref(15, i) = RED;
    }
    pxt::Rng rng(5);
    for (int y = 5; y <= 14; y++)
        for (int x = 5; x <= 14; x++)
            im.ref(x, y) = rng.pixel() & 0x7FFFFFFF;
    im.ref(9, 9) = WHITE;
    Image before = im;
    int32_t box[4];
    EXPECT_EQ(1, pxm_flood_fill(&im.s, 9, 9, 0x7700, FILL, RED, box)); // low byte 0: flood mode
    EXPECT_EQ(1, im.count(FILL));
    im = before;
    EXPECT_EQ(1, pxm_flood_fill(&im.s, 9, 9, 3, FILL, RED, box));
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++) {
            bool inside = x > 4 && x < 15 && y > 4 && y < 15;
            ASSERT_EQ(inside ? FILL : before.at(x, y), im.at(x, y)) << x << "," << y;
        }
    EXPECT_EQ(5, box[0]);
    EXPECT_EQ(5, box[1]);
    EXPECT_EQ(14, box[2]);
    EXPECT_EQ(14, box[3]);
}

TEST_F(PixmoorFlood, StartsThatDoNothing)
{
    Image im = glyphs(), before = glyphs();
    int32_t box[4] = {9, 9, 9, 9};
    EXPECT_EQ(0, pxm_flood_fill(&im.s, -1, 0, 0, CLEAR, 0, box));
    EXPECT_EQ(-1, box[0]);
    EXPECT_EQ(0, box[1]);
    EXPECT_EQ(-1, box[2]);
    EXPECT_EQ(0, box[3]);
    EXPECT_EQ(0, pxm_flood_fill(&im.s, 40, 3, 0, CLEAR, 0, box));
    EXPECT_EQ(0, pxm_flood_fill(&im.s, 0, 16, 0, CLEAR, 0, nullptr));
    // The fill colour is the start pixel's colour (flood) or the boundary (boundary mode).
    EXPECT_EQ(0, pxm_flood_fill(&im.s, 5, 1, 0, BLACK, 0, box));
    EXPECT_EQ(5, box[0]);
    EXPECT_EQ(1, box[3]);
    EXPECT_EQ(0, pxm_flood_fill(&im.s, 5, 1, 1, WHITE, WHITE, box));
    // Starting on the boundary itself fills nothing.
    EXPECT_EQ(0, pxm_flood_fill(&im.s, 3, 3, 1, CLEAR, WHITE, box));
    EXPECT_EQ(0, pxm_flood_fill(nullptr, 0, 0, 0, CLEAR, 0, box));
    EXPECT_TRUE(im.block == before.block);
}

TEST_F(PixmoorFlood, OnePixelAndOneRowSurfaces)
{
    Image one(1, 1, BLACK);
    int32_t box[4];
    EXPECT_EQ(1, pxm_flood_fill(&one.s, 0, 0, 0, WHITE, 0, box));
    EXPECT_EQ(WHITE, one.at(0, 0));
    EXPECT_EQ(0, box[0] | box[1] | box[2] | box[3]);
    Image row(9, 1, BLACK);
    row.ref(4, 0) = WHITE;
    EXPECT_EQ(1, pxm_flood_fill(&row.s, 6, 0, 0, CLEAR, 0, box));
    EXPECT_EQ(BLACK, row.at(3, 0));
    EXPECT_EQ(CLEAR, row.at(5, 0));
    EXPECT_EQ(5, box[0]);
    EXPECT_EQ(8, box[2]);
}

TEST_F(PixmoorFlood, RandomMazesMatchTheReference)
{
    pxt::Rng rng(31337);
    for (int round = 0; round < 400; round++) {
        int w = rng.range(1, 70), h = rng.range(1, 50), stride = w + rng.range(0, 3);
        Image im(w, h, 0xA5A5A5A5, stride);
        int wall = rng.range(20, 60);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                im.ref(x, y) = rng.range(0, 99) < wall ? WHITE : BLACK;
        int x = rng.range(0, w - 1), y = rng.range(0, h - 1);
        Image before = im;
        int32_t box[4];
        bool boundary = rng.next() % 2;
        uint32_t start = im.at(x, y);
        if (boundary && start == WHITE)
            continue;
        int32_t r = boundary ? pxm_flood_fill(&im.s, x, y, 1, CLEAR, WHITE, box)
                             : pxm_flood_fill(&im.s, x, y, 0, CLEAR, 0, box);
        ASSERT_EQ(1, r);
        auto region = boundary ? reach(before, x, y, [](uint32_t p) { return p != WHITE; })
                               : reach(before, x, y, [start](uint32_t p) { return p == start; });
        expect_filled(before, im, region, CLEAR, box);
        if (::testing::Test::HasFailure())
            FAIL() << "round " << round << " " << w << "x" << h << " from " << x << "," << y << " boundary "
                   << boundary;
        // Padding after each row is never touched.
        for (int yy = 0; yy < h; yy++)
            for (int xx = w; xx < stride; xx++)
                ASSERT_EQ(0xA5A5A5A5u, im.block[(size_t)yy * stride + xx]);
    }
}

// Full rows joined by comb rows (every second pixel open): each full row
// pushes one seed per tooth above and below, and the fill goes down the
// last tooth first, so about `width` seeds stay pending per pair of rows.
Image comb_maze(int w, int pairs)
{
    Image im(w, 2 * pairs + 1, BLACK);
    for (int y = 1; y < im.s.height; y += 2)
        for (int x = 1; x < w; x += 2)
            im.ref(x, y) = WHITE;
    return im;
}

TEST_F(PixmoorFlood, MazeOutgrowsTheBuiltInSeedStack)
{
    // About 20 x 1000 = 20,000 pending seeds, five times the built-in 4096.
    Image im = comb_maze(1000, 20);
    int32_t box[4];
    EXPECT_EQ(1, pxm_flood_fill(&im.s, 0, 0, 0, CLEAR, 0, box));
    EXPECT_EQ(0, im.count(BLACK));
    EXPECT_EQ(20 * 500, im.count(WHITE));
    EXPECT_EQ(0, box[0]);
    EXPECT_EQ(0, box[1]);
    EXPECT_EQ(999, box[2]);
    EXPECT_EQ(40, box[3]);
    // The same from the bottom right, in boundary mode.
    Image b = comb_maze(1000, 20);
    EXPECT_EQ(1, pxm_flood_fill(&b.s, 999, 40, 1, CLEAR, WHITE, nullptr));
    EXPECT_TRUE(b.block == im.block);
}

TEST_F(PixmoorFlood, FillCutShortAtTheLimitLeavesAConsistentSurface)
{
    // 4096 wide: about 4095 seeds stay pending per pair of rows, so 560
    // pairs need more than the 2,097,152 the stack may hold.
    Image im = comb_maze(4096, 560);
    Image before = im;
    int32_t box[4];
    EXPECT_EQ(-1, pxm_flood_fill(&im.s, 0, 0, 0, CLEAR, 0, box));
    int filled = 0, left_black = 0;
    int l = INT_MAX, t = INT_MAX, r = INT_MIN, b = INT_MIN;
    for (int y = 0; y < im.s.height; y++)
        for (int x = 0; x < im.s.width; x++) {
            uint32_t p = im.at(x, y), o = before.at(x, y);
            if (p == CLEAR) {
                ASSERT_EQ(BLACK, o) << x << "," << y;
                filled++;
                l = std::min(l, x);
                t = std::min(t, y);
                r = std::max(r, x);
                b = std::max(b, y);
            } else {
                ASSERT_EQ(o, p) << x << "," << y;
                left_black += p == BLACK;
            }
        }
    EXPECT_GT(filled, 2000000);
    EXPECT_GT(left_black, 0);
    EXPECT_EQ(l, box[0]);
    EXPECT_EQ(t, box[1]);
    EXPECT_EQ(r, box[2]);
    EXPECT_EQ(b, box[3]);
    // Without a box the cut-short fill is reported the same way.
    Image nobox = comb_maze(4096, 560);
    EXPECT_EQ(-1, pxm_flood_fill(&nobox.s, 0, 0, 0, CLEAR, 0, nullptr));
    EXPECT_TRUE(nobox.block == im.block);
    // One pair of rows fewer than needed completes.
    Image fits = comb_maze(4096, 500);
    EXPECT_EQ(1, pxm_flood_fill(&fits.s, 0, 0, 0, CLEAR, 0, nullptr));
    EXPECT_EQ(0, fits.count(BLACK));
}

} // namespace
