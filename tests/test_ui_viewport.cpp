// The viewport with the real windows and engine: the end-of-track advance, the
// event drain, the centred splash, and the video read back from the renderer.
#include <dshow.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "media_writer.h"
#include "ui_fixture.h"
#include "ui_windows.h"

namespace {

std::vector<MSG> taken;  // the private messages, as the queue hands them out

LRESULT CALLBACK log_taken(int code, WPARAM wp, LPARAM lp)
{
    const MSG *m = (const MSG *)lp;
    if (code == HC_ACTION && wp == PM_REMOVE &&
        (m->message == WM_APP_MEDIA_EVENT || m->message == WM_APP_PLAYLIST_SHOW_CURRENT))
        taken.push_back(*m);
    return CallNextHookEx(nullptr, code, wp, lp);
}

int completions()
{
    int n = 0;
    for (const MSG &m : taken) n += m.message == WM_APP_MEDIA_EVENT && m.wParam == 1;
    return n;
}

std::string media(const std::string &name)
{
    static TempDir dir("viewport");
    return dir.file(name);
}

std::string clip(int i)
{
    std::string p = media("c" + std::to_string(i) + ".wav");
    media_write_wav(p.c_str(), 0.3, 8000, 1, 440);
    return p;
}

// media_write_avi's frame n at (x, y), top-down, as 0xRRGGBB.
uint32_t pattern(int w, int h, int n, int x, int y)
{
    static const uint32_t bars[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0};
    int box = h / 4 > 4 ? h / 4 : 4, bx = (n * 4) % (w + box) - box, by = (h - box) / 2;
    if (x >= bx && x < bx + box && y >= by && y < by + box) return (x - bx < 2 || y - by < 2) ? 0x282828 : 0xFAFAFA;
    if (y >= h * 3 / 4) return 0x010101u * (uint32_t)(x * 255 / (w - 1));
    return bars[(((x + n * 2) % w) * 8) / w];
}

struct Viewport : PlayerWindows {
    HHOOK hook;
    Viewport() : hook(SetWindowsHookExA(WH_GETMESSAGE, log_taken, nullptr, GetCurrentThreadId())) { taken.clear(); }
    ~Viewport() override { UnhookWindowsHookEx(hook); }
    void client_size(int w, int h)
    {
        RECT wr, cr;
        GetWindowRect(viewport_window, &wr);
        GetClientRect(viewport_window, &cr);
        ui_set_size(viewport_window, w + wr.right - wr.left - cr.right, h + wr.bottom - wr.top - cr.bottom);
    }
};

TEST_F(Viewport, EndOfTrackAdvancesWrapsReplaysOrStops)
{
    // Entries in the list, and the entry each completion moves on to (-1: stopped, nothing opened).
    for (auto c : {std::make_pair(3, std::vector<int>{1, 2, 0}), {1, {0, 0}}, {0, {-1}}}) {
        playlist_reset_for_test();
        taken.clear();
        for (int i = 0; i < c.first; i++) playlist_add(clip(i).c_str());
        ASSERT_TRUE(snm_open(clip(0).c_str()) && snm_play());
        for (size_t k = 0; k < c.second.size(); k++) {
            int next = c.second[k];
            ASSERT_TRUE(pump_until([&] { return completions() > (int)k; }, 5000)) << c.first << " entries";
            EXPECT_EQ(next < 0 ? clip(0) : clip(next), ui_open_media()) << c.first << " entries, completion " << k;
            EXPECT_EQ(next >= 0, snm_is_playing());
            EXPECT_EQ(next < 0 ? 0 : next, playlist_current);
        }
    }
}

// Two events waiting in the graph: one message each in the graph's order,
// each handled behind what the queue already held.
TEST_F(Viewport, WaitingEventsAreHandledInOrder)
{
    for (int i = 0; i < 2; i++) playlist_add(clip(i).c_str());
    ASSERT_TRUE(snm_open(clip(0).c_str()));
    IMediaEventSink *sink = nullptr;
    ASSERT_EQ(S_OK, snm_engine.graph->QueryInterface(IID_IMediaEventSink, (void **)&sink));
    snm_engine.event_ex->CancelDefaultHandling(EC_COMPLETE);  // passed on as it comes
    sink->Notify(EC_STATE_CHANGE, State_Paused, 0);
    sink->Notify(EC_COMPLETE, S_OK, 0);
    sink->Release();
    ASSERT_TRUE(pump_until([] { return taken.size() >= 3; }, 3000));
    EXPECT_EQ(2u, taken[0].wParam);
    EXPECT_EQ(1u, taken[1].wParam);
    EXPECT_TRUE(taken[2].hwnd == playlist_window && taken[2].message == WM_APP_PLAYLIST_SHOW_CURRENT);
    EXPECT_EQ(clip(1), ui_open_media());
}

TEST_F(Viewport, SplashCentredOnBlackInABufferOfTheClientSize)
{
    PxmSurface *s = &player_skin.splash;
    ASSERT_TRUE(s->width == 320 && s->height == 240 && ui_pixel(s, 100, 60) != ui_pixel(s, 160, 120));
    for (SIZE z : {SIZE{200, 100}, SIZE{401, 301}, SIZE{3, 50}}) {
        client_size(z.cx, z.cy);
        ui_repaint(viewport_window);
        int w = viewport_back_buffer.width, h = viewport_back_buffer.height, ox = (w - 320) / 2, oy = (h - 240) / 2;
        ASSERT_TRUE(z.cx < 4 ? w == 401 && h == 301 : w == z.cx && h == z.cy) << "too small to draw: kept";
        if (z.cx < 4) continue;
        int wrong = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint32_t want = ui_pixel(s, x - ox, y - oy);  // 0xDEADBEEF off the splash: black there
                wrong += ui_pixel(&viewport_back_buffer, x, y) != (want == 0xDEADBEEF ? 0 : want);
            }
        EXPECT_EQ(0, wrong) << z.cx << " x " << z.cy;
        HDC dc = GetDC(viewport_window);
        uint32_t mid = ui_pixel(&viewport_back_buffer, w / 2, h / 2);
        EXPECT_EQ(RGB(mid >> 16 & 255, mid >> 8 & 255, mid & 255), GetPixel(dc, w / 2, h / 2)) << "on screen";
        ReleaseDC(viewport_window, dc);
    }
}

// Under Wine the video never reaches the X display: the frame is read back
// from the renderer, paused on frame 5 of the pattern.
TEST_F(Viewport, VideoFollowsTheViewportAndShowsThePattern)
{
    std::string avi = media("bars.avi");
    ASSERT_TRUE(media_write_avi(avi.c_str(), 64, 48, 10, 20, 0, 0) && snm_open(avi.c_str()) && snm_play());
    ASSERT_TRUE(pump_until([] { return snm_get_position() > 0.3; }, 3000));
    client_size(250, 150);
    long x = -1, y = -1, w = 0, h = 0;
    snm_engine.video->GetWindowPosition(&x, &y, &w, &h);
    POINT o = {0, 0};  // Wine reports the place on the screen, Windows the place in the owner
    ClientToScreen(viewport_window, &o);
    EXPECT_TRUE((x == 0 || x == o.x) && (y == 0 || y == o.y) && w == 250 && h == 150) << x << "," << y;
    snm_pause();
    snm_seek(0.55);
    pump_for(300);
    IBasicVideo *video = nullptr;
    ASSERT_EQ(S_OK, snm_engine.graph->QueryInterface(IID_IBasicVideo, (void **)&video));
    std::vector<long> image(64 * 48 + 1024);
    long size = (long)(image.size() * sizeof(long));
    HRESULT hr = video->GetCurrentImage(&size, image.data());
    video->Release();
    ASSERT_EQ(S_OK, hr);
    const BITMAPINFOHEADER *bih = (const BITMAPINFOHEADER *)image.data();
    ASSERT_TRUE(bih->biWidth == 64 && bih->biHeight == 48 && bih->biBitCount == 32);
    const uint32_t *px = (const uint32_t *)((const char *)bih + bih->biSize);
    // Wine hands the rows over top-down in spite of the positive height; Windows bottom-up.
    int wrong[2] = {0, 0};
    for (int r = 0; r < 48; r++)
        for (int c = 0; c < 64; c++)
            for (int down = 0; down < 2; down++)
                wrong[down] += (px[(down ? r : 47 - r) * 64 + c] & 0xFFFFFF) != pattern(64, 48, 5, c, r);
    EXPECT_EQ(0, std::min(wrong[0], wrong[1])) << "pixels off frame 5 of the pattern";
}

TEST_F(Viewport, DroppedFolderPlaysInTurnAndWraps)
{
    TempDir folder("viewport_drop");
    for (const char *n : {"one.avi", "two.avi", "three.avi"})
        ASSERT_TRUE(media_write_avi(folder.file(n).c_str(), 32, 24, 10, 10, 8000, 440));
    SendMessageA(main_window, WM_DROPFILES, (WPARAM)make_hdrop({folder.path()}), 0);
    ASSERT_EQ(3, playlist_count);
    for (int want : {0, 1, 2, 0}) {
        std::string path = playlist_entries[want].path;
        ASSERT_TRUE(pump_until([&] { return ui_open_media() == path && snm_is_playing(); }, 4000)) << "entry " << want;
        EXPECT_EQ(want, playlist_current);
        // The playlist column marks the playing row, and only it, with the orange ball.
        ui_repaint(playlist_window);
        for (int row = 0; row < 3; row++) {
            uint32_t p = ui_pixel(&playlist_list_surface, 8, row * 20 - playlist_scroll_offset + 9);
            bool orange = (p >> 24) == 0 && ((p >> 16) & 0xFF) > 0xC0 && (p & 0xFF) < 0x80;
            EXPECT_EQ(row == want, orange) << "row " << row << " while entry " << want << " plays";
        }
    }
}

}  // namespace
