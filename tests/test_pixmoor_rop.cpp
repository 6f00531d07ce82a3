// Raster operations: every code of the blit and the fill against per-pixel
// references written from the byte-level rules, the worked examples, the
// colour-space round trips, the level rules of multiply and screen, and the
// blits' mapping, clipping, locks and status stages.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <vector>

#include "pixmoor.h"
#include "pixmoor_image.h"
#include "pixmoor_test_util.h"

namespace {

using pxt::byte_of;

int32_t status() { return pxm_thread_state()->status; }

uint32_t make(uint32_t t, uint32_t r, uint32_t g, uint32_t b) { return t << 24 | r << 16 | g << 8 | b; }
uint32_t clampb(int v) { return v < 0 ? 0 : v > 255 ? 255 : (uint32_t)v; }

// Applies f to the colour bytes (k = 0 blue, 1 green, 2 red), T from s.
template <typename F> uint32_t colour_rule(uint32_t d, uint32_t s, F f)
{
    uint32_t r = s & 0xFF000000;
    for (int k = 0; k < 3; k++)
        r |= f((int)byte_of(d, k), (int)byte_of(s, k)) << (8 * k);
    return r;
}

// --- YCbCr and HSL, written from their integer definitions ---

void ycc_fwd(uint32_t p, int *y, int *cb, int *cr)
{
    int r = (int)byte_of(p, 2), g = (int)byte_of(p, 1), b = (int)byte_of(p, 0);
    *y = (19595 * r + 38470 * g + 7471 * b + 32768) >> 16;
    *cb = ((32768 * b - 11059 * r - 21709 * g) >> 16) + 128;
    *cr = ((32768 * r - 27439 * g - 5329 * b) >> 16) + 128;
}

uint32_t ycc_inv(uint32_t t, int y, int cb, int cr)
{
    cr -= 128;
    cb -= 128;
    int r = (65536 * y + 91881 * cr + 32768) >> 16;
    int g = (65536 * y - 46802 * cr - 22553 * cb + 32768) >> 16;
    int b = (65536 * y + 116130 * cb + 32768) >> 16;
    return make(t, clampb(r), clampb(g), clampb(b));
}

int hsl_pack(int v) { return (v * 255 + 12000) / 24000; }

void hsl_fwd(uint32_t p, int *h, int *s, int *l)
{
    int r = (int)byte_of(p, 2), g = (int)byte_of(p, 1), b = (int)byte_of(p, 0);
    int mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
    int L = ((mx + mn) * 24000 + 255) / 510, S, H;
    if (mx == mn) {
        S = 0;
        H = 16000;
    } else {
        int d = mx - mn, e = L > 12000 ? 510 - mx - mn : mx + mn;
        S = (d * 24000 + e / 2) / e;
        int rc = ((mx - r) * 4000 + d / 2) / d, gc = ((mx - g) * 4000 + d / 2) / d, bc = ((mx - b) * 4000 + d / 2) / d;
        H = r == mx ? bc - gc : g == mx ? 8000 + rc - bc : 16000 + gc - rc;
        if (H < 0)
            H += 24000;
        if (H > 24000)
            H -= 24000;
    }
    *h = hsl_pack(H);
    *s = hsl_pack(S);
    *l = hsl_pack(L);
}

int hue_ref(int m1, int m2, int h)
{
    if (h < 0)
        h += 24000;
    if (h > 24000)
        h -= 24000;
    if (h < 4000)
        return m1 + ((m2 - m1) * h + 2000) / 4000;
    if (h < 12000)
        return m2;
    if (h < 16000)
        return m1 + ((m2 - m1) * (16000 - h) + 2000) / 4000;
    return m1;
}

uint32_t hsl_inv(uint32_t t, int hb, int sb, int lb)
{
    int H = (hb * 24000 + 127) / 255, S = (sb * 24000 + 127) / 255, L = (lb * 24000 + 127) / 255;
    if (S == 0) {
        uint32_t v = (uint32_t)hsl_pack(L);
        return make(t, v, v, v);
    }
    int m2 = L > 12000 ? L + S - (S * L + 12000) / 24000 : (L * (S + 24000) + 12000) / 24000;
    int m1 = 2 * L - m2;
    return make(t, (uint32_t)hsl_pack(hue_ref(m1, m2, H + 8000)), (uint32_t)hsl_pack(hue_ref(m1, m2, H)),
                (uint32_t)hsl_pack(hue_ref(m1, m2, H - 8000)));
}

// The new destination pixel of every code, from the operation table.
uint32_t rop_ref(int op, uint32_t d, uint32_t s, bool fill, int level, int x, int y)
{
    bool sse2 = level >= 2;
    switch (op) {
    case 0: return s;
    case 1: return d | s;
    case 2: return d & s;
    case 3: return d ^ s;
    case 4: {
        uint32_t r = 0;
        for (int k = 0; k < 4; k++)
            r |= std::min(255u, byte_of(d, k) + byte_of(s, k)) << (8 * k);
        return r;
    }
    case 5: {
        uint32_t r = 0;
        for (int k = 0; k < 4; k++)
            r |= (uint32_t)std::max(0, (int)byte_of(d, k) - (int)byte_of(s, k)) << (8 * k);
        return r;
    }
    case 6: return colour_rule(d, s, [](int a, int b) { return (uint32_t)std::max(0, a - (255 - b)); });
    case 7:
        return colour_rule(d, s, [sse2](int a, int b) { return (uint32_t)((sse2 ? a : a + (a >> 7)) * b >> 8); });
    case 8: {
        if (!fill)
            return s;
        uint32_t r = (byte_of(d, 2) + 256 - 80) % 256, g = (byte_of(d, 1) + 256 - 72) % 256,
                 b = (byte_of(d, 0) + 256 - 65) % 256;
        return make(byte_of(d, 3), r, g, b);
    }
    case 9: return colour_rule(d, s, [](int a, int b) { return clampb(a + b - 128); });
    case 10: {
        int sh, ss, sl, dh, ds, dl;
        hsl_fwd(s, &sh, &ss, &sl);
        hsl_fwd(d, &dh, &ds, &dl);
        return hsl_inv(byte_of(s, 3), sh, ss, dl);
    }
    case 11:
    case 12: {
        int sy, scb, scr, dy, dcb, dcr;
        ycc_fwd(s, &sy, &scb, &scr);
        ycc_fwd(d, &dy, &dcb, &dcr);
        return op == 11 ? ycc_inv(byte_of(s, 3), dy, scb, scr) : ycc_inv(byte_of(s, 3), sy, dcb, dcr);
    }
    case 13:
        return colour_rule(d, s, [sse2](int a, int b) {
            int p = 255 - a, q = 255 - b;
            return (uint32_t)(255 - ((sse2 ? p : p + (p >> 7)) * q >> 8));
        });
    case 14: {
        if (fill)
            return s;
        uint32_t t = 255 - (255 - byte_of(d, 3)) * (255 - byte_of(s, 3)) / 255;
        return (d & 0x00FFFFFF) | t << 24;
    }
    case 15: {
        uint32_t p = pxm_checker_pattern[(y & 15) * 16 + (x & 15)];
        int w = (int)byte_of(s, 3) + (int)(byte_of(s, 3) >> 7);
        return pxt::mix_ref(p, fill ? d : s, w);
    }
    default: return s;
    }
}

class RopLevels : public pxt::Levels {
protected:
    void SetUp() override
    {
        pxt::Levels::SetUp();
        if (IsSkipped())
            return;
        pxm_set_clip(0, 0, 0, 0);
        // A pattern of four colours shows which entry each pixel took.
        pxm_set_checker(0x10C08040, 0xF0204080);
    }
    void TearDown() override
    {
        pxt::Levels::TearDown();
        pxm_set_checker(0x00FFFFFF, 0x00000000);
    }
    int level() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Forms, RopLevels, ::testing::Values(0, 2, 4, 5));

TEST_P(RopLevels, EveryBlitCodeMatchesItsRule)
{
    pxt::Rng rng(31);
    for (int op = 0; op < 18; op++) {
        // Runs of every length around the four-pixel steps, offset in the surface.
        for (int w = 1; w <= 11; w++) {
            pxt::Image src(w, 3), dst(w + 5, 4);
            for (uint32_t &v : src.block)
                v = rng.next();
            for (uint32_t &v : dst.block)
                v = rng.next();
            std::vector<uint32_t> before = dst.block;
            ASSERT_EQ(1, pxm_blit_op(&dst.s, 3, 1, 3 + w - 1, 3, &src.s, 0, 0, w - 1, 2, op, 0));
            for (int y = 0; y < 4; y++)
                for (int x = 0; x < w + 5; x++) {
                    uint32_t old = before[(size_t)y * (w + 5) + x];
                    bool inside = x >= 3 && x < 3 + w && y >= 1;
                    uint32_t expect = inside ? rop_ref(op, old, src.at(x - 3, y - 1), false, level(), x, y) : old;
                    ASSERT_EQ(expect, dst.at(x, y)) << "op " << op << " w " << w << " at " << x << "," << y;
                }
        }
    }
}

TEST_P(RopLevels, EveryFillCodeMatchesItsRule)
{
    pxt::Rng rng(32);
    for (int op = 0; op < 18; op++) {
        for (int w = 1; w <= 11; w++) {
            uint32_t colour = rng.next();
            pxt::Image dst(w + 4, 5);
            for (uint32_t &v : dst.block)
                v = rng.next();
            std::vector<uint32_t> before = dst.block;
            // Corners in the other order.
            ASSERT_EQ(1, pxm_fill_rect_op(&dst.s, 2 + w - 1, 3, 2, 1, colour, op, 0));
            for (int y = 0; y < 5; y++)
                for (int x = 0; x < w + 4; x++) {
                    uint32_t old = before[(size_t)y * (w + 4) + x];
                    bool inside = x >= 2 && x < 2 + w && y >= 1 && y <= 3;
                    uint32_t expect = inside ? rop_ref(op, old, colour, true, level(), x, y) : old;
                    ASSERT_EQ(expect, dst.at(x, y)) << "op " << op << " w " << w << " at " << x << "," << y;
                }
        }
    }
}

TEST_P(RopLevels, ByteLevelExamples)
{
    pxt::Image m(3, 1);
    m.ref(0, 0) = 0x00123456;
    m.ref(1, 0) = 0x80ABCDEF;
    m.ref(2, 0) = 0xFF000000;
    EXPECT_EQ(1, pxm_fill_rect_op(&m.s, 0, 0, 2, 0, 0xFF000000, PXM_ROP_XOR, 0));
    EXPECT_EQ(0xFF123456u, m.at(0, 0));
    EXPECT_EQ(0x7FABCDEFu, m.at(1, 0));
    EXPECT_EQ(0x00000000u, m.at(2, 0));
    EXPECT_EQ(1, pxm_fill_rect_op(&m.s, 0, 0, 2, 0, 0x00FFFFFF, PXM_ROP_AND, 0));
    EXPECT_EQ(0x00123456u, m.at(0, 0));
    EXPECT_EQ(0x00ABCDEFu, m.at(1, 0));

    // Every byte saturates on its own, the transparency byte included.
    pxt::Image src(1, 1, make(128, 255, 128, 1)), dst(1, 1, make(144, 1, 128, 1));
    EXPECT_EQ(1, pxm_blit_op(&dst.s, 0, 0, 0, 0, &src.s, 0, 0, 0, 0, PXM_ROP_ADD, 0));
    EXPECT_EQ(make(255, 255, 255, 2), dst.at(0, 0));
}

TEST_P(RopLevels, ShiftFillsAndCopiesInBlits)
{
    pxt::Image m(2, 1);
    m.ref(0, 0) = make(0, 80, 72, 65);
    m.ref(1, 0) = make(0, 0, 0, 0);
    EXPECT_EQ(1, pxm_fill_rect_op(&m.s, 0, 0, 1, 0, 0x12345678, PXM_ROP_SHIFT, 0));
    EXPECT_EQ(0x00000000u, m.at(0, 0));
    EXPECT_EQ(make(0, 176, 184, 191), m.at(1, 0));
    pxt::Image src(1, 1, 0x40ABCDEF);
    EXPECT_EQ(1, pxm_blit_op(&m.s, 0, 0, 0, 0, &src.s, 0, 0, 0, 0, PXM_ROP_SHIFT, 0));
    EXPECT_EQ(0x40ABCDEFu, m.at(0, 0));
}

TEST_P(RopLevels, AlphaMaskAndChecker)
{
    pxt::Image src(1, 1, 0x80000000), dst(1, 1, 0x00123456);
    EXPECT_EQ(1, pxm_blit_op(&dst.s, 0, 0, 0, 0, &src.s, 0, 0, 0, 0, PXM_ROP_ALPHA_MASK, 0));
    EXPECT_EQ(0x80123456u, dst.at(0, 0));
    // In a fill the mask is a plain copy.
    EXPECT_EQ(1, pxm_fill_rect_op(&dst.s, 0, 0, 0, 0, 0x11223344, PXM_ROP_ALPHA_MASK, 0));
    EXPECT_EQ(0x11223344u, dst.at(0, 0));

    pxm_set_checker(0x00FFFFFF, 0x00000000);
    pxt::Image m(20, 18, 0x44556677);
    EXPECT_EQ(1, pxm_fill_rect_op(&m.s, 0, 0, 19, 17, 0x00ABCDEF, PXM_ROP_CHECKER, 0));
    for (int y = 0; y < 18; y++)
        for (int x = 0; x < 20; x++)
            ASSERT_EQ(((x & 15) / 4 + (y & 15) / 4) % 2 ? 0x00000000u : 0x00FFFFFFu, m.at(x, y)) << x << "," << y;
    std::vector<uint32_t> before = m.block;
    EXPECT_EQ(1, pxm_fill_rect_op(&m.s, 0, 0, 19, 17, 0xFFABCDEF, PXM_ROP_CHECKER, 0));
    EXPECT_EQ(before, m.block);
}

TEST_P(RopLevels, MultiplyAndScreenFollowTheLevelRule)
{
    pxt::Image m(1, 1, make(0, 255, 128, 200));
    EXPECT_EQ(1, pxm_fill_rect_op(&m.s, 0, 0, 0, 0, make(7, 255, 255, 100), PXM_ROP_MULTIPLY, 0));
    if (level() >= 2) // (d * s) >> 8
        EXPECT_EQ(make(7, 254, 127, 78), m.at(0, 0));
    else // ((d + (d >> 7)) * s) >> 8: white is the identity
        EXPECT_EQ(make(7, 255, 128, 78), m.at(0, 0));
    m.ref(0, 0) = make(0, 0, 127, 55);
    EXPECT_EQ(1, pxm_fill_rect_op(&m.s, 0, 0, 0, 0, make(9, 0, 0, 155), PXM_ROP_SCREEN, 0));
    if (level() >= 2) // 255 - ((255 - d) * (255 - s) >> 8)
        EXPECT_EQ(make(9, 1, 128, 177), m.at(0, 0));
    else // 255 - (((a + (a >> 7)) * b) >> 8): black screens as the identity
        EXPECT_EQ(make(9, 0, 127, 177), m.at(0, 0));
}

TEST_P(RopLevels, HslGreyRoundTripKeepsTheGrey)
{
    for (uint32_t g = 0; g < 256; g++) {
        int h, s, l;
        hsl_fwd(g * 0x010101, &h, &s, &l);
        ASSERT_EQ(170, h); // hue 16000 of a grey
        pxt::Image m(1, 1, g * 0x010101), src(1, 1, 0x40000000 | g * 0x010101);
        EXPECT_EQ(1, pxm_blit_op(&m.s, 0, 0, 0, 0, &src.s, 0, 0, 0, 0, PXM_ROP_HSL_COLOR, 0));
        ASSERT_EQ(0x40000000 | g * 0x010101, m.at(0, 0)) << g;
    }
}

// Every grey and the colours built from the extreme and middle channel
// values (ties of the largest channel, one step from grey), in one row wide
// enough for the eight-pixel steps, against destinations of the same set.
TEST_P(RopLevels, ColourSpaceCodesOverGreysAndExtremes)
{
    const uint32_t values[] = {0, 1, 127, 128, 254, 255};
    std::vector<uint32_t> set;
    for (uint32_t g = 0; g < 256; g++)
        set.push_back(g * 0x010101);
    for (uint32_t r : values)
        for (uint32_t g : values)
            for (uint32_t b : values)
                set.push_back(make(0, r, g, b));
    int n = (int)set.size();
    for (int i = 0; i < n; i++)
        set[i] |= (uint32_t)(i * 53 & 255) << 24;
    for (int op : {PXM_ROP_HSL_COLOR, PXM_ROP_YCC_COLOR, PXM_ROP_YCC_LUMA})
        for (int shift : {0, 1, 37, 256}) {
            pxt::Image src(n, 1), dst(n, 1);
            for (int i = 0; i < n; i++) {
                src.block[i] = set[i];
                dst.block[i] = set[(i + shift) % n];
            }
            ASSERT_EQ(1, pxm_blit_op(&dst.s, 0, 0, n - 1, 0, &src.s, 0, 0, n - 1, 0, op, 0));
            for (int i = 0; i < n; i++)
                ASSERT_EQ(rop_ref(op, set[(i + shift) % n], set[i], false, level(), i, 0), dst.at(i, 0))
                    << "op " << op << " shift " << shift << " pixel " << i;
        }
}

TEST_P(RopLevels, ColourSpaceRoundTripsStayClose)
{
    // With s = d each colour rule converts a colour forth and back. YCbCr
    // keeps 16-bit coefficients and byte components: within 2 per channel.
    // Packed HSL holds hue, saturation and lightness to 1/255 of their
    // range each: within 4 per channel.
    pxt::Rng rng(33);
    int worst[3] = {0, 0, 0};
    for (int i = 0; i < 30000; i++) {
        uint32_t c = rng.next() & 0x00FFFFFF;
        for (int k = 0; k < 3; k++) {
            int op = k == 0 ? PXM_ROP_YCC_COLOR : k == 1 ? PXM_ROP_YCC_LUMA : PXM_ROP_HSL_COLOR;
            pxt::Image m(1, 1, c);
            pxm_fill_rect_op(&m.s, 0, 0, 0, 0, c, op, 0);
            for (int b = 0; b < 3; b++)
                worst[k] = std::max(worst[k], abs((int)byte_of(c, b) - (int)byte_of(m.at(0, 0), b)));
        }
    }
    EXPECT_LE(worst[0], 2);
    EXPECT_LE(worst[1], 2);
    EXPECT_LE(worst[2], 4);
}

TEST_P(RopLevels, BlitTwiceAsWideTakesEverySecondColumn)
{
    pxt::Image src(8, 2), dst(4, 2);
    for (int i = 0; i < 16; i++)
        src.block[i] = 0x01010101u * (uint32_t)i;
    EXPECT_EQ(1, pxm_blit_op(&dst.s, 0, 0, 3, 1, &src.s, 1, 0, 8, 1, PXM_ROP_COPY, 0));
    for (int x = 0; x < 4; x++) {
        EXPECT_EQ(src.at(std::min(7, 1 + 2 * x), 0), dst.at(x, 0)) << x;
    }
    EXPECT_EQ(src.at(1, 0), dst.at(0, 0));
    EXPECT_EQ(src.at(5, 1), dst.at(2, 1));
}

TEST_P(RopLevels, OutsideAndClippedBlitsAndLocks)
{
    PxmSurface a, b;
    memset(&a, 0, sizeof(a));
    memset(&b, 0, sizeof(b));
    ASSERT_EQ(1, pxm_surface_create(&a, 10, 10, 0));
    ASSERT_EQ(1, pxm_surface_create(&b, 4, 4, 0));
    for (int i = 0; i < 16; i++)
        b.pixels[i] = 0x00FFFFFF;
    EXPECT_EQ(1, pxm_blit_op(&a, -20, 0, -17, 3, &b, 0, 0, 3, 3, PXM_ROP_XOR, 0));
    EXPECT_EQ(1, pxm_blit_op(&a, 10, 0, 13, 3, &b, 0, 0, 3, 3, PXM_ROP_XOR, 0));
    pxm_set_clip(6, 0, 9, 9);
    EXPECT_EQ(0, pxm_blit_op(&a, 0, 0, 3, 3, &b, 0, 0, 3, 3, PXM_ROP_XOR, PXM_CLIP));
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(0u, a.pixels[i]);
    EXPECT_EQ(0, a.lock_count);
    EXPECT_EQ(0, b.lock_count);
    // Part of the rectangle inside the clip is drawn.
    pxm_set_clip(2, 1, 9, 2);
    EXPECT_EQ(1, pxm_blit_op(&a, 0, 0, 3, 3, &b, 0, 0, 3, 3, PXM_ROP_XOR, PXM_CLIP));
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            ASSERT_EQ(x >= 2 && x <= 3 && y >= 1 && y <= 2 ? 0x00FFFFFFu : 0u, a.pixels[y * 10 + x]) << x << "," << y;

    EXPECT_EQ(0, pxm_blit_op(&a, 3, 0, 2, 3, &b, 0, 0, 3, 3, PXM_ROP_XOR, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    EXPECT_EQ(0, pxm_blit_op(&a, 0, 0, 3, 3, &b, 0, 3, 3, 2, PXM_ROP_XOR, 0));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    // Source columns wholly outside the source: the status validation left,
    // 2 for a DIB source and 1 for a memory record.
    pxt::Image memory(4, 4);
    struct { PxmSurface *src; int32_t sx1, sx2, status; } outside[] = {
        {&b, 4, 7, PXM_STATUS_BAD_SURFACE}, {&b, -5, -1, PXM_STATUS_BAD_SURFACE},
        {&memory.s, 4, 7, PXM_STATUS_OK}, {&memory.s, -5, -1, PXM_STATUS_OK}};
    for (auto &o : outside) {
        EXPECT_EQ(0, pxm_blit_op(&a, 0, 0, 3, 3, o.src, o.sx1, 0, o.sx2, 3, PXM_ROP_XOR, 0));
        EXPECT_EQ(o.status, status()) << o.sx1;
    }
    PxmSurface dead;
    memset(&dead, 0, sizeof(dead));
    EXPECT_EQ(0, pxm_blit_op(&a, 0, 0, 3, 3, &dead, 0, 0, 3, 3, PXM_ROP_XOR, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    EXPECT_EQ(1, pxm_blit_op(&a, 0, 0, 3, 3, &b, 0, 0, 3, 3, PXM_ROP_XOR, 0));
    EXPECT_EQ(PXM_STATUS_OK, status());
    EXPECT_EQ(0, a.lock_count);
    EXPECT_EQ(0, b.lock_count);
    pxm_surface_free(&a, 0);
    pxm_surface_free(&b, 0);
}

TEST_P(RopLevels, FillRectangleRules)
{
    pxt::Image m(6, 4);
    EXPECT_EQ(0, pxm_fill_rect_op(&m.s, 2, 0, 2, 3, 0x00FFFFFF, PXM_ROP_COPY, PXM_EXCLUSIVE));
    EXPECT_EQ(PXM_STATUS_OK, status());
    EXPECT_EQ(1, pxm_fill_rect_op(&m.s, 1, 1, 3, 3, 0x00000001, PXM_ROP_OR, PXM_EXCLUSIVE));
    EXPECT_EQ(0, pxm_fill_rect_op(&m.s, 7, 0, 9, 3, 0x00000001, PXM_ROP_OR, 0));
    pxm_set_clip(2, 0, 5, 1);
    EXPECT_EQ(1, pxm_fill_rect_op(&m.s, -100, -100, 100, 100, 0x00000100, PXM_ROP_OR, PXM_CLIP));
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++) {
            uint32_t expect = (x >= 1 && x <= 2 && y >= 1 && y <= 2 ? 1u : 0u) | (x >= 2 && y <= 1 ? 0x100u : 0u);
            ASSERT_EQ(expect, m.at(x, y)) << x << "," << y;
        }
    pxm_set_clip(10, 10, 20, 20);
    EXPECT_EQ(0, pxm_fill_rect_op(&m.s, 0, 0, 5, 3, 0, PXM_ROP_COPY, PXM_CLIP));
    EXPECT_EQ(0, pxm_fill_rect_op(&m.s, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, 0, PXM_ROP_COPY, PXM_EXCLUSIVE));
    // A record that describes no pixels is refused rather than written through.
    EXPECT_EQ(0, pxm_fill_rect_op(nullptr, 0, 0, 5, 3, 0, PXM_ROP_COPY, 0));
    PxmSurface empty;
    memset(&empty, 0, sizeof(empty));
    empty.width = 5;
    empty.height = 5;
    empty.stride = 5;
    EXPECT_EQ(0, pxm_fill_rect_op(&empty, 0, 0, 5, 3, 0, PXM_ROP_COPY, 0));
}

} // namespace
