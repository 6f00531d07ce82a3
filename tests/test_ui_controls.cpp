// The skin as loaded from the player's resources, the font helpers, the
// rectangle helpers, and the controls strip on the real window with the real
// media engine.
#include <math.h>

#include <ctype.h>

#include <string>
#include <vector>

#include "media_writer.h"
#include "ui_fixture.h"
#include "ui_font.h"
#include "ui_rect.h"
#include "ui_windows.h"

namespace {

// The resource's own pixel (x, y) as 0xAARRGGBB; 24-bit images read as opaque.
uint32_t resource_pixel(int id, int x, int y)
{
    HRSRC r = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), (LPCSTR)RT_BITMAP);
    const BITMAPINFOHEADER *h = (const BITMAPINFOHEADER *)LockResource(LoadResource(nullptr, r));
    int bpp = h->biBitCount, stride = ((h->biWidth * bpp + 31) / 32) * 4;
    const uint8_t *palette = (const uint8_t *)h + h->biSize;
    int colours = bpp <= 8 ? (h->biClrUsed ? (int)h->biClrUsed : 1 << bpp) : 0;
    const uint8_t *row = palette + colours * 4 + (h->biHeight - 1 - y) * stride;
    const uint8_t *p = row + x * bpp / 8;
    if (bpp == 8) p = palette + *p * 4;
    uint32_t rgb = p[0] | p[1] << 8 | p[2] << 16;
    return bpp == 32 ? rgb | (uint32_t)p[3] << 24 : rgb | 0xFF000000u;
}

TEST(Skin, ImagesKeepTheirPixelsWithTransparencyInverted)
{
    ui_skin_ready();
    struct { PxmSurface *s; int id, w, h; } images[] = {
        {&player_skin.controls_panel, 103, 480, 90}, {&player_skin.playlist_edge, 111, 8, 50},
        {&player_skin.splash, 114, 320, 240},        {&player_skin.disc, 115, 100, 100},
        {&player_skin.knob_dot, 107, 12, 12},        {&player_skin.mute_icon, 110, 22, 36},
        {&player_skin.button_faces, 112, 32, 96},    {&player_skin.button_icons, 113, 32, 192},
    };
    for (auto &im : images) {
        SCOPED_TRACE(im.id);
        ASSERT_EQ(im.w, im.s->width);
        ASSERT_EQ(im.h, im.s->height);
        int transparent = 0, opaque = 0;
        for (int y = 0; y < im.h; y++)
            for (int x = 0; x < im.w; x++) {
                uint32_t want = resource_pixel(im.id, x, y), got = ui_pixel(im.s, x, y);
                ASSERT_EQ(want ^ 0xFF000000u, got) << x << "," << y;
                transparent += (got >> 24) == 255;
                opaque += (got >> 24) == 0;
            }
        // The alpha images have both fully transparent and fully opaque pixels.
        if (im.id >= 105 && im.id != 111 && im.id <= 113) {
            EXPECT_TRUE(transparent && opaque);
        }
    }
    EXPECT_EQ(512, player_skin.ball.width);
    EXPECT_EQ(16, player_skin.ball.height);
    EXPECT_EQ(255u, ui_pixel(&player_skin.ball, 0, 0) >> 24);     // corner: transparent
    EXPECT_EQ(0u, ui_pixel(&player_skin.ball, 256, 8) >> 24);     // middle: opaque
    EXPECT_TRUE(player_skin.hand_cursor);
    ICONINFO ii = {};
    ASSERT_TRUE(GetIconInfo(player_skin.hand_cursor, &ii));
    EXPECT_EQ(4u, ii.xHotspot);
    EXPECT_EQ(6u, ii.yHotspot);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
}

TEST(Skin, FontsFollowTheFaceThatIsInstalled)
{
    // The face the system really uses for Arial (Wine may substitute one).
    char face[LF_FACESIZE] = "";
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HFONT arial = CreateFontA(-16, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    HGDIOBJ old = SelectObject(dc, arial);
    GetTextFaceA(dc, sizeof face, face);
    SelectObject(dc, old);
    DeleteObject(arial);
    DeleteDC(dc);
    std::string upper = face, prefix = std::string(face).substr(0, 3);
    for (char &c : upper) c = (char)toupper((unsigned char)c);
    EXPECT_TRUE(ui_font_available(face)) << face;
    EXPECT_TRUE(ui_font_available(upper.c_str()));
    EXPECT_TRUE(ui_font_available(prefix.c_str()));  // a prefix of the chosen face counts
    EXPECT_FALSE(ui_font_available("Quorva No Such Face"));
    bool calibri = ui_font_available("Calibri");
    EXPECT_EQ(calibri, ui_font_available("cal"));
    struct { HFONT f; int arial, calibri, weight; } fonts[] = {
        {player_skin.list_font, 12, 14, 400}, {player_skin.list_current_font, 12, 14, 400},
        {player_skin.time_font, 18, 21, 700}};
    for (auto &f : fonts) {
        LOGFONTA lf;
        ASSERT_EQ((int)sizeof lf, GetObjectA(f.f, sizeof lf, &lf));
        EXPECT_EQ(-(calibri ? f.calibri : f.arial), lf.lfHeight);
        EXPECT_EQ(f.weight, lf.lfWeight);
        EXPECT_EQ(CLEARTYPE_QUALITY, lf.lfQuality);
        EXPECT_STREQ(calibri ? "Calibri" : "Arial", lf.lfFaceName);
    }
    EXPECT_NE(player_skin.list_font, player_skin.list_current_font);
    LOGFONTA lf;
    HFONT big = ui_font_create("Arial", 10, 1, 1, 1, 1, 1, 0);
    GetObjectA(big, sizeof lf, &lf);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(-MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72), lf.lfHeight);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(lf.lfItalic && lf.lfUnderline && lf.lfStrikeOut);
    EXPECT_EQ(0, lf.lfQuality);
    DeleteObject(big);
}

TEST(Rect, HelpersOrderGrowIntersectAndShift)
{
    RECT r, s, out;
    rect_make(&r, 10, 20, 2, 4);
    EXPECT_TRUE(r.left == 2 && r.top == 4 && r.right == 10 && r.bottom == 20);
    r = {10, 20, 2, 4};
    rect_grow(&r, 1, 2);
    EXPECT_TRUE(r.left == 1 && r.top == 2 && r.right == 11 && r.bottom == 22);
    rect_shift(&r, -1, 3);
    EXPECT_TRUE(r.left == 0 && r.top == 5 && r.right == 10 && r.bottom == 25);
    s = {20, 30, 5, 10};
    EXPECT_EQ(1, rect_intersect(&out, &r, &s));
    EXPECT_TRUE(out.left == 5 && out.top == 10 && out.right == 10 && out.bottom == 25);
    s = {11, 0, 12, 1};
    EXPECT_EQ(0, rect_intersect(&out, &r, &s));
    EXPECT_TRUE(out.left == -1 && out.top == -1 && out.right == -1 && out.bottom == -1);
    s = {10, 25, 30, 30};  // touching corners meet in a point
    EXPECT_EQ(1, rect_intersect(&out, &r, &s));
}

TEST(ControlsTime, FormatsHoursMinutesSeconds)
{
    struct { double t; const char *text; } cases[] = {
        {0, "0:00:00"}, {59.99, "0:00:59"}, {3725.9, "1:02:05"}, {36000, "10:00:00"},
        {-5, "0:00:00"}, {1e300, "0:00:00"}, {NAN, "0:00:00"}, {2147483646.0, "596523:14:06"}};
    for (auto &c : cases) {
        char text[260];
        controls_format_time(c.t, text);
        EXPECT_STREQ(c.text, text) << c.t;
    }
}

class Controls : public PlayerWindows {
protected:
    static TempDir *dir;
    static std::string wav;
    static void SetUpTestSuite()
    {
        PlayerWindows::SetUpTestSuite();
        dir = new TempDir("controls");
        wav = dir->file("tone.wav");
        ASSERT_TRUE(media_write_wav(wav.c_str(), 6.0, 8000, 1, 440));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        PlayerWindows::TearDownTestSuite();
    }
    void SetUp() override
    {
        PlayerWindows::SetUp();
        SetCursorPos(0, 0);
        ui_set_size(controls_window, 480, 90);
    }
    void open_paused()
    {
        ASSERT_TRUE(snm_open(wav.c_str()));
        snm_play();
        snm_pause();
    }
    // The commands the strip posted to the main window since the last call.
    std::vector<int> posted()
    {
        std::vector<int> ids;
        MSG m;
        while (PeekMessageA(&m, main_window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) ids.push_back((int)m.wParam);
        return ids;
    }
    void click(int x, int y) { press_release(x, y, x, y); }
    void press_release(int x1, int y1, int x2, int y2)
    {
        ui_mouse(controls_window, WM_LBUTTONDOWN, x1, y1, MK_LBUTTON);
        ui_mouse(controls_window, WM_MOUSEMOVE, x2, y2, MK_LBUTTON);
        ui_mouse(controls_window, WM_LBUTTONUP, x2, y2);
    }
    // Whether the painted strip equals the bare panel over rows y1..y2, with
    // panel column col(x) under each column x.
    template <class F> void expect_panel(int y1, int y2, F col)
    {
        ui_repaint(controls_window);
        for (int y = y1; y <= y2; y++)
            for (int x = 0; x < controls_back_buffer.width - 32; x++)
                ASSERT_EQ(ui_pixel(&player_skin.controls_panel, col(x), y), ui_pixel(&controls_back_buffer, x, y))
                    << x << "," << y;
    }
};
TempDir *Controls::dir;
std::string Controls::wav;

TEST_F(Controls, SeekDragPastEitherEndClampsToStartAndDuration)
{
    open_paused();
    double d = snm_get_duration();
    ASSERT_NEAR(6.0, d, 0.01);
    ui_mouse(controls_window, WM_LBUTTONDOWN, 30 + 419 / 2, 10, MK_LBUTTON);
    EXPECT_EQ(CONTROLS_DRAG_SEEK, controls_drag);
    EXPECT_NEAR(d * (419 / 2) / 419.0, snm_get_position(), 0.02);
    ui_mouse(controls_window, WM_MOUSEMOVE, -5000, 300, MK_LBUTTON);
    EXPECT_NEAR(0.0, snm_get_position(), 0.02);
    ui_mouse(controls_window, WM_MOUSEMOVE, 5000, -300, MK_LBUTTON);
    EXPECT_NEAR(d, snm_get_position(), 0.02);
    ui_mouse(controls_window, WM_LBUTTONUP, 5000, -300);
    EXPECT_EQ(CONTROLS_DRAG_NONE, controls_drag);
    ui_mouse(controls_window, WM_MOUSEMOVE, 100, 10, 0);  // no button held: no seek
    EXPECT_NEAR(d, snm_get_position(), 0.02);
}

TEST_F(Controls, ButtonsActWhereReleasedAndArrowsWherePressed)
{
    struct { POINT down, up; int command; } cases[] = {
        {{70, 40}, {150, 60}, 40006},   // pressed on play, released on stop
        {{150, 60}, {30, 40}, 40008},   // stop to previous
        {{30, 40}, {110, 67}, 40007},   // previous to next
        {{110, 50}, {96, 50}, 40005},   // next to play's last column
        {{70, 50}, {97, 50}, 0},        // just right of play: nothing
        {{70, 50}, {200, 50}, 40070},   // the fifth button: Repeat Track
        {{5, 10}, {5, 10}, 40061},      // skip reverse acts on the press
        {{470, 10}, {470, 10}, 40062},  // skip forward, R - 10
    };
    posted();
    for (auto &c : cases) {
        press_release(c.down.x, c.down.y, c.up.x, c.up.y);
        std::vector<int> want;
        if (c.command) want.push_back(c.command);
        EXPECT_EQ(want, posted()) << c.down.x << "," << c.down.y << " -> " << c.up.x << "," << c.up.y;
    }
}

TEST_F(Controls, VolumeKnobFollowsTheAngleAndMuteKeepsIt)
{
    const int cx = 480 - 105, cy = 90 - 37;  // centre of the knob area
    struct { int dx, dy; double volume; } cases[] = {
        {0, -10, 0.5}, {10, 0, 225.0 / 270}, {-10, 0, 45.0 / 270}, {0, 10, 1.0}, {-7, 7, 0.0}, {7, 7, 1.0}};
    for (auto &c : cases) {
        click(cx + c.dx, cy + c.dy);
        EXPECT_NEAR(c.volume, snm_get_volume(), 0.002) << c.dx << "," << c.dy;
    }
    // Muting leaves the stored volume and the knob mark alone.
    click(cx, cy - 10);
    ui_repaint(controls_window);
    uint32_t mark = ui_pixel(&controls_back_buffer, cx, cy - 19), icon = ui_pixel(&controls_back_buffer, 480 - 58, 35);
    click(480 - 60, 30);
    EXPECT_EQ(1, snm_get_mute());
    EXPECT_NEAR(0.5, snm_get_volume(), 0.002);
    ui_repaint(controls_window);
    EXPECT_EQ(mark, ui_pixel(&controls_back_buffer, cx, cy - 19));
    EXPECT_NE(icon, ui_pixel(&controls_back_buffer, 480 - 58, 35));
    click(480 - 60, 30);
    EXPECT_EQ(0, snm_get_mute());
}

// The mark is the knob dot laid over the panel, centred on the point 19
// pixels from the knob's centre at the volume's angle.
TEST_F(Controls, KnobMarkSitsOnItsCircle)
{
    const int cx = 375, cy = 53;
    struct { double volume; int dx, dy; } cases[] = {{0.5, 0, -19}, {0.0, -13, 13}, {1.0, 13, 13}};
    PxmSurface want = {};
    for (auto &c : cases) {
        snm_set_volume(c.volume);
        ui_repaint(controls_window);
        ASSERT_TRUE(pxm_surface_copy(&want, &player_skin.controls_panel));
        int x = cx + c.dx, y = cy + c.dy;
        pxm_blit(&want, x - 6, y - 6, x + 5, y + 5, &player_skin.knob_dot, 0, 0, 12, 12, 0);
        for (int py = cy - 28; py <= cy + 21; py++)
            for (int px = cx - 22; px <= cx + 21; px++)
                ASSERT_EQ(ui_pixel(&want, px, py), ui_pixel(&controls_back_buffer, px, py))
                    << c.volume << " at " << px << "," << py;
    }
    pxm_surface_free(&want, 0);
}

TEST_F(Controls, ThumbFollowsThePositionAndRestsLeftWithoutMedia)
{
    auto thumb_centre = [] {
        ui_repaint(controls_window);
        int lo = 10000, hi = -1;
        for (int x = 0; x < 480; x++)
            if (ui_pixel(&controls_back_buffer, x, 14) != ui_pixel(&player_skin.controls_panel, x, 14)) {
                lo = x < lo ? x : lo;
                hi = x;
            }
        return (lo + hi) / 2.0;
    };
    EXPECT_NEAR(29.5, thumb_centre(), 1.5);  // nothing open: duration 0
    open_paused();
    snm_seek(snm_get_duration() / 2);
    EXPECT_NEAR(30 + 419 / 2.0, thumb_centre(), 1.5);
    snm_seek(snm_get_duration());
    EXPECT_NEAR(449 - 0.5, thumb_centre(), 1.5);
}

TEST_F(Controls, PanelIsKeptAt480AndItsMiddleRepeatsWhenWider)
{
    // Rows 0-4 and 74-89 have nothing drawn over the panel.
    expect_panel(0, 4, [](int x) { return x; });
    expect_panel(74, 89, [](int x) { return x; });
    ui_set_size(controls_window, 600, 90);
    auto wide = [](int x) { return x < 256 ? x : x >= 450 ? x - 120 : 256 + (x - 255) % 11; };
    expect_panel(0, 4, wide);
    expect_panel(74, 89, wide);
}

TEST_F(Controls, BackBufferKeepsItsSlackAndOddSizesAreSafe)
{
    struct { int w, h; int bw; } sizes[] = {
        {480, 90, 512}, {490, 100, 512}, {513, 90, 545}, {4, 4, 36}, {3, 90, 36}, {99999, 90, 0}, {100000, 90, 0}};
    for (auto &s : sizes) {
        ui_set_size(controls_window, s.w, s.h);
        ui_repaint(controls_window);
        RECT rc;
        GetClientRect(controls_window, &rc);
        if (rc.right != s.w) continue;  // the system refused the size
        EXPECT_EQ(s.bw, pxm_surface_validate(&controls_back_buffer, 0) ? controls_back_buffer.width : 0) << s.w;
    }
    ui_set_size(controls_window, 480, 90);
    open_paused();
    int extremes[][2] = {{-32768, -32768}, {32767, 32767}, {-32768, 32767}, {30, 14}, {375, 53}};
    for (auto &p : extremes)
        for (auto &q : extremes) press_release(p[0], p[1], q[0], q[1]);
    ui_repaint(controls_window);
    EXPECT_GE(snm_get_position(), 0.0);
    EXPECT_LE(snm_get_position(), snm_get_duration() + 0.01);
    EXPECT_GE(snm_get_volume(), 0.0);
    EXPECT_LE(snm_get_volume(), 1.0);
}

TEST_F(Controls, HoverLightsTheButtonAndTheGripSizes)
{
    POINT origin = {0, 0};
    ClientToScreen(controls_window, &origin);
    ui_repaint(controls_window);
    uint32_t idle = ui_pixel(&controls_back_buffer, 41, 40), arrow = ui_pixel(&controls_back_buffer, 11, 13);
    SetCursorPos(origin.x + 41, origin.y + 52);
    ui_repaint(controls_window);
    EXPECT_NE(idle, ui_pixel(&controls_back_buffer, 41, 40));
    SetCursorPos(origin.x + 11, origin.y + 13);
    ui_repaint(controls_window);
    EXPECT_NE(arrow, ui_pixel(&controls_back_buffer, 11, 13));
    auto hit = [&](int x, int y) {
        SetCursorPos(origin.x + x, origin.y + y);
        return SendMessageA(controls_window, WM_NCHITTEST, 0, MAKELPARAM(origin.x + x, origin.y + y));
    };
    EXPECT_EQ(HTCLIENT, hit(11, 13));
    EXPECT_EQ(HTBOTTOMRIGHT, hit(475, 85));
    EXPECT_EQ(HTCLIENT, hit(463, 85));
}

}  // namespace
