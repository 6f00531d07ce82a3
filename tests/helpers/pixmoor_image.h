// A memory surface over a vector for exact-value checks of the drawing
// operations, with a fixture that runs a test once with the integer forms
// and once with the SSE2 forms.
#pragma once
#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

#include "pixmoor.h"

namespace pxt {

struct Image {
    std::vector<uint32_t> block;
    PxmSurface s;
    Image(int w, int h, uint32_t fill = 0, int stride = 0) : block((size_t)(stride ? stride : w) * h, fill)
    {
        memset(&s, 0, sizeof(s));
        s.width = w;
        s.height = h;
        s.stride = stride ? stride : w;
        s.pixels = block.data();
        s.kind = PXM_KIND_MEMORY;
        s.depth = 32;
    }
    Image(const Image &o) : block(o.block), s(o.s) { s.pixels = block.data(); }
    Image &operator=(const Image &o)
    {
        block = o.block;
        s = o.s;
        s.pixels = block.data();
        return *this;
    }
    uint32_t at(int x, int y) const { return block[(size_t)y * s.stride + x]; }
    uint32_t &ref(int x, int y) { return block[(size_t)y * s.stride + x]; }
    int count(uint32_t v) const
    {
        int n = 0;
        for (int y = 0; y < s.height; y++)
            for (int x = 0; x < s.width; x++)
                n += at(x, y) == v;
        return n;
    }
};

// A memory copy of a surface whose rows follow each other without padding.
inline Image image_of(const PxmSurface &s)
{
    Image m(s.width, s.height, 0, s.width);
    memcpy(m.block.data(), s.pixels, m.block.size() * 4);
    return m;
}

// Keeps the engine's chosen level and puts it back after each test.
class SavedLevel : public ::testing::Test {
protected:
    void SetUp() override
    {
        pxm_startup(0);
        saved = pxm_cpu_level;
    }
    void TearDown() override { pxm_cpu_level = saved; }
    int saved = 0;
};

class Levels : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        pxm_startup(0);
        saved = pxm_cpu_level;
        if (GetParam() > saved)
            GTEST_SKIP() << "this processor stops at level " << saved;
        pxm_cpu_level = GetParam();
    }
    void TearDown() override { pxm_cpu_level = saved; }
    int saved = 0;
};

// The vector levels this processor runs, SSE2 first: each faster form must
// give exactly the SSE2 form's results.
inline std::vector<int> vector_levels(int top)
{
    std::vector<int> levels;
    for (int level : {2, 4, 5})
        if (level <= top)
            levels.push_back(level);
    return levels;
}

// Runs draw (which draws into the image it is given) on a copy of before at
// each level above SSE2 that this processor runs, and fails unless the result
// and every pixel equal the SSE2 form's (sse2_result, sse2).
template <class Draw>
void expect_faster_levels_agree(int top, const Image &before, const Image &sse2, int32_t sse2_result, Draw draw,
                                const std::string &what)
{
    int saved = pxm_cpu_level;
    for (int level : vector_levels(top)) {
        if (level == 2)
            continue;
        Image d = before;
        pxm_cpu_level = level;
        int32_t r = draw(d);
        pxm_cpu_level = saved;
        ASSERT_EQ(sse2_result, r) << "level " << level << ": " << what;
        ASSERT_TRUE(sse2.block == d.block) << "level " << level << ": " << what;
    }
}

} // namespace pxt
