// Scaled blits: exact values of the four filters, their sample positions,
// the filter choice, blend modes on filtered samples, status stages, and
// the smooth resizing modes of surfaces built on them.
#include <gtest/gtest.h>

#include <math.h>
#include <vector>

#include "pixmoor.h"
#include "pixmoor_image.h"
#include "pixmoor_test_util.h"

namespace {

using pxt::byte_of;
using pxt::px;

int32_t status() { return pxm_thread_state()->status; }

// floor of the per-byte mean of the pixels.
uint32_t mean_ref(const std::vector<uint32_t> &p)
{
    uint32_t r = 0;
    for (int k = 0; k < 4; k++) {
        uint32_t sum = 0;
        for (uint32_t v : p)
            sum += byte_of(v, k);
        r |= (sum / (uint32_t)p.size()) << (8 * k);
    }
    return r;
}

// The integer form's box quotient: sum * floor(65536 / n) >> 16 below 256 pixels.
uint32_t mean_reciprocal_ref(const std::vector<uint32_t> &p)
{
    uint32_t r = 0, n = (uint32_t)p.size();
    for (int k = 0; k < 4; k++) {
        uint32_t sum = 0;
        for (uint32_t v : p)
            sum += byte_of(v, k);
        r |= (uint32_t)(((uint64_t)sum * (65536 / n)) >> 16) << (8 * k);
    }
    return r;
}

void fill_random(pxt::Image &m, pxt::Rng &rng)
{
    for (uint32_t &v : m.block)
        v = rng.pixel();
}

class StretchLevels : public pxt::Levels {
protected:
    void SetUp() override
    {
        pxt::Levels::SetUp();
        if (IsSkipped())
            return;
        pxm_set_clip(0, 0, 0, 0);
    }
    bool sse2() const { return GetParam() >= 2; }
};

INSTANTIATE_TEST_SUITE_P(Forms, StretchLevels, ::testing::Values(0, 2, 4, 5));

TEST_P(StretchLevels, FourSampleCopyHalvesByBlockAverage)
{
    pxt::Rng rng(11);
    for (int w : {2, 91}) {
        pxt::Image src(2 * w, 6), dst(w, 3);
        fill_random(src, rng);
        EXPECT_EQ(1, pxm_stretch_copy(&dst.s, 0, 0, w - 1, 2, &src.s, 0, 0, 2 * w - 1, 5, 0));
        EXPECT_EQ(1, status());
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < w; x++)
                ASSERT_EQ(mean_ref({src.at(2 * x, 2 * y), src.at(2 * x + 1, 2 * y), src.at(2 * x, 2 * y + 1),
                                    src.at(2 * x + 1, 2 * y + 1)}),
                          dst.at(x, y))
                    << w << ": " << x << "," << y;
    }
}

TEST_P(StretchLevels, FourSampleBlitSamplesBackTowardThePreviousPixel)
{
    pxt::Rng rng(12);
    pxt::Image src(4, 4), dst(2, 2, 0x00123456);
    for (uint32_t &v : src.block)
        v = rng.next() & 0x00FFFFFF; // opaque: the over blend stores the sample
    EXPECT_EQ(1, pxm_stretch_blit(&dst.s, 0, 0, 1, 1, &src.s, 0, 0, 3, 3, PXM_BLEND_OVER));
    EXPECT_EQ(src.at(0, 0), dst.at(0, 0));
    EXPECT_EQ(mean_ref({src.at(2, 2), src.at(1, 2), src.at(2, 1), src.at(1, 1)}), dst.at(1, 1));
    // (1, 0): columns cur = 2 and mid = 1, rows 0 and 0.
    EXPECT_EQ(mean_ref({src.at(2, 0), src.at(1, 0), src.at(2, 0), src.at(1, 0)}), dst.at(1, 0));
}

TEST_P(StretchLevels, BoxCopyAveragesBlocksRoundingDown)
{
    pxt::Image src(4, 4), dst(2, 2);
    // Lane sums 1 + 2 + 3 + 5 = 11 round down to 2.
    uint32_t block[4] = {0x01010101, 0x02020202, 0x03030303, 0x05050505};
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            src.ref(x, y) = block[(x & 1) + 2 * (y & 1)] + (uint32_t)(x / 2 + 2 * (y / 2)) * 0x10101010;
    EXPECT_EQ(1, pxm_stretch_copy(&dst.s, 0, 0, 1, 1, &src.s, 0, 0, 3, 3, PXM_HIGH_QUALITY));
    EXPECT_EQ(0x02020202u, dst.at(0, 0));
    EXPECT_EQ(0x12121212u, dst.at(1, 0));
    EXPECT_EQ(0x22222222u, dst.at(0, 1));
    EXPECT_EQ(0x32323232u, dst.at(1, 1));
}

TEST_P(StretchLevels, SquareBoxReductionsAreBlockMeans)
{
    // Blocks of 4 to 289 pixels; the integer form divides by its 16-bit
    // reciprocal below 256 pixels (exact for 4 and 16).
    pxt::Rng rng(22);
    for (int f : {2, 3, 4, 5, 17}) {
        pxt::Image src(37 * f + 1, 3 * f), dst(37, 3);
        fill_random(src, rng);
        EXPECT_EQ(1, pxm_stretch_copy(&dst.s, 0, 0, 36, 2, &src.s, 1, 0, 37 * f, 3 * f - 1, PXM_HIGH_QUALITY));
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 37; x++) {
                std::vector<uint32_t> block;
                for (int r = 0; r < f; r++)
                    for (int k = 0; k < f; k++)
                        block.push_back(src.at(1 + f * x + k, f * y + r));
                uint32_t expect = sse2() || f * f >= 256 ? mean_ref(block) : mean_reciprocal_ref(block);
                ASSERT_EQ(expect, dst.at(x, y)) << f << ": " << x << "," << y;
            }
    }
}

TEST_P(StretchLevels, BoxBlitBlocks)
{
    pxt::Rng rng(13);
    pxt::Image src(4, 4), dst(2, 2);
    for (uint32_t &v : src.block)
        v = rng.next() & 0x00FFFFFF;
    EXPECT_EQ(1, pxm_stretch_blit(&dst.s, 0, 0, 1, 1, &src.s, 0, 0, 3, 3, PXM_HIGH_QUALITY));
    if (sse2()) {
        // Row 0, columns 0-1; rows 1-2, columns 2-3.
        EXPECT_EQ(mean_ref({src.at(0, 0), src.at(1, 0)}), dst.at(0, 0));
        EXPECT_EQ(mean_ref({src.at(2, 1), src.at(3, 1), src.at(2, 2), src.at(3, 2)}), dst.at(1, 1));
    } else {
        // Columns after the previous nearest position up to the pixel's own:
        // column 0 alone, then columns 1-2 of rows 1-2.
        EXPECT_EQ(src.at(0, 0), dst.at(0, 0));
        EXPECT_EQ(mean_reciprocal_ref({src.at(1, 1), src.at(2, 1), src.at(1, 2), src.at(2, 2)}), dst.at(1, 1));
    }
}

TEST_P(StretchLevels, BoxQuotientOfTheIntegerFormCanBeOneLower)
{
    pxt::Image src(3, 1, 0x00FFFFFF), dst(1, 1);
    EXPECT_EQ(1, pxm_stretch_copy(&dst.s, 0, 0, 0, 0, &src.s, 0, 0, 2, 0, PXM_HIGH_QUALITY));
    // 765 * floor(65536 / 3) >> 16 = 254; 765 / 3 = 255.
    EXPECT_EQ(sse2() ? 0x00FFFFFFu : 0x00FEFEFEu, dst.at(0, 0));
}

// The nearest-neighbour position and fraction of the mapping, computed the
// long way: the first shift from 11 that spreads the span over 2^29.
void axis_ref(int64_t dlen, int64_t slen, int64_t *step, int *shift)
{
    for (*shift = 11;; (*shift)++) {
        *step = (slen << *shift) / dlen;
        if (*shift == 24 || (dlen - 1) * *step >= ((int64_t)1 << 29))
            return;
    }
}

TEST_P(StretchLevels, NineByNineFromTenWithTheFlagIsBicubic)
{
    pxt::Rng rng(14);
    // Then a wide enlargement: long runs and an odd count of columns.
    const int sizes[2][4] = {{10, 10, 9, 9}, {70, 5, 101, 7}};
    for (const int *z : sizes) {
        int sw = z[0], sh = z[1], dw = z[2], dh = z[3];
        pxt::Image src(sw, sh), dst(dw, dh);
        fill_random(src, rng);
        EXPECT_EQ(1, pxm_stretch_copy(&dst.s, 0, 0, dw - 1, dh - 1, &src.s, 0, 0, sw - 1, sh - 1, PXM_HIGH_QUALITY));
        int64_t sx, sy;
        int hx, hy;
        axis_ref(dw, sw, &sx, &hx);
        axis_ref(dh, sh, &sy, &hy);
        int differs_from_source = 0;
        for (int y = 0; y < dh; y++)
            for (int x = 0; x < dw; x++) {
                int64_t px_ = x * sx, py_ = y * sy;
                int i = (int)(px_ >> hx), j = (int)(py_ >> hy);
                int fx = (int)((px_ >> (hx - 8)) & 255), fy = (int)((py_ >> (hy - 8)) & 255);
                uint32_t n[16];
                for (int r = 0; r < 4; r++)
                    for (int c = 0; c < 4; c++) {
                        int ix = std::min(sw - 1, std::max(0, i - 1 + c)), iy = std::min(sh - 1, std::max(0, j - 1 + r));
                        n[4 * r + c] = src.at(ix, iy);
                    }
                ASSERT_EQ(pxm_bicubic(n, fx, fy), dst.at(x, y)) << dw << ": " << x << "," << y;
                differs_from_source += x < sw && y < sh && dst.at(x, y) != src.at(x, y);
            }
        EXPECT_GT(differs_from_source, 0);
    }
}

TEST_P(StretchLevels, BilinearColumnsAndClampedNeighbours)
{
    pxt::Image src(2, 2), dst(4, 4);
    src.ref(0, 0) = 0x10203040;
    src.ref(1, 0) = 0x50607080;
    src.ref(0, 1) = 0x0000FF00;
    src.ref(1, 1) = 0xFF00FFFF;
    EXPECT_EQ(1, pxm_stretch_copy(&dst.s, 0, 0, 3, 3, &src.s, 0, 0, 1, 1, 0));
    EXPECT_EQ(src.at(0, 0), dst.at(0, 0));
    // Column 1: fx = 128 between columns 0 and 1: (a * 128 + b * 128) >> 8.
    EXPECT_EQ(0x30405060u, dst.at(1, 0));
    EXPECT_EQ(src.at(1, 0), dst.at(2, 0));
    // Column 3: source column 1, fx = 128, right neighbour clamped to column 1.
    EXPECT_EQ(src.at(1, 0), dst.at(3, 0));
    // (1, 1): fx = fy = 128, Z = 64, all four weights 64.
    uint32_t expect = 0;
    for (int k = 0; k < 4; k++)
        expect |= ((byte_of(src.at(0, 0), k) + byte_of(src.at(1, 0), k) + byte_of(src.at(0, 1), k) +
                    byte_of(src.at(1, 1), k)) *
                       64 >>
                   8)
                  << (8 * k);
    EXPECT_EQ(expect, dst.at(1, 1));
    EXPECT_EQ(src.at(1, 1), dst.at(3, 3));
}

TEST_P(StretchLevels, BilinearMatchesWeightsAtEveryFraction)
{
    pxt::Rng rng(15);
    // Then wide rows, blended over in chunks, and a row shrunk 2.2 times
    // (one pair of neighbouring columns in five lies too far apart for one
    // four-pixel window).
    const int sizes[3][4] = {{5, 4, 37, 29}, {250, 3, 601, 4}, {528, 2, 240, 3}};
    for (const int *z : sizes) {
        int sw = z[0], sh = z[1], dw = z[2], dh = z[3];
        pxt::Image src(sw, sh), dst(dw, dh);
        for (uint32_t &v : src.block)
            v = rng.next() & 0x00FFFFFF; // opaque: the over blend stores the sample
        if (sw == 5)
            EXPECT_EQ(1, pxm_stretch_copy(&dst.s, 0, 0, dw - 1, dh - 1, &src.s, 0, 0, sw - 1, sh - 1, 0));
        else
            EXPECT_EQ(1, pxm_stretch_blit(&dst.s, 0, 0, dw - 1, dh - 1, &src.s, 0, 0, sw - 1, sh - 1, PXM_BLEND_OVER));
        int64_t sx, sy;
        int hx, hy;
        axis_ref(dw, sw, &sx, &hx);
        axis_ref(dh, sh, &sy, &hy);
        for (int y = 0; y < dh; y++)
            for (int x = 0; x < dw; x++) {
                int i = (int)((x * sx) >> hx), j = (int)((y * sy) >> hy);
                uint32_t fx = (uint32_t)(((x * sx) >> (hx - 8)) & 255), fy = (uint32_t)(((y * sy) >> (hy - 8)) & 255);
                uint32_t z = fx * fy >> 8, w[4] = {256 - fx - fy + z, fx - z, fy - z, z};
                int i1 = std::min(i + 1, sw - 1), j1 = std::min(j + 1, sh - 1);
                uint32_t p[4] = {src.at(i, j), src.at(i1, j), src.at(i, j1), src.at(i1, j1)};
                uint32_t expect = 0;
                for (int k = 0; k < 4; k++) {
                    uint32_t sum = 0;
                    for (int q = 0; q < 4; q++)
                        sum += byte_of(p[q], k) * w[q];
                    expect |= (sum >> 8) << (8 * k);
                }
                ASSERT_EQ(expect, dst.at(x, y)) << dw << ": " << x << "," << y;
            }
    }
}

TEST_P(StretchLevels, TransparencyLaneIsFilteredLikeColour)
{
    pxt::Image src(2, 1), dst(4, 1);
    src.ref(0, 0) = 0x00000000;
    src.ref(1, 0) = 0xFF000000;
    EXPECT_EQ(1, pxm_stretch_copy(&dst.s, 0, 0, 3, 0, &src.s, 0, 0, 1, 0, 0));
    EXPECT_EQ(0x7F000000u, dst.at(1, 0));
}

TEST_P(StretchLevels, UniformBicubicKeepsTheValue)
{
    uint32_t n[16];
    for (uint32_t v : {0x00000000u, 0xFFFFFFFFu, 0x7F80017Eu, 0x12345678u}) {
        for (uint32_t &p : n)
            p = v;
        for (int fx = 0; fx < 256; fx += 5)
            for (int fy = 0; fy < 256; fy += 7)
                ASSERT_EQ(v, pxm_bicubic(n, fx, fy)) << fx << "," << fy;
    }
}

// Cubic convolution per lane, horizontally then vertically, straight from
// its definition: in single precision (each step stored to a float) with
// ties-to-even rounding for the SSE2 form, in truncated integer powers of
// the fraction for the integer form.
int32_t cubic_float_ref(int32_t p0, int32_t p1, int32_t p2, int32_t p3, int32_t f)
{
    volatile float t = (float)f / 256.0f;
    volatile float t2 = t * t;
    volatile float t3 = t2 * t;
    volatile float a3 = (float)(p3 - p2 - p0 + p1);
    volatile float x = a3 * t3;
    volatile float y = (float)(p0 - p1) - a3;
    volatile float y2 = y * t2;
    volatile float c = (float)(p2 - p0) * t;
    volatile float v = x + y2;
    v = v + c;
    v = v + (float)p1;
    float r = rintf(v);
    return r < 0 ? 0 : r > 255 ? 255 : (int32_t)r;
}

int32_t cubic_int_ref(int32_t p0, int32_t p1, int32_t p2, int32_t p3, int32_t f)
{
    int32_t t2 = (f * f) >> 8, t3 = (f * t2) >> 8, a3 = p3 - p2 - p0 + p1;
    int32_t v = (256 * p1 + f * (p2 - p0) + t2 * (p0 - p1 - a3) + t3 * a3 + 128) >> 8;
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

uint32_t bicubic_ref(const uint32_t *p, int fx, int fy, bool sse2)
{
    auto cubic = sse2 ? cubic_float_ref : cubic_int_ref;
    uint32_t r = 0;
    for (int k = 0; k < 4; k++) {
        int32_t v[4];
        for (int j = 0; j < 4; j++)
            v[j] = cubic((int32_t)byte_of(p[4 * j], k), (int32_t)byte_of(p[4 * j + 1], k),
                         (int32_t)byte_of(p[4 * j + 2], k), (int32_t)byte_of(p[4 * j + 3], k), fx);
        r |= (uint32_t)cubic(v[0], v[1], v[2], v[3], fy) << (8 * k);
    }
    return r;
}

TEST_P(StretchLevels, BicubicMatchesItsDefinition)
{
    pxt::Rng rng(16);
    uint32_t n[16];
    for (int i = 0; i < 20000; i++) {
        for (uint32_t &p : n)
            p = rng.next();
        int fx = (int)(rng.next() & 255), fy = (int)(rng.next() & 255);
        ASSERT_EQ(bicubic_ref(n, fx, fy, sse2()), pxm_bicubic(n, fx, fy)) << i;
    }
    // Overshoot clamps: a dark spike between bright neighbours.
    uint32_t spike[16];
    for (int k = 0; k < 16; k++)
        spike[k] = (k % 4 == 1) ? 0x00000000 : 0x00FFFFFF;
    EXPECT_EQ(bicubic_ref(spike, 128, 0, sse2()), pxm_bicubic(spike, 128, 0));
    EXPECT_EQ(0u, pxm_bicubic(spike, 0, 0));
}

TEST_P(StretchLevels, EqualRectanglesActAsCopyAndBlit)
{
    pxt::Rng rng(17);
    pxt::Image src(6, 5), a(8, 8), b(8, 8);
    fill_random(src, rng);
    fill_random(a, rng);
    b.block = a.block;
    EXPECT_EQ(pxm_copy(&a.s, 1, 2, 6, 6, &src.s, 0, 0, 5, 4, 0), pxm_stretch_copy(&b.s, 1, 2, 6, 6, &src.s, 0, 0, 5, 4, 0));
    EXPECT_EQ(a.block, b.block);
    EXPECT_EQ(pxm_blit(&a.s, 1, 2, 6, 6, &src.s, 0, 0, 5, 4, PXM_BLEND_AVERAGE),
              pxm_stretch_blit(&b.s, 1, 2, 6, 6, &src.s, 0, 0, 5, 4, PXM_BLEND_AVERAGE | PXM_HIGH_QUALITY));
    EXPECT_EQ(a.block, b.block);
    // A clip that misses: the copy fails, the blit succeeds.
    pxm_set_clip(100, 100, 200, 200);
    EXPECT_EQ(0, pxm_stretch_copy(&b.s, 1, 2, 6, 6, &src.s, 0, 0, 5, 4, PXM_CLIP));
    EXPECT_EQ(1, pxm_stretch_blit(&b.s, 1, 2, 6, 6, &src.s, 0, 0, 5, 4, PXM_CLIP));
    EXPECT_EQ(a.block, b.block);
    // Scaled, the same clip leaves nothing to draw and succeeds.
    EXPECT_EQ(1, pxm_stretch_copy(&b.s, 0, 0, 7, 7, &src.s, 0, 0, 5, 4, PXM_CLIP));
    EXPECT_EQ(a.block, b.block);
}

TEST_P(StretchLevels, ClipLimitsTheScaledPicture)
{
    pxt::Rng rng(18);
    pxt::Image src(4, 4), full(8, 8), clipped(8, 8, 0x00ABCDEF);
    fill_random(src, rng);
    EXPECT_EQ(1, pxm_stretch_copy(&full.s, 0, 0, 7, 7, &src.s, 0, 0, 3, 3, 0));
    pxm_set_clip(2, 3, 5, 6);
    EXPECT_EQ(1, pxm_stretch_copy(&clipped.s, 0, 0, 7, 7, &src.s, 0, 0, 3, 3, PXM_CLIP));
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
            bool inside = x >= 2 && x <= 5 && y >= 3 && y <= 6;
            EXPECT_EQ(inside ? full.at(x, y) : 0x00ABCDEFu, clipped.at(x, y)) << x << "," << y;
        }
}

TEST_P(StretchLevels, BlendModesApplyToFilteredSamples)
{
    pxt::Image src(2, 1), dst(4, 1, 0x40102030);
    src.ref(0, 0) = 0x30FFFFFF;
    src.ref(1, 0) = 0x30FFFFFF;
    // Mode 3: the sample's colour, the destination's transparency.
    EXPECT_EQ(1, pxm_stretch_blit(&dst.s, 0, 0, 3, 0, &src.s, 0, 0, 1, 0, PXM_BLEND_COLOR));
    EXPECT_EQ(0x40FFFFFFu, dst.at(2, 0));
    // Mode 5 in the bilinear filter adds the transparencies.
    dst.block.assign(4, 0xE0102030);
    EXPECT_EQ(1, pxm_stretch_blit(&dst.s, 0, 0, 3, 0, &src.s, 0, 0, 1, 0, PXM_BLEND_ADD_TRANSPARENCY));
    EXPECT_EQ(0xFFFFFFFFu, dst.at(1, 0));
    // Mode 0 lays the sample over the destination.
    dst.block.assign(4, 0x00000000);
    EXPECT_EQ(1, pxm_stretch_blit(&dst.s, 0, 0, 3, 0, &src.s, 0, 0, 1, 0, PXM_BLEND_OVER));
    EXPECT_EQ(pxt::over_ref(0, 0x30FFFFFF), dst.at(3, 0));
    // Mode 4 lays the sample over the checker pattern at the destination position.
    dst.block.assign(4, 0x00000000);
    EXPECT_EQ(1, pxm_stretch_blit(&dst.s, 0, 0, 3, 0, &src.s, 0, 0, 1, 0, PXM_BLEND_CHECKER));
    EXPECT_EQ(pxt::over_ref(pxm_checker_pattern[1], 0x30FFFFFF), dst.at(1, 0));
    // The box filter treats mode 5 as mode 0.
    pxt::Image wide(4, 1, 0x30FFFFFF), one(2, 1, 0xE0000000);
    EXPECT_EQ(1, pxm_stretch_blit(&one.s, 0, 0, 1, 0, &wide.s, 0, 0, 3, 0, PXM_BLEND_ADD_TRANSPARENCY | PXM_HIGH_QUALITY));
    EXPECT_EQ(pxt::over_ref(0xE0000000, 0x30FFFFFF), one.at(1, 0));
}

TEST_P(StretchLevels, HighQualityEnlargingChoosesPerOperation)
{
    pxt::Rng rng(19);
    pxt::Image src(3, 3), a(7, 7), b(7, 7);
    for (uint32_t &v : src.block)
        v = rng.next() & 0x00FFFFFF;
    // Enlarging both ways: the copy interpolates bicubically, the blit bilinearly.
    EXPECT_EQ(1, pxm_stretch_copy(&a.s, 0, 0, 6, 6, &src.s, 0, 0, 2, 2, PXM_HIGH_QUALITY));
    EXPECT_EQ(1, pxm_stretch_blit(&b.s, 0, 0, 6, 6, &src.s, 0, 0, 2, 2, PXM_HIGH_QUALITY));
    pxt::Image bil(7, 7), cub(7, 7);
    EXPECT_EQ(1, pxm_stretch_copy(&bil.s, 0, 0, 6, 6, &src.s, 0, 0, 2, 2, 0));
    EXPECT_EQ(b.block, bil.block);
    EXPECT_NE(a.block, bil.block);
    // Shrinking one way and growing the other: both bicubic.
    pxt::Image c(2, 6), d(2, 6);
    EXPECT_EQ(1, pxm_stretch_copy(&c.s, 0, 0, 1, 5, &src.s, 0, 0, 2, 2, PXM_HIGH_QUALITY));
    EXPECT_EQ(1, pxm_stretch_blit(&d.s, 0, 0, 1, 5, &src.s, 0, 0, 2, 2, PXM_HIGH_QUALITY));
    EXPECT_EQ(c.block, d.block);
}

TEST_P(StretchLevels, StatusStagesAndLocks)
{
    PxmSurface dib, other;
    memset(&dib, 0, sizeof(dib));
    memset(&other, 0, sizeof(other));
    ASSERT_EQ(1, pxm_surface_create(&dib, 8, 8, 0));
    ASSERT_EQ(1, pxm_surface_create(&other, 3, 3, 0));
    EXPECT_EQ(0, pxm_stretch_copy(&dib, 5, 0, 4, 7, &other, 0, 0, 2, 2, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    EXPECT_EQ(0, pxm_stretch_blit(&dib, 0, 0, 7, 7, &other, 3, 0, 9, 2, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    PxmSurface empty;
    memset(&empty, 0, sizeof(empty));
    EXPECT_EQ(0, pxm_stretch_copy(&dib, 0, 0, 7, 7, &empty, 0, 0, 2, 2, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    EXPECT_EQ(0, pxm_stretch_blit(nullptr, 0, 0, 7, 7, &other, 0, 0, 2, 2, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    EXPECT_EQ(1, pxm_stretch_copy(&dib, 0, 0, 7, 7, &other, 0, 0, 2, 2, PXM_HIGH_QUALITY));
    EXPECT_EQ(PXM_STATUS_OK, status());
    EXPECT_EQ(1, pxm_stretch_blit(&dib, -50, -50, -20, -20, &other, 0, 0, 2, 2, 0));
    EXPECT_EQ(0, dib.lock_count);
    EXPECT_EQ(0, other.lock_count);
    pxm_surface_free(&dib, 0);
    pxm_surface_free(&other, 0);
}

TEST_P(StretchLevels, SourceRowsOutsideTheImageAreNotDrawn)
{
    // A 4 x 4 image read as 4 x 8: the lower half of the destination stays.
    pxt::Rng rng(20);
    pxt::Image src(4, 4), dst(2, 4, 0x00C0FFEE);
    fill_random(src, rng);
    EXPECT_EQ(1, pxm_stretch_copy(&dst.s, 0, 0, 1, 3, &src.s, 0, 0, 3, 7, 0));
    EXPECT_EQ(mean_ref({src.at(0, 0), src.at(1, 0), src.at(0, 1), src.at(1, 1)}), dst.at(0, 0));
    EXPECT_EQ(0x00C0FFEEu, dst.at(0, 2));
    EXPECT_EQ(0x00C0FFEEu, dst.at(1, 3));
}

class SurfaceResize : public StretchLevels {};
INSTANTIATE_TEST_SUITE_P(Forms, SurfaceResize, ::testing::Values(0, 2, 4, 5));

TEST_P(SurfaceResize, SmoothModesFilterThePicture)
{
    pxt::Rng rng(21);
    std::vector<uint32_t> pic(36);
    for (uint32_t &v : pic)
        v = rng.next();
    auto at = [&](int x, int y) { return pic[(size_t)y * 6 + x]; };
    for (int mode : {0, 2, 3}) {
        PxmSurface s;
        memset(&s, 0, sizeof(s));
        ASSERT_EQ(1, pxm_surface_create(&s, 6, 6, 0));
        memcpy(s.pixels, pic.data(), pic.size() * 4);
        ASSERT_EQ(1, pxm_surface_resize(&s, 2, 2, mode));
        ASSERT_EQ(2, s.width);
        ASSERT_EQ(2, s.height);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 2; x++) {
                uint32_t expect;
                if (mode == 0) {
                    // Four samples: the last column and row of each 3 x 3
                    // block and the midpoints toward the previous block's.
                    int a = 3 * x + 2, m = x == 0 ? 1 : 4, b = 3 * y + 2, n = y == 0 ? 1 : 4;
                    expect = mean_ref({at(a, b), at(m, b), at(a, n), at(m, n)});
                } else if (mode == 2) {
                    std::vector<uint32_t> block;
                    for (int r = 0; r < 3; r++)
                        for (int c = 0; c < 3; c++)
                            block.push_back(at(3 * x + c, 3 * y + r));
                    expect = sse2() ? mean_ref(block) : mean_reciprocal_ref(block);
                } else {
                    expect = at(3 * x, 3 * y);
                }
                EXPECT_EQ(expect, s.pixels[y * s.stride + x]) << mode << ": " << x << "," << y;
            }
        pxm_surface_free(&s, 0);
    }
}

TEST_P(SurfaceResize, EnlargingInterpolates)
{
    PxmSurface s;
    memset(&s, 0, sizeof(s));
    ASSERT_EQ(1, pxm_surface_create(&s, 2, 1, 0));
    s.pixels[0] = 0x00000000;
    s.pixels[1] = 0x00FF8040;
    ASSERT_EQ(1, pxm_surface_resize(&s, 4, 2, 0));
    EXPECT_EQ(0x007F4020u, s.pixels[1]);
    EXPECT_EQ(0x007F4020u, s.pixels[s.stride + 1]);
    EXPECT_EQ(0x00FF8040u, s.pixels[3]);
    pxm_surface_free(&s, 0);
}

} // namespace
