// The main window in this process with the real windows and media engine:
// layout of the children, minimum size, placement helpers, dropped files and
// every command of the menu.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
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
#include "ui_windows.h"

#include <d3d9.h>
#include <shobjidl.h>
#include <vmr9.h>

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

std::string caption()
{
    char text[400] = "";
    GetWindowTextA(main_window, text, sizeof text);
    return text;
}

UINT menu_state(int id) { return GetMenuState(GetMenu(main_window), id, MF_BYCOMMAND); }

int aspect_mode()
{
    DWORD mode = 99;
    IVMRAspectRatioControl9 *aspect = nullptr;
    if (snm_engine.renderer &&
        SUCCEEDED(snm_engine.renderer->QueryInterface(IID_IVMRAspectRatioControl9, (void **)&aspect))) {
        aspect->GetAspectRatioMode(&mode);
        aspect->Release();
    }
    return (int)mode;
}

// On Top, Aspect Ratio, volume and mute keys' commands, the caption, and
// Exit last: each through the real window.
TEST_F(MainWindow, ViewSoundCaptionAndExitCommands)
{
    command(40013);
    EXPECT_TRUE(GetWindowLongA(main_window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(menu_state(40013) & MF_CHECKED);
    command(40013);
    EXPECT_FALSE(GetWindowLongA(main_window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(menu_state(40013) & MF_CHECKED);

    // The shape choice reaches the renderer and holds for the next file.
    std::string a = dir->file("a.avi"), b = dir->file("b.avi");
    ASSERT_TRUE(media_write_avi(a.c_str(), 32, 24, 10, 10, 0, 0));
    ASSERT_TRUE(media_write_avi(b.c_str(), 32, 24, 10, 10, 0, 0));
    add(a);
    add(b);
    command(40005);
    EXPECT_EQ(VMR9ARMode_LetterBox, aspect_mode());
    command(40014);
    EXPECT_EQ(VMR9ARMode_None, aspect_mode());
    EXPECT_TRUE(menu_state(40014) & MF_CHECKED);
    EXPECT_FALSE(menu_state(40015) & MF_CHECKED);
    command(40007);
    EXPECT_EQ(b, ui_open_media());
    EXPECT_EQ(VMR9ARMode_None, aspect_mode());
    EXPECT_EQ("b.avi - Quorva Media Player", caption());
    command(40015);
    EXPECT_EQ(VMR9ARMode_LetterBox, aspect_mode());
    EXPECT_TRUE(menu_state(40015) & MF_CHECKED);

    snm_set_volume(0.5);
    command(40071);
    EXPECT_NEAR(0.55, snm_get_volume(), 0.011);
    command(40072);
    command(40072);
    EXPECT_NEAR(0.45, snm_get_volume(), 0.011);
    command(40073);
    EXPECT_EQ(1, snm_get_mute());
    command(40073);
    EXPECT_EQ(0, snm_get_mute());

    command(40041);
    EXPECT_EQ("Quorva Media Player", caption());
    command(40055);  // Exit closes as the close box does
    EXPECT_FALSE(IsWindow(main_window));
}

// Repeat Track, from the menu and the fifth button: the clip that ends plays
// again and the list stays where it is; the button shows its pressed face.
TEST_F(MainWindow, RepeatTrackReplaysTheClipThatEnds)
{
    std::string shortest = dir->file("short.wav");
    ASSERT_TRUE(media_write_wav(shortest.c_str(), 0.6, 8000, 1, 700));
    add(shortest);
    add(t1);
    // The fifth button's 32 x 32 pixels, the cursor elsewhere.
    auto fifth = [] {
        ui_repaint(controls_window);
        std::vector<uint32_t> p;
        for (int y = 37; y < 69; y++)
            for (int x = 186; x < 218; x++) p.push_back(ui_pixel(&controls_back_buffer, x, y));
        return p;
    };
    SetCursorPos(0, 0);
    std::vector<uint32_t> before = fifth();
    command(40070);
    EXPECT_EQ(1, player_repeat_track);
    EXPECT_TRUE(menu_state(40070) & MF_CHECKED);
    EXPECT_NE(before, fifth());
    command(40005);
    ASSERT_TRUE(wait_playing(true));
    // Past the end of the clip twice over: still the same file, playing.
    pump_for(1800);
    EXPECT_EQ(shortest, ui_open_media());
    EXPECT_EQ(0, playlist_current);
    EXPECT_TRUE(snm_is_playing());
    // The fifth button turns it off again; the clip then steps on.
    ui_mouse(controls_window, WM_LBUTTONDOWN, 200, 50, MK_LBUTTON);
    ui_mouse(controls_window, WM_LBUTTONUP, 200, 50);
    pump_until([] { return player_repeat_track == 0; }, 1000);
    EXPECT_EQ(0, player_repeat_track);
    EXPECT_TRUE(pump_until([&] { return ui_open_media() == t1; }, 3000));
    EXPECT_EQ(1, playlist_current);
}

// The four Sort entries on untagged files: by display name (title and artist
// fall back to it), and at random a permutation; the current entry and the
// selection stay on their files.
TEST_F(MainWindow, SortEntriesReorderAndKeepCurrentAndSelection)
{
    for (const std::string &t : {t3, t1, long_wav, t2}) add(t);
    playlist_current = 1;  // t1
    playlist_toggle_selection(2, 1);  // long.wav
    for (int id : {40058, 40060, 40059, 40057}) {
        command(id);
        std::vector<std::string> order;
        for (int i = 0; i < playlist_count; i++) order.push_back(playlist_entries[i].path);
        if (id != 40057) {
            EXPECT_EQ((std::vector<std::string>{long_wav, t1, t2, t3}), order) << id;
        }
        std::vector<std::string> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ((std::vector<std::string>{long_wav, t1, t2, t3}), sorted) << id;
        EXPECT_EQ(t1, playlist_entries[playlist_current].path) << id;
        for (int i = 0; i < playlist_count; i++)
            EXPECT_EQ(order[i] == long_wav, (playlist_entries[i].flags & PLAYLIST_SELECTED) != 0) << id;
    }
}

std::vector<int> seen_commands;

// Stands in for the main window's procedure: notes the commands, does nothing.
LRESULT CALLBACK record_commands(HWND, UINT msg, WPARAM wp, LPARAM)
{
    if (msg == WM_COMMAND) seen_commands.push_back(LOWORD(wp));
    return 0;
}

// Every key of the table, through TranslateAcceleratorA on a posted key
// message, sends its menu entry's command to the main window.
TEST_F(MainWindow, KeysSendTheirMenuCommands)
{
    seen_commands.clear();
    WNDPROC real = (WNDPROC)SetWindowLongPtrA(main_window, GWLP_WNDPROC, (LONG_PTR)record_commands);
    HACCEL keys = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(PLAYER_ACCELERATORS_RESOURCE));
    ASSERT_NE(keys, nullptr);
    struct { int key, modifier, command; } table[] = {
        {VK_SPACE, 0, 40005}, {'S', 0, 40006}, {VK_LEFT, 0, 40061}, {VK_RIGHT, 0, 40062},
        {VK_PRIOR, 0, 40008}, {VK_NEXT, 0, 40007}, {VK_UP, 0, 40071}, {VK_DOWN, 0, 40072},
        {'M', 0, 40073}, {'O', VK_CONTROL, 40002}, {'S', VK_CONTROL, 40032}, {VK_DELETE, 0, 40029},
        {VK_F11, 0, 40074}, {VK_RETURN, VK_MENU, 40074}, {'Q', VK_CONTROL, 40055},
    };
    BYTE state[256];
    for (auto &t : table) {
        GetKeyboardState(state);
        state[VK_CONTROL] = state[VK_MENU] = 0;
        if (t.modifier) state[t.modifier] = 0x80;
        SetKeyboardState(state);
        seen_commands.clear();
        MSG msg = {playlist_window, t.modifier == VK_MENU ? (UINT)WM_SYSKEYDOWN : (UINT)WM_KEYDOWN, (WPARAM)t.key,
                   t.modifier == VK_MENU ? 0x20000001 : 1, 0, {0, 0}};
        EXPECT_TRUE(TranslateAcceleratorA(main_window, keys, &msg)) << t.key;
        EXPECT_EQ(std::vector<int>{t.command}, seen_commands) << t.key << " with " << t.modifier;
    }
    state[VK_CONTROL] = state[VK_MENU] = 0;
    SetKeyboardState(state);
    SetWindowLongPtrA(main_window, GWLP_WNDPROC, (LONG_PTR)real);
}

// The media keys inside the player (WM_APPCOMMAND), as hot keys from anywhere
// (WM_HOTKEY, where this player holds them: one held by another window stays
// its own) and the taskbar's thumbnail buttons (THBN_CLICKED), each read back
// in the player's state.
TEST_F(MainWindow, MediaKeysHotKeysAndThumbnailButtons)
{
    add(t1), add(t2), add(t3);
    // Explorer's message makes the thumbnail toolbar (Wine's taskbar takes it
    // and shows nothing); the timer then keeps its progress.
    player_taskbar_created_message = RegisterWindowMessageA("TaskbarButtonCreated");
    SendMessageA(main_window, player_taskbar_created_message, 0, 0);
    HWND other = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    BOOL taken = RegisterHotKey(other, 7, 0, VK_MEDIA_STOP);  // another program's key first
    int held = player_set_media_keys(main_window, 1);
    printf("media keys held as hot keys: %d (the stop key taken first: %d)\n", held, taken);
    EXPECT_EQ(held, player_command_for_hotkey(1) ? 3 + !taken : 0) << "all but the taken key, where Wine grabs them";
    EXPECT_EQ(player_command_for_hotkey(2), taken ? 0 : PLAYER_CMD_STOP);
    const double volume = snm_get_volume();
    enum { APP, HOT, THUMB };
    struct { int kind, code; bool playing; int current; double volume; bool muted; } steps[] = {
        {THUMB, PLAYER_CMD_PLAY, true, 0, volume, false},
        {APP, APPCOMMAND_MEDIA_PLAY_PAUSE, false, 0, volume, false},
        {APP, APPCOMMAND_MEDIA_PLAY_PAUSE, true, 0, volume, false},
        {APP, APPCOMMAND_MEDIA_PLAY, true, 0, volume, false},
        {APP, APPCOMMAND_MEDIA_PAUSE, false, 0, volume, false},
        {APP, APPCOMMAND_MEDIA_PAUSE, false, 0, volume, false},
        {APP, APPCOMMAND_MEDIA_NEXTTRACK, true, 1, volume, false},
        {APP, APPCOMMAND_MEDIA_PREVIOUSTRACK, true, 0, volume, false},
        {THUMB, PLAYER_CMD_NEXT_TRACK, true, 1, volume, false},
        {THUMB, PLAYER_CMD_PREV_TRACK, true, 0, volume, false},
        {APP, APPCOMMAND_VOLUME_DOWN, true, 0, volume - 0.05, false},
        {APP, APPCOMMAND_VOLUME_UP, true, 0, volume, false},
        {APP, APPCOMMAND_VOLUME_MUTE, true, 0, volume, true},
        {APP, APPCOMMAND_VOLUME_MUTE, true, 0, volume, false},
        {HOT, 3, held > 0, held > 0 ? 1 : 0, volume, false},
        {HOT, 1, held == 0, held > 0 ? 1 : 0, volume, false},
        {APP, APPCOMMAND_MEDIA_STOP, false, held > 0 ? 1 : 0, volume, false},
    };
    for (auto &s : steps) {
        // A key pressed in a child reaches the main window through the child's default handling.
        if (s.kind == APP) SendMessageA(playlist_window, WM_APPCOMMAND, (WPARAM)playlist_window, MAKELPARAM(0, s.code));
        if (s.kind == HOT) SendMessageA(main_window, WM_HOTKEY, s.code, 0);
        if (s.kind == THUMB) SendMessageA(main_window, WM_COMMAND, MAKEWPARAM(s.code, THBN_CLICKED), 0);
        EXPECT_TRUE(wait_playing(s.playing)) << s.kind << " " << s.code;
        EXPECT_EQ(s.current, playlist_current) << s.kind << " " << s.code;
        EXPECT_NEAR(s.volume, snm_get_volume(), 0.001) << s.code;
        EXPECT_EQ(s.muted, snm_get_mute() != 0) << s.code;
    }
    EXPECT_EQ(0.0, snm_get_position()) << "Stop rewinds";
    // "Media keys anywhere" off: every key released, the entry unchecked.
    command(PLAYER_CMD_MEDIA_KEYS);
    EXPECT_EQ(0, player_command_for_hotkey(1));
    EXPECT_EQ(MF_UNCHECKED, GetMenuState(GetMenu(main_window), PLAYER_CMD_MEDIA_KEYS, MF_BYCOMMAND) & MF_CHECKED);
    command(PLAYER_CMD_MEDIA_KEYS);
    EXPECT_EQ(player_set_media_keys(main_window, 0), 0);
    if (taken) UnregisterHotKey(other, 7);
    DestroyWindow(other);
}

// The taskbar's progress for a position: none when stopped or without a
// duration, normal while playing, paused while paused, in thousandths.
TEST(Taskbar, ProgressForAPosition)
{
    struct { double position, duration; int playing, open, state; unsigned long long value; } cases[] = {
        {0, 0, 0, 0, TBPF_NOPROGRESS, 0},  {30, 120, 1, 0, TBPF_NOPROGRESS, 0}, {30, 0, 1, 1, TBPF_NOPROGRESS, 0},
        {0, 120, 0, 1, TBPF_NOPROGRESS, 0}, {30, 120, 1, 1, TBPF_NORMAL, 250},   {30, 120, 0, 1, TBPF_PAUSED, 250},
        {0.09, 120, 1, 1, TBPF_NORMAL, 1},  {200, 120, 1, 1, TBPF_NORMAL, 1000}, {-5, 120, 1, 1, TBPF_NORMAL, 0},
    };
    for (auto &c : cases) {
        unsigned long long value = 99;
        EXPECT_EQ(c.state, player_taskbar_progress(c.position, c.duration, c.playing, c.open, &value)) << c.position;
        EXPECT_EQ(c.value, value) << c.position;
    }
}

// A folder or a playlist on the command line fills the playlist and plays its
// first entry; a media file plays outside the playlist, as before.
TEST_F(MainWindow, CommandLineFolderPlaylistOrFile)
{
    TempDir folder("cmdline");
    for (const char *name : {"b.wav", "a.wav"}) ASSERT_TRUE(CopyFileA(t1.c_str(), folder.file(name).c_str(), FALSE));
    std::string list = dir->file("cmd.m3u");
    ASSERT_TRUE(write_text_file(list, "#EXTM3U\r\n" + t3 + "\r\n" + t2 + "\r\n"));
    add(t1);
    EXPECT_EQ(1, player_open_command_line_path(folder.path().c_str()));
    EXPECT_EQ(3, playlist_count);
    EXPECT_EQ(1, playlist_current);
    EXPECT_EQ(std::string(playlist_entries[1].path), ui_open_media());
    EXPECT_EQ(1, player_open_command_line_path(list.c_str()));
    EXPECT_EQ(5, playlist_count);
    EXPECT_EQ(t3, ui_open_media());
    EXPECT_EQ("t3.wav - Quorva Media Player", caption());
    EXPECT_EQ(1, player_open_command_line_path(t2.c_str()));
    EXPECT_EQ(5, playlist_count);
    EXPECT_EQ(t2, ui_open_media());
    EXPECT_EQ(0, player_open_command_line_path(dir->file("missing.wav").c_str()));
    EXPECT_EQ(0, player_open_command_line_path(""));
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
