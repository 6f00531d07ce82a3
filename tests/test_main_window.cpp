// The main window in this process with the real windows and media engine:
// layout of the children, minimum size, placement helpers, dropped files and
// every command of the menu.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "dialog_driver.h"
#include "media_writer.h"
#include "player.h"
#include "playlist.h"
#include "playlist_reset.h"
#include "sonmoor.h"
#include "test_util.h"
#include "ui_fixture.h"

namespace {

RECT rect_in_parent(HWND w)
{
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), (POINT *)&r, 2);
    return r;
}

std::string rect_text(const RECT &r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

void command(int id) { SendMessageA(main_window, WM_COMMAND, id, 0); }

class MainWindow : public PlayerWindows {
protected:
    static TempDir *dir;
    static std::string long_wav, t1, t2, t3;
    static void SetUpTestSuite()
    {
        PlayerWindows::SetUpTestSuite();
        dir = new TempDir("mainwin");
        long_wav = dir->file("long.wav");
        t1 = dir->file("t1.wav");
        t2 = dir->file("t2.wav");
        t3 = dir->file("t3.wav");
        ASSERT_TRUE(media_write_wav(long_wav.c_str(), 14.0, 8000, 1, 300));
        for (const std::string &t : {t1, t2, t3}) ASSERT_TRUE(media_write_wav(t.c_str(), 3.0, 8000, 1, 500));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        PlayerWindows::TearDownTestSuite();
    }
    static void add(const std::string &p) { ASSERT_EQ(1, playlist_add(p.c_str())); }
    static bool wait_playing(bool playing)
    {
        return pump_until([&] { return (snm_is_playing() != 0) == playing; }, 3000);
    }
};
TempDir *MainWindow::dir;
std::string MainWindow::long_wav, MainWindow::t1, MainWindow::t2, MainWindow::t3;

TEST_F(MainWindow, StartsCentredOnTheDesktopWithItsChildrenLaidOut)
{
    RECT desk, r;
    GetWindowRect(GetDesktopWindow(), &desk);
    GetWindowRect(main_window, &r);
    EXPECT_EQ(600, r.right - r.left);
    EXPECT_EQ(500, r.bottom - r.top);
    EXPECT_EQ((desk.left + desk.right) / 2 - 300, r.left);
    EXPECT_EQ((desk.top + desk.bottom) / 2 - 250, r.top);
    // Showing the window laid the children out.
    RECT client;
    GetClientRect(main_window, &client);
    EXPECT_EQ(rect_text({0, client.bottom - 90, client.right, client.bottom}), rect_text(rect_in_parent(controls_window)));
}

TEST_F(MainWindow, LayoutOfTheExampleClientArea)
{
    ASSERT_EQ(1, player_set_client_size(main_window, 584, 442));
    RECT client;
    GetClientRect(main_window, &client);
    ASSERT_EQ(584, client.right);
    ASSERT_EQ(442, client.bottom);
    EXPECT_EQ("0,0 384x352", rect_text(rect_in_parent(viewport_window)));
    EXPECT_EQ("384,0 200x352", rect_text(rect_in_parent(playlist_window)));
    EXPECT_EQ("0,352 584x90", rect_text(rect_in_parent(controls_window)));
    // The controls strip ends on top of its siblings.
    EXPECT_EQ(controls_window, GetWindow(main_window, GW_CHILD));
    for (HWND w : {viewport_window, playlist_window, controls_window}) EXPECT_TRUE(IsWindowVisible(w));

    // A size message with zero parameters still lays out by the real client area.
    playlist_width = 250;
    SendMessageA(main_window, WM_SIZE, 0, 0);
    EXPECT_EQ("0,0 334x352", rect_text(rect_in_parent(viewport_window)));
    EXPECT_EQ("334,0 250x352", rect_text(rect_in_parent(playlist_window)));
}

TEST_F(MainWindow, ClientNarrowerThanTheColumn)
{
    playlist_width = 200;
    // Bypass the minimum: the layout itself does not care how it got this small.
    SetWindowPos(main_window, nullptr, 0, 0, 160, 300, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    GetClientRect(main_window, &client);
    ASSERT_LT(client.right, 200);
    RECT pl = rect_in_parent(playlist_window);
    EXPECT_EQ(client.right - 200, pl.left) << "the column's left edge lies left of 0";
    EXPECT_LT(pl.left, 0);
    RECT vp;
    GetClientRect(viewport_window, &vp);
    EXPECT_EQ(0, vp.right) << "nothing of the viewport is visible";
}

TEST_F(MainWindow, MinimumSizeWhileSizing)
{
    RECT r = {100, 50, 300, 200};
    EXPECT_EQ(TRUE, SendMessageA(main_window, WM_SIZING, WMSZ_TOPLEFT, (LPARAM)&r));
    EXPECT_EQ("100,50 500x400", rect_text(r)) << "the right and bottom edges move whichever edge is dragged";
    RECT big = {-20, -30, 700, 600};
    SendMessageA(main_window, WM_SIZING, WMSZ_BOTTOMRIGHT, (LPARAM)&big);
    EXPECT_EQ("-20,-30 720x630", rect_text(big));
    RECT exact = {0, 0, 500, 399};
    SendMessageA(main_window, WM_SIZING, WMSZ_BOTTOM, (LPARAM)&exact);
    EXPECT_EQ("0,0 500x400", rect_text(exact));
}

class Placement : public ::testing::Test {
protected:
    static LRESULT CALLBACK log_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == WM_WINDOWPOSCHANGED) {
            const WINDOWPOS *p = (const WINDOWPOS *)lp;
            if (!(p->flags & SWP_NOSIZE)) sizes().push_back(std::to_string(p->cx) + "x" + std::to_string(p->cy));
        }
        return DefWindowProcA(w, msg, wp, lp);
    }
    static std::vector<std::string> &sizes()
    {
        static std::vector<std::string> s;
        return s;
    }
    static HWND make(DWORD style, int x, int y, int w, int h)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = log_proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "placement_test";
        RegisterClassA(&wc);
        return CreateWindowExA(0, "placement_test", "placement", style, x, y, w, h, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }
};

TEST_F(Placement, CentringRules)
{
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    const int cx = (desk.left + desk.right) / 2, cy = (desk.top + desk.bottom) / 2;

    HWND ref = make(WS_POPUP | WS_VISIBLE, 400, 100, 200, 300);  // centre (500, 250)
    HWND w = make(WS_POPUP | WS_VISIBLE, 0, 0, 301, 101);
    player_center_window(w, ref);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(349, r.left) << "500 - (301 + 1) / 2";
    EXPECT_EQ(199, r.top) << "250 - (101 + 1) / 2";
    EXPECT_EQ(301, r.right - r.left) << "the size is kept";

    ShowWindow(ref, SW_MINIMIZE);
    player_center_window(w, ref);
    GetWindowRect(w, &r);
    EXPECT_EQ(cx - 151, r.left) << "a minimised reference gives way to the desktop";
    EXPECT_EQ(cy - 51, r.top);

    HWND off = make(WS_POPUP | WS_VISIBLE, desk.right + 500, 100, 100, 100);
    SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    player_center_window(w, off);
    GetWindowRect(w, &r);
    EXPECT_EQ(cx - 151, r.left) << "a reference off the desktop gives way to the desktop";

    player_center_window(w, nullptr);
    GetWindowRect(w, &r);
    EXPECT_EQ(cy - 51, r.top);

    DestroyWindow(off);
    DestroyWindow(ref);
    player_center_window(w, ref);  // no longer a window
    GetWindowRect(w, &r);
    EXPECT_EQ(cx - 151, r.left);
    DestroyWindow(w);
    player_center_window(w, nullptr);  // nothing happens to a dead handle
}

TEST_F(Placement, ExactClientSizeOnACaptionedDialog)
{
    HWND w = make(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 10, 10, 200, 150);
    RECT client, outer;
    GetClientRect(w, &client);
    GetWindowRect(w, &outer);
    int dx = (outer.right - outer.left) - client.right, dy = (outer.bottom - outer.top) - client.bottom;
    ASSERT_LE(dx + 1, 12);
    ASSERT_LE(dy + 1, 32);
    sizes().clear();
    EXPECT_EQ(1, player_set_client_size(w, 333, 222));
    GetClientRect(w, &client);
    EXPECT_EQ(333, client.right);
    EXPECT_EQ(222, client.bottom);
    // The first resize takes one pixel too many each way; the second corrects it.
    ASSERT_EQ(2u, sizes().size());
    EXPECT_EQ(std::to_string(333 + dx + 1) + "x" + std::to_string(222 + dy + 1), sizes()[0]);
    EXPECT_EQ(std::to_string(333 + dx) + "x" + std::to_string(222 + dy), sizes()[1]);
    DestroyWindow(w);
}

TEST_F(MainWindow, DroppedFilesWhilePlayingOnlyExtendTheList)
{
    add(t1);
    command(40005);  // Play: nothing open, so the current entry plays
    ASSERT_TRUE(wait_playing(true));
    EXPECT_EQ(t1, ui_open_media());
    SendMessageA(main_window, WM_DROPFILES, (WPARAM)make_hdrop({t2, t3}), 0);
    EXPECT_EQ(3, playlist_count);
    EXPECT_EQ(t1, ui_open_media());
    EXPECT_TRUE(snm_is_playing());
}

TEST_F(MainWindow, DroppedFilesWhileStoppedPlayTheCurrentEntry)
{
    add(t1);
    add(t2);
    playlist_current = 1;
    SendMessageA(main_window, WM_DROPFILES, (WPARAM)make_hdrop({t3}), 0);
    EXPECT_EQ(3, playlist_count);
    EXPECT_EQ(t2, ui_open_media()) << "the current entry, not the dropped file";
    ASSERT_TRUE(wait_playing(true));
    command(40005);  // pause
    ASSERT_TRUE(wait_playing(false));
    SendMessageA(main_window, WM_DROPFILES, (WPARAM)make_hdrop({t1}), 0);
    EXPECT_EQ(4, playlist_count);
    EXPECT_TRUE(wait_playing(true));
    EXPECT_LT(snm_get_position(), 0.3) << "reopened from its start";
}

TEST_F(MainWindow, PlayPausesResumesAndStopRewinds)
{
    add(long_wav);
    command(40005);
    ASSERT_TRUE(wait_playing(true));
    pump_for(500);
    command(40005);
    ASSERT_TRUE(wait_playing(false));
    double at = snm_get_position();
    EXPECT_GT(at, 0.2);
    command(40005);
    ASSERT_TRUE(wait_playing(true));
    EXPECT_GE(snm_get_position(), at - 0.01) << "resumed, not restarted";
    command(40006);
    EXPECT_FALSE(snm_is_playing());
    EXPECT_EQ(0.0, snm_get_position());
    EXPECT_TRUE(snm_is_open());
    command(40005);
    ASSERT_TRUE(wait_playing(true));
    EXPECT_LT(snm_get_position(), at) << "after Stop, Play starts at 0";
}

TEST_F(MainWindow, NextAndPrevWrapAround)
{
    add(t1);
    add(t2);
    add(t3);
    command(40007);
    EXPECT_EQ(1, playlist_current);
    EXPECT_EQ(t2, ui_open_media());
    EXPECT_TRUE(wait_playing(true));
    command(40007);
    command(40007);
    EXPECT_EQ(0, playlist_current) << "Next on the last wraps to the first";
    EXPECT_EQ(t1, ui_open_media());
    command(40008);
    EXPECT_EQ(2, playlist_current) << "Prev on the first wraps to the last";
    EXPECT_EQ(t3, ui_open_media());
}

TEST_F(MainWindow, PrevRestartsOnlyAfterTenSeconds)
{
    add(t1);
    add(long_wav);
    playlist_current = 1;
    command(40005);
    ASSERT_TRUE(wait_playing(true));
    command(40005);
    ASSERT_TRUE(wait_playing(false));
    snm_seek(10.1);
    command(40008);
    EXPECT_EQ(1, playlist_current) << "restarts the current entry";
    EXPECT_EQ(long_wav, ui_open_media());
    EXPECT_EQ(0.0, snm_get_position());

    ASSERT_DOUBLE_EQ(10.0, snm_seek(10.0));
    command(40008);
    EXPECT_EQ(0, playlist_current) << "at exactly 10.0 s it steps back";
    EXPECT_EQ(t1, ui_open_media());
}

TEST_F(MainWindow, SkipForwardAndReverseClamp)
{
    add(long_wav);
    command(40005);
    ASSERT_TRUE(wait_playing(true));
    command(40005);
    ASSERT_TRUE(wait_playing(false));
    double d = snm_get_duration();
    snm_seek(d - 3.0);
    command(40062);
    EXPECT_DOUBLE_EQ(d, snm_get_position()) << "lands exactly on the duration";
    snm_seek(1.0);
    command(40062);
    EXPECT_NEAR(11.0, snm_get_position(), 1e-3);
    snm_seek(4.0);
    command(40061);
    EXPECT_EQ(0.0, snm_get_position());
    snm_seek(12.5);
    command(40061);
    EXPECT_NEAR(2.5, snm_get_position(), 1e-3);
}

TEST_F(MainWindow, DeleteAndClearNeverStopPlaybackCloseNeverTouchesTheList)
{
    add(t1);
    add(t2);
    add(t3);
    command(40005);
    ASSERT_TRUE(wait_playing(true));
    playlist_toggle_selection(0, 0);
    command(40029);
    EXPECT_EQ(2, playlist_count);
    EXPECT_TRUE(snm_is_playing()) << "the removed entry keeps playing";
    EXPECT_EQ(t1, ui_open_media());
    command(40054);
    EXPECT_EQ(0, playlist_count);
    EXPECT_TRUE(snm_is_playing());

    add(t2);
    command(40041);
    EXPECT_FALSE(snm_is_open());
    EXPECT_EQ(1, playlist_count);
    EXPECT_STREQ(t2.c_str(), playlist_entries[0].path);
}

TEST_F(MainWindow, EmptyPlaylistClosesWhatWasOpen)
{
    ASSERT_EQ(1, snm_open(t1.c_str()));  // as from the command line
    snm_play();
    command(40007);
    EXPECT_FALSE(snm_is_open());
    ASSERT_EQ(1, snm_open(t1.c_str()));
    command(40008);
    EXPECT_FALSE(snm_is_open());
}

TEST_F(MainWindow, InertCommandsDoNothing)
{
    add(t1);
    command(40005);
    ASSERT_TRUE(wait_playing(true));
    RECT before;
    GetWindowRect(main_window, &before);
    for (int id : {40013, 40014, 40015, 40038, 40045, 40046, 40050, 40051, 40055, 40056, 40057, 40058, 40059, 40060,
                   12345}) {
        EXPECT_EQ(0, SendMessageA(main_window, WM_COMMAND, id, 0)) << id;
    }
    EXPECT_TRUE(IsWindow(main_window)) << "Exit does not close the window";
    EXPECT_TRUE(snm_is_playing());
    EXPECT_EQ(1, playlist_count);
    RECT after;
    GetWindowRect(main_window, &after);
    EXPECT_EQ(rect_text(before), rect_text(after));
}

TEST_F(MainWindow, OpenFileAndExportThroughTheDialogs)
{
    SetCurrentDirectoryA(dir->path().c_str());
    DialogScript open;
    open.title = "Open";
    open.typed = t2;
    HANDLE t = dialog_driver_start(&open);
    command(40002);
    WaitForSingleObject(t, 10000);
    CloseHandle(t);
    EXPECT_EQ(1, playlist_count);
    EXPECT_EQ(t2, ui_open_media()) << "nothing played, so the current entry starts";
    EXPECT_TRUE(wait_playing(true));

    DialogScript add_more;
    add_more.title = "Open";
    add_more.typed = t3;
    t = dialog_driver_start(&add_more);
    command(40017);  // Playlist, Add: playback untouched
    WaitForSingleObject(t, 10000);
    CloseHandle(t);
    EXPECT_EQ(2, playlist_count);
    EXPECT_EQ(t2, ui_open_media());

    DialogScript save;
    save.title = "Save Playlist";
    save.typed = "main export";
    t = dialog_driver_start(&save);
    command(40032);
    WaitForSingleObject(t, 10000);
    CloseHandle(t);
    EXPECT_EQ("#EXTM3U\r\n" + t2 + "\r\n" + t3 + "\r\n", read_file_bytes(dir->file("main export.m3u")));
}

}  // namespace
