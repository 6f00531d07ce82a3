// The player's window classes, its four windows and its menu bar, created in
// this process with the player's own resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "player.h"
#include "test_util.h"

namespace {

std::string class_of(HWND w)
{
    char name[64] = "";
    GetClassNameA(w, name, sizeof name);
    return name;
}

std::string menu_text(HMENU m, int pos)
{
    char text[64] = "";
    GetMenuStringA(m, pos, text, sizeof text, MF_BYPOSITION);
    return text;
}

// "caption=id" for each entry ("+" after it when checked, "~" when greyed),
// "-" for a separator, "caption>[...]" for a submenu; a tab shows as "|".
std::string describe_menu(HMENU m)
{
    std::string s;
    int n = GetMenuItemCount(m);
    for (int i = 0; i < n; i++) {
        if (i) s += "; ";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STATE;
        GetMenuItemInfoA(m, i, TRUE, &info);
        if (info.fType & MFT_SEPARATOR)
            s += "-";
        else if (info.hSubMenu)
            s += menu_text(m, i) + ">[" + describe_menu(info.hSubMenu) + "]";
        else
            s += menu_text(m, i) + "=" + std::to_string(info.wID) + (info.fState & MFS_CHECKED ? "+" : "") +
                 (info.fState & MFS_GRAYED ? "~" : "");
    }
    for (char &c : s)
        if (c == '\t') c = '|';
    return s;
}

class PlayerWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        player_instance = GetModuleHandleA(nullptr);
        player_create_windows();
    }
    static void TearDownTestSuite()
    {
        if (IsWindow(main_window)) DestroyWindow(main_window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
    }
};

TEST_F(PlayerWindows, ClassesAreRegisteredAsGiven)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(player_instance, "player_main", &wc));
    EXPECT_EQ((UINT)(CS_OWNDC | CS_DBLCLKS), wc.style);
    EXPECT_TRUE(wc.hIcon);
    EXPECT_TRUE(wc.hIconSm);
    EXPECT_EQ(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW), wc.hCursor);
    EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE), wc.hbrBackground);
    EXPECT_EQ(101, (int)(UINT_PTR)wc.lpszMenuName);
    EXPECT_EQ((WNDPROC)player_main_proc, wc.lpfnWndProc);
    for (const char *cls : {"player_viewport", "player_playlist", "player_controls"}) {
        WNDCLASSEXA c = {};
        c.cbSize = sizeof c;
        ASSERT_TRUE(GetClassInfoExA(player_instance, cls, &c)) << cls;
        EXPECT_EQ((UINT)(CS_OWNDC | CS_DBLCLKS), c.style) << cls;
        EXPECT_FALSE(c.hIcon) << cls;
        EXPECT_FALSE(c.hCursor) << cls;
        EXPECT_FALSE(c.hbrBackground) << cls;
        EXPECT_FALSE(c.lpszMenuName) << cls;
    }
}

TEST_F(PlayerWindows, MainWindow)
{
    ASSERT_TRUE(IsWindow(main_window));
    EXPECT_EQ("player_main", class_of(main_window));
    char title[64];
    GetWindowTextA(main_window, title, sizeof title);
    EXPECT_STREQ("Quorva Media Player", title);
    LONG style = GetWindowLongA(main_window, GWL_STYLE);
    const LONG want = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE;
    // The system adds WS_CLIPSIBLINGS to every overlapped window.
    EXPECT_EQ(want, style & ~WS_CLIPSIBLINGS);
    EXPECT_EQ((LONG)WS_EX_ACCEPTFILES, GetWindowLongA(main_window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(0, GetWindowLongA(main_window, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE));
    RECT r;
    GetWindowRect(main_window, &r);
    EXPECT_EQ(600, r.right - r.left);
    EXPECT_EQ(500, r.bottom - r.top);
    EXPECT_FALSE(IsIconic(main_window));
    EXPECT_FALSE(IsZoomed(main_window));
    EXPECT_EQ(nullptr, GetParent(main_window));
}

TEST_F(PlayerWindows, ChildWindows)
{
    struct Child { HWND w; const char *cls; LONG ex; };
    const Child children[] = {
        {viewport_window, "player_viewport", WS_EX_CLIENTEDGE},
        {playlist_window, "player_playlist", 0},
        {controls_window, "player_controls", 0},
    };
    for (const Child &c : children) {
        ASSERT_TRUE(IsWindow(c.w)) << c.cls;
        EXPECT_EQ(c.cls, class_of(c.w));
        EXPECT_EQ(main_window, GetParent(c.w));
        EXPECT_EQ((LONG)(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN), GetWindowLongA(c.w, GWL_STYLE)) << c.cls;
        EXPECT_EQ(c.ex, GetWindowLongA(c.w, GWL_EXSTYLE)) << c.cls;
        char title[16] = "x";
        GetWindowTextA(c.w, title, sizeof title);
        EXPECT_STREQ("", title);
    }
}

TEST_F(PlayerWindows, MenuBarFromResource101)
{
    HMENU bar = GetMenu(main_window);
    ASSERT_TRUE(bar);
    EXPECT_EQ("&File>[&Open File|Ctrl+O=40002; Open &Disc=40046~; Open De&vice=40045~; &Close=40041; -; "
              "E&xit|Ctrl+Q=40055]; "
              "&View>[&On Top=40013; &Aspect Ratio>[&None=40014; &Original=40015+]; &Full Screen|F11=40074; "
              "&Video Effects=40038~; &Subtitles=40056~; -; &Equalizer=40050~]; "
              "&Controls>[Play|Space=40005; Stop|S=40006; -; Skip Reverse|Left=40061; Skip Forward|Right=40062; -; "
              "Prev Track|Page Up=40008; Next Track|Page Down=40007; Repeat Track=40070; -; Volume Up|Up=40071; "
              "Volume Down|Down=40072; Mute|M=40073]; "
              "&Playlist>[&Add=40017; &Delete|Del=40029; -; &Sort>[&Random=40057; -; &File=40058; &Artist=40059; "
              "&Title=40060]; -; &Export|Ctrl+S=40032; -; &Clear=40054]; "
              "&Settings>[Use DirectX9 &VMR=40051+~; Media &keys anywhere=40075+]; "
              "&Help>[&About=40035; &Home Page=40052]",
              describe_menu(bar));
}

TEST_F(PlayerWindows, IconGroupHoldsThree32BitImages)
{
    HRSRC res = FindResourceA(player_instance, MAKEINTRESOURCEA(102), (LPCSTR)RT_GROUP_ICON);
    ASSERT_TRUE(res);
    const BYTE *dir = (const BYTE *)LockResource(LoadResource(player_instance, res));
    ASSERT_TRUE(dir);
    WORD count = *(const WORD *)(dir + 4);
    ASSERT_EQ(3, count);
    std::vector<int> sizes;
    for (int i = 0; i < count; i++) {
        const BYTE *e = dir + 6 + i * 14;  // GRPICONDIRENTRY
        sizes.push_back(e[0] ? e[0] : 256);
        EXPECT_EQ(32, *(const WORD *)(e + 6)) << "bit count of image " << i;
    }
    EXPECT_EQ((std::vector<int>{16, 32, 64}), sizes);
}

// Last: closing the main window destroys it and posts the quit message with 0.
TEST_F(PlayerWindows, ZCloseDestroysAndQuits)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    EXPECT_EQ(0, SendMessageA(main_window, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(main_window));
    EXPECT_FALSE(IsWindow(viewport_window));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);
}

}  // namespace
