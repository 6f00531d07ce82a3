// Surfaces over real DIB sections: creation limits, freeing, liveness,
// locks, DC hand-out, loading GDI bitmaps, resizing and copying.
#include <gtest/gtest.h>

#include "pixmoor.h"
#include "pixmoor_test_util.h"

namespace {

using pxt::px;

int32_t status() { return pxm_thread_state()->status; }

class PixmoorSurface : public ::testing::Test {
protected:
    void SetUp() override { memset(&s, 0, sizeof(s)); }
    void TearDown() override { pxm_surface_free(&s, 0); }
    PxmSurface s;
};

TEST_F(PixmoorSurface, Create640x480)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 640, 480, 0));
    EXPECT_EQ(PXM_STATUS_OK, status());
    EXPECT_EQ(640, s.width);
    EXPECT_EQ(480, s.height);
    EXPECT_EQ(640, s.stride);
    EXPECT_EQ(PXM_KIND_DIB, s.kind);
    EXPECT_EQ(32, s.depth);
    EXPECT_EQ(0, s.lock_count);
    EXPECT_EQ(640 * 480 * 4, s.byte_size);
    ASSERT_NE(nullptr, s.pixels);
    EXPECT_EQ(OBJ_MEMDC, GetObjectType(s.dc));
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(s.bitmap));
    // Not selected yet: the DC still holds its default bitmap.
    EXPECT_EQ((HGDIOBJ)s.default_bitmap, GetCurrentObject(s.dc, OBJ_BITMAP));
    for (int i = 0; i < 640 * 480; i++)
        ASSERT_EQ(0u, s.pixels[i]) << i;
    // The rows are top-down: what GDI draws at (1, 0) is the second word.
    HDC dc = nullptr;
    ASSERT_NE(nullptr, pxm_surface_get_dc(&s, &dc, nullptr));
    SetPixel(dc, 1, 0, RGB(1, 2, 3));
    SetPixel(dc, 0, 479, RGB(4, 5, 6));
    pxm_surface_release_dc(&s, &dc);
    EXPECT_EQ(0x010203u, s.pixels[1] & 0x00FFFFFF);
    EXPECT_EQ(0x040506u, s.pixels[479 * 640] & 0x00FFFFFF);
}

TEST_F(PixmoorSurface, WideRequestIsReducedTo65536)
{
    EXPECT_EQ(3, pxm_surface_create(&s, 100000, 10, 0));
    EXPECT_EQ(65536, s.width);
    EXPECT_EQ(7, s.height);
    EXPECT_EQ(65536, s.stride);
    pxm_surface_free(&s, 0);
    EXPECT_EQ(3, pxm_surface_create(&s, 100000, 10, PXM_CREATE_SECTION));
    EXPECT_EQ(65536, s.width);
    EXPECT_EQ(7, s.height);
    EXPECT_EQ(PXM_KIND_DIB | PXM_KIND_SECTION, s.kind);
    // Tall requests are reduced the same way.
    pxm_surface_free(&s, 0);
    EXPECT_EQ(3, pxm_surface_create(&s, 10, 100000, 0));
    EXPECT_EQ(7, s.width);
    EXPECT_EQ(65536, s.height);
}

TEST_F(PixmoorSurface, AreaLimitWithoutSection)
{
    EXPECT_EQ(3, pxm_surface_create(&s, 20000, 10000, 0));
    EXPECT_EQ(14142, s.width);
    EXPECT_EQ(7071, s.height);
    EXPECT_EQ(PXM_KIND_DIB, s.kind);
    // The last pixel is reachable.
    s.pixels[(size_t)s.height * s.stride - 1] = 0x12345678;
}

TEST_F(PixmoorSurface, SectionFlagKeepsTwoHundredMillionPixels)
{
    int32_t r = pxm_surface_create(&s, 20000, 10000, PXM_CREATE_SECTION);
    ASSERT_EQ(1, r);
    EXPECT_EQ(20000, s.width);
    EXPECT_EQ(10000, s.height);
    EXPECT_EQ(PXM_KIND_DIB | PXM_KIND_SECTION, s.kind);
    DIBSECTION ds;
    ASSERT_EQ((int)sizeof(ds), GetObjectA(s.bitmap, sizeof(ds), &ds));
    EXPECT_NE(nullptr, ds.dshSection);
}

TEST_F(PixmoorSurface, SmallSectionSurfaceAndFree)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 16, 8, PXM_CREATE_SECTION));
    EXPECT_EQ(PXM_KIND_DIB | PXM_KIND_SECTION, s.kind);
    HBITMAP bitmap = s.bitmap;
    s.pixels[16 * 8 - 1] = 0xABCDEF;
    EXPECT_EQ(1, pxm_surface_free(&s, 0));
    EXPECT_EQ(0u, GetObjectType(bitmap));
}

TEST_F(PixmoorSurface, ZeroOrNegativeSizeFails)
{
    EXPECT_EQ(0, pxm_surface_create(&s, 0, 10, 0));
    EXPECT_EQ(0, pxm_surface_create(&s, 10, 0, 0));
    EXPECT_EQ(0, pxm_surface_create(&s, 10, -5, 0));
    EXPECT_EQ(0, pxm_surface_create(&s, -10, 5, 0));
    EXPECT_EQ(nullptr, s.dc);
    EXPECT_FALSE(pxm_surface_is_live(&s));
}

TEST_F(PixmoorSurface, UnreadableRecordIsRefusedWithStatusTwo)
{
    EXPECT_EQ(0, pxm_surface_create(nullptr, 10, 10, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    EXPECT_EQ(0, pxm_surface_free(nullptr, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    EXPECT_FALSE(pxm_surface_is_live(nullptr));
    EXPECT_FALSE(pxm_surface_validate((PxmSurface *)16, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    EXPECT_EQ(nullptr, pxm_surface_lock(nullptr, 0));
    EXPECT_EQ(0, pxm_surface_unlock(nullptr, 0));
}

TEST_F(PixmoorSurface, FreeingEmptyAndTwiceIsHarmless)
{
    EXPECT_EQ(1, pxm_surface_free(&s, 0));
    EXPECT_EQ(7, pxm_surface_free(&s, 6));
    ASSERT_EQ(1, pxm_surface_create(&s, 4, 4, 0));
    HDC dc = s.dc;
    HBITMAP bitmap = s.bitmap;
    EXPECT_EQ(1, pxm_surface_free(&s, 0));
    EXPECT_EQ(0u, GetObjectType(dc));
    EXPECT_EQ(0u, GetObjectType(bitmap));
    PxmSurface zero;
    memset(&zero, 0, sizeof(zero));
    EXPECT_EQ(0, memcmp(&zero, &s, sizeof(s)));
    EXPECT_EQ(1, pxm_surface_free(&s, 0));
}

TEST_F(PixmoorSurface, LockCounting)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 8, 8, 0));
    uint32_t *p = pxm_surface_lock(&s, 0);
    EXPECT_EQ(s.pixels, p);
    EXPECT_EQ(1, s.lock_count);
    EXPECT_EQ(p, pxm_surface_lock(&s, 0));
    EXPECT_EQ(2, s.lock_count);
    EXPECT_EQ(p, pxm_surface_lock(&s, PXM_LOCK_NOCOUNT));
    EXPECT_EQ(2, s.lock_count);
    EXPECT_EQ(1, pxm_surface_unlock(&s, 0));
    EXPECT_EQ(1, pxm_surface_unlock(&s, 0));
    EXPECT_EQ(0, s.lock_count);
    EXPECT_EQ(1, pxm_surface_unlock(&s, 0));
    EXPECT_EQ(0, s.lock_count);
    EXPECT_EQ(PXM_STATUS_OK, status());
}

TEST_F(PixmoorSurface, LockRefreshesClearedPixelFields)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 8, 3, 0));
    uint32_t *pixels = s.pixels;
    s.pixels = nullptr;
    s.width = 0;
    EXPECT_EQ(pixels, pxm_surface_lock(&s, 0));
    EXPECT_EQ(8, s.width);
    EXPECT_EQ(3, s.height);
    pxm_surface_unlock(&s, 0);
}

// A DIB surface that passes leaves status 2; a memory record leaves 1.
TEST_F(PixmoorSurface, ValidateRefreshesGeometryAndLeavesItsStatus)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 12, 5, 0));
    s.width = 99;
    s.stride = 1;
    EXPECT_TRUE(pxm_surface_validate(&s, 0));
    EXPECT_EQ(12, s.width);
    EXPECT_EQ(12, s.stride);
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
    PxmSurface empty;
    memset(&empty, 0, sizeof(empty));
    EXPECT_FALSE(pxm_surface_validate(&empty, 0));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
}

TEST_F(PixmoorSurface, DeadBitmapMakesRecordEmpty)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 4, 4, 0));
    HDC dc = s.dc;
    DeleteObject(s.bitmap); // not selected, so it really goes
    EXPECT_FALSE(pxm_surface_is_live(&s));
    EXPECT_EQ(nullptr, s.dc);
    EXPECT_EQ(0u, GetObjectType(dc));
}

TEST_F(PixmoorSurface, DeadDcWithLiveBitmapLeavesNothingBehind)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 4, 4, PXM_CREATE_SECTION));
    HBITMAP bitmap = s.bitmap;
    DeleteDC(s.dc);
    EXPECT_FALSE(pxm_surface_is_live(&s));
    EXPECT_EQ(0u, GetObjectType(bitmap));
    PxmSurface zero;
    memset(&zero, 0, sizeof(zero));
    EXPECT_EQ(0, memcmp(&zero, &s, sizeof(s)));
}

TEST_F(PixmoorSurface, LiveSurfaceAndBothDead)
{
    EXPECT_FALSE(pxm_surface_is_live(&s));
    ASSERT_EQ(1, pxm_surface_create(&s, 4, 4, 0));
    EXPECT_TRUE(pxm_surface_is_live(&s));
    PxmSurface copy = s;
    pxm_surface_free(&copy, 0);
    EXPECT_FALSE(pxm_surface_is_live(&s));
    EXPECT_NE(nullptr, s.dc); // both dead: the record is left as it was
    memset(&s, 0, sizeof(s));
}

TEST_F(PixmoorSurface, GetDcSelectsDibAndGdiDrawingReachesPixels)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 10, 10, 0));
    HDC dc = nullptr;
    HBITMAP bm = nullptr;
    EXPECT_EQ(s.dc, pxm_surface_get_dc(&s, &dc, &bm));
    EXPECT_EQ(s.dc, dc);
    EXPECT_EQ(s.bitmap, bm);
    EXPECT_EQ((HGDIOBJ)s.bitmap, GetCurrentObject(dc, OBJ_BITMAP));
    RECT r = {2, 3, 5, 7};
    HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    EXPECT_EQ(1, pxm_surface_release_dc(&s, &dc));
    EXPECT_EQ(nullptr, dc);
    EXPECT_EQ((HGDIOBJ)s.default_bitmap, GetCurrentObject(s.dc, OBJ_BITMAP));
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++) {
            bool inside = x >= 2 && x < 5 && y >= 3 && y < 7;
            EXPECT_EQ(inside ? 0x123456u : 0u, px(s, x, y) & 0x00FFFFFF) << x << "," << y;
        }
}

TEST_F(PixmoorSurface, GetDcWithoutOutputFailsWithStatusThree)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 4, 4, 0));
    EXPECT_EQ(nullptr, pxm_surface_get_dc(&s, nullptr, nullptr));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
}

TEST_F(PixmoorSurface, ResizeToZeroFailsWithStatusOne)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 4, 4, 0));
    EXPECT_EQ(0, pxm_surface_resize(&s, 0, 4, 3));
    EXPECT_EQ(PXM_STATUS_OK, status());
    EXPECT_EQ(0, pxm_surface_resize(&s, 4, -1, 1));
    EXPECT_EQ(4, s.width);
}

TEST_F(PixmoorSurface, ResizeToSameSizeKeepsPixels)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 3, 2, 0));
    for (int i = 0; i < 6; i++)
        s.pixels[i] = 0x01010101u * (i + 1);
    uint32_t *before = s.pixels;
    EXPECT_EQ(1, pxm_surface_resize(&s, 3, 2, 0));
    EXPECT_EQ(before, s.pixels);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(0x01010101u * (i + 1), s.pixels[i]);
}

TEST_F(PixmoorSurface, ResizeModeThreeScalesByNearestNeighbour)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 2, 2, 0));
    s.pixels[0] = 0xA0000001;
    s.pixels[1] = 0x00000002;
    s.pixels[2] = 0x00000003;
    s.pixels[3] = 0xFF000004;
    EXPECT_EQ(1, pxm_surface_resize(&s, 4, 4, 3));
    ASSERT_EQ(4, s.width);
    ASSERT_EQ(4, s.height);
    uint32_t expect[4] = {0xA0000001, 0x00000002, 0x00000003, 0xFF000004};
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(expect[(y / 2) * 2 + x / 2], px(s, x, y)) << x << "," << y;
    EXPECT_EQ(0, s.lock_count);
}

TEST_F(PixmoorSurface, ResizeModeOneDiscardsPicture)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 2, 2, 0));
    s.pixels[0] = 0x123456;
    EXPECT_EQ(1, pxm_surface_resize(&s, 5, 3, 1));
    EXPECT_EQ(5, s.width);
    EXPECT_EQ(3, s.height);
    for (int i = 0; i < 15; i++)
        EXPECT_EQ(0u, s.pixels[i]);
}

TEST_F(PixmoorSurface, ResizeOfEmptyRecordCreatesIt)
{
    EXPECT_EQ(1, pxm_surface_resize(&s, 6, 7, 3));
    EXPECT_TRUE(pxm_surface_is_live(&s));
    EXPECT_EQ(6, s.width);
    EXPECT_EQ(3, pxm_surface_resize(&s, 100000, 10, 1));
    EXPECT_EQ(65536, s.width);
}

TEST_F(PixmoorSurface, ResizeReducedWithPictureGives99)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 2, 2, 0));
    EXPECT_EQ(99, pxm_surface_resize(&s, 100000, 10, 3));
    EXPECT_EQ(65536, s.width);
    EXPECT_EQ(7, s.height);
}

TEST_F(PixmoorSurface, CopyMakesEqualSurface)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 7, 5, 0));
    pxt::Rng rng(7);
    for (int i = 0; i < 35; i++)
        s.pixels[i] = rng.next();
    PxmSurface d;
    memset(&d, 0, sizeof(d));
    ASSERT_EQ(1, pxm_surface_create(&d, 3, 3, 0)); // freed by the copy
    HBITMAP old = d.bitmap;
    EXPECT_EQ(1, pxm_surface_copy(&d, &s));
    EXPECT_EQ(0u, GetObjectType(old));
    ASSERT_EQ(7, d.width);
    ASSERT_EQ(5, d.height);
    EXPECT_EQ(0, memcmp(d.pixels, s.pixels, 35 * 4));
    EXPECT_NE(d.pixels, s.pixels);
    EXPECT_EQ(0, d.lock_count);
    EXPECT_EQ(0, s.lock_count);
    pxm_surface_free(&d, 0);
}

TEST_F(PixmoorSurface, CopyOntoItselfKeepsSurface)
{
    ASSERT_EQ(1, pxm_surface_create(&s, 3, 3, 0));
    s.pixels[4] = 0x55;
    EXPECT_EQ(1, pxm_surface_copy(&s, &s));
    EXPECT_TRUE(pxm_surface_is_live(&s));
    EXPECT_EQ(0x55u, s.pixels[4]);
}

TEST_F(PixmoorSurface, CopyFromMemoryRecordWithPaddedRows)
{
    uint32_t block[4 * 6];
    for (int i = 0; i < 24; i++)
        block[i] = 0x100u + i;
    PxmSurface m;
    memset(&m, 0, sizeof(m));
    m.width = 4;
    m.height = 4;
    m.stride = 6;
    m.pixels = block;
    m.kind = PXM_KIND_MEMORY;
    EXPECT_EQ(1, pxm_surface_copy(&s, &m));
    ASSERT_EQ(4, s.width);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(block[y * 6 + x], px(s, x, y));
}

TEST_F(PixmoorSurface, MemoryRecords)
{
    uint32_t block[16] = {0};
    PxmSurface m;
    memset(&m, 0, sizeof(m));
    m.width = 4;
    m.height = 4;
    m.stride = 4;
    m.pixels = block;
    m.kind = PXM_KIND_MEMORY;
    EXPECT_TRUE(pxm_surface_is_live(&m));
    EXPECT_TRUE(pxm_surface_validate(&m, 0));
    EXPECT_EQ(PXM_STATUS_OK, status());
    EXPECT_EQ(block, pxm_surface_lock(&m, 0));
    EXPECT_EQ(0, m.lock_count);
    EXPECT_EQ(1, pxm_surface_unlock(&m, 0));
    HDC dc = nullptr;
    EXPECT_EQ(nullptr, pxm_surface_get_dc(&m, &dc, nullptr));
    EXPECT_EQ(0, pxm_surface_release_dc(&m, &dc));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(0, pxm_blit_to_dc(screen, 0, 0, 3, 3, &m, 0, 0, 3, 3, 0));
    ReleaseDC(nullptr, screen);

    // Geometry that would lead outside the rows it claims is refused.
    m.stride = 3;
    EXPECT_FALSE(pxm_surface_validate(&m, 0));
    EXPECT_EQ(nullptr, pxm_surface_lock(&m, 0));
    m.stride = 4;
    m.height = -1;
    EXPECT_FALSE(pxm_surface_validate(&m, 0));
    m.height = 4;
    m.pixels = (uint32_t *)0x1000;
    EXPECT_FALSE(pxm_surface_is_live(&m));
    EXPECT_EQ(1, pxm_surface_free(&m, 0));
    EXPECT_EQ(0, m.width);
    EXPECT_EQ(0u, block[0]);
}

// A DIB section of the given depth whose pixels are set through fill.
template <typename Fill>
HBITMAP make_dib(int w, int h, int bits, void **bits_out, Fill fill)
{
    BITMAPINFO bi;
    memset(&bi, 0, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = (WORD)bits;
    bi.bmiHeader.biCompression = BI_RGB;
    HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits_out, nullptr, 0);
    if (b)
        fill((unsigned char *)*bits_out);
    GdiFlush();
    return b;
}

TEST_F(PixmoorSurface, FromBitmap24BitIsOpaque)
{
    void *bits = nullptr;
    const int w = 5, h = 3, row = (w * 3 + 3) & ~3;
    HBITMAP b = make_dib(w, h, 24, &bits, [&](unsigned char *p) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                p[y * row + x * 3 + 0] = (unsigned char)(x * 10 + 1);  // blue
                p[y * row + x * 3 + 1] = (unsigned char)(y * 20 + 2);  // green
                p[y * row + x * 3 + 2] = (unsigned char)(x + y + 200); // red
            }
    });
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(1, pxm_surface_from_bitmap(&s, b));
    ASSERT_EQ(w, s.width);
    ASSERT_EQ(h, s.height);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t expect = ((uint32_t)(x + y + 200) << 16) | ((uint32_t)(y * 20 + 2) << 8) | (uint32_t)(x * 10 + 1);
            EXPECT_EQ(expect, px(s, x, y)) << x << "," << y;
        }
    EXPECT_EQ(0, s.lock_count);
    DeleteObject(b);
}

TEST_F(PixmoorSurface, FromBitmap32BitKeepsFourthByte)
{
    void *bits = nullptr;
    const int w = 4, h = 4;
    HBITMAP b = make_dib(w, h, 32, &bits, [&](unsigned char *p) {
        uint32_t *q = (uint32_t *)p;
        for (int i = 0; i < w * h; i++)
            q[i] = ((uint32_t)(i * 16) << 24) | (0x010203u * (uint32_t)i);
    });
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(1, pxm_surface_from_bitmap(&s, b));
    ASSERT_EQ(w, s.width);
    for (int i = 0; i < w * h; i++)
        EXPECT_EQ(((uint32_t)(i * 16) << 24) | (0x010203u * (uint32_t)i), s.pixels[i]) << i;
    DeleteObject(b);
}

TEST_F(PixmoorSurface, FromDeviceBitmapIsOpaque)
{
    HDC screen = GetDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(screen, 6, 2);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, b);
    RECT all = {0, 0, 6, 2}, left = {0, 0, 3, 2};
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255)), grey = CreateSolidBrush(RGB(0x80, 0x80, 0x80));
    FillRect(mem, &all, grey);
    FillRect(mem, &left, blue);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    DeleteObject(blue);
    DeleteObject(grey);

    EXPECT_EQ(1, pxm_surface_from_bitmap(&s, b));
    ASSERT_EQ(6, s.width);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 6; x++)
            EXPECT_EQ(x < 3 ? 0x000000FFu : 0x00808080u, px(s, x, y)) << x << "," << y;
    DeleteObject(b);
}

TEST_F(PixmoorSurface, FromBitmapRejectsNonBitmap)
{
    EXPECT_EQ(0, pxm_surface_from_bitmap(&s, nullptr));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    EXPECT_EQ(0, pxm_surface_from_bitmap(&s, (HBITMAP)GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(PXM_STATUS_BAD_ARGS, status());
    EXPECT_EQ(0, pxm_surface_from_bitmap(nullptr, nullptr));
    EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status());
}

} // namespace

namespace {

// What validation and a copy into the surface give after each change to it,
// once the engine has read (and kept) the surface's facts: the same as when
// it asks GDI every time.
TEST(PixmoorKeptFacts, StaleAndChangedSurfacesGiveTheSameStatuses)
{
    struct Case {
        const char *what;
        void (*change)(PxmSurface *s, PxmSurface *other, PxmSurface *stale);
        bool valid;
        int32_t width; // after validation
        int32_t copied, copy_status;
    } cases[] = {
        {"untouched", [](PxmSurface *, PxmSurface *, PxmSurface *) {}, true, 6, 1, PXM_STATUS_OK},
        {"fields scribbled",
         [](PxmSurface *s, PxmSurface *, PxmSurface *) {
             s->width = 99;
             s->stride = 1;
             s->pixels = nullptr;
         },
         true, 6, 1, PXM_STATUS_OK},
        {"freed", [](PxmSurface *s, PxmSurface *, PxmSurface *) { pxm_surface_free(s, 0); }, false, 0, 0,
         PXM_STATUS_BAD_SURFACE},
        {"a copy of the record after freeing",
         [](PxmSurface *s, PxmSurface *, PxmSurface *stale) {
             *stale = *s;
             pxm_surface_free(stale, 0);
         },
         false, 6, 0, PXM_STATUS_BAD_SURFACE},
        {"bitmap deleted behind the engine", [](PxmSurface *s, PxmSurface *, PxmSurface *) { DeleteObject(s->bitmap); },
         false, 6, 0, PXM_STATUS_BAD_SURFACE},
        {"bitmap replaced", [](PxmSurface *s, PxmSurface *other, PxmSurface *) { s->bitmap = other->bitmap; }, true,
         9, 1, PXM_STATUS_OK},
        {"resized", [](PxmSurface *s, PxmSurface *, PxmSurface *) { pxm_surface_resize(s, 8, 7, 1); }, true, 8, 1,
         PXM_STATUS_OK},
        {"a copy of the record before resizing",
         [](PxmSurface *s, PxmSurface *, PxmSurface *stale) {
             pxm_surface_resize(s, 8, 7, 1);
             PxmSurface resized = *s;
             *s = *stale;
             *stale = resized;
         },
         false, 6, 0, PXM_STATUS_BAD_SURFACE},
    };
    for (const Case &c : cases) {
        PxmSurface s, other, stale, src;
        memset(&s, 0, sizeof(s));
        memset(&other, 0, sizeof(other));
        memset(&src, 0, sizeof(src));
        ASSERT_EQ(1, pxm_surface_create(&s, 6, 4, 0));
        ASSERT_EQ(1, pxm_surface_create(&other, 9, 3, 0));
        ASSERT_EQ(1, pxm_surface_create(&src, 2, 2, 0));
        ASSERT_TRUE(pxm_surface_validate(&s, 0));
        ASSERT_EQ(1, pxm_copy(&s, 0, 0, 1, 1, &src, 0, 0, 1, 1, 0));
        stale = s; // the record as it was, for the cases that keep a copy
        HBITMAP own = s.bitmap;
        c.change(&s, &other, &stale);
        EXPECT_EQ(c.valid, pxm_surface_validate(&s, 0)) << c.what;
        EXPECT_EQ(PXM_STATUS_BAD_SURFACE, status()) << c.what;
        if (c.valid)
            EXPECT_EQ(c.width, s.width) << c.what;
        EXPECT_EQ(c.copied, pxm_copy(&s, 0, 0, 1, 1, &src, 0, 0, 1, 1, 0)) << c.what;
        EXPECT_EQ(c.copy_status, status()) << c.what;
        if (s.bitmap == other.bitmap)
            s.bitmap = own;
        for (PxmSurface *left : {&s, &stale})
            if (pxm_surface_is_live(left))
                pxm_surface_free(left, 0);
        pxm_surface_free(&other, 0);
        pxm_surface_free(&src, 0);
    }
}

// A DC handed back deselects the DIB; the next copy to a window's DC must
// select it again, and a DIB the engine left selected keeps reaching GDI.
TEST(PixmoorKeptFacts, BlitToDcReselectsAfterTheDcWasHandedBack)
{
    PxmSurface s, target;
    memset(&s, 0, sizeof(s));
    memset(&target, 0, sizeof(target));
    ASSERT_EQ(1, pxm_surface_create(&s, 4, 4, 0));
    ASSERT_EQ(1, pxm_surface_create(&target, 4, 4, 0));
    HDC dc = nullptr, target_dc = nullptr;
    ASSERT_NE(nullptr, pxm_surface_get_dc(&target, &target_dc, nullptr));
    const uint32_t colours[] = {0x00112233, 0x00445566, 0x00778899};
    for (int step = 0; step < 3; step++) {
        pxm_fill_rect(&s, 0, 0, 3, 3, colours[step], 0);
        if (step == 1) {
            ASSERT_NE(nullptr, pxm_surface_get_dc(&s, &dc, nullptr));
            pxm_surface_release_dc(&s, &dc);
        }
        ASSERT_NE(0, pxm_blit_to_dc(target_dc, 0, 0, 3, 3, &s, 0, 0, 3, 3, 0));
        GdiFlush();
        EXPECT_EQ(colours[step], target.pixels[5] & 0x00FFFFFF) << step;
    }
    pxm_surface_release_dc(&target, &target_dc);
    pxm_surface_free(&s, 0);
    pxm_surface_free(&target, 0);
}

} // namespace
