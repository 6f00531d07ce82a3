// The installer's glass window, status window and pages, in this process with
// the installer's own resources, driven from a second thread as a person would.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "setup.h"
#include "setup_app.h"
#include "setup_driver.h"
#include "test_util.h"

namespace {

const char INSTALL_TITLE[] = "Installing Quorva Media 2.00 BETA";

class SetupWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setup_instance = GetModuleHandleA(nullptr);
        ASSERT_TRUE(load_background_picture());
        ASSERT_TRUE(create_glass_window());
    }
    static void TearDownTestSuite()
    {
        close_status();
        close_glass_window();
        free_background_picture();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    }

    // Shows a page here while drive() works it from another thread.
    static int run_page(const std::function<int()> &page, const char *title,
                        const std::function<void(HWND)> &drive)
    {
        std::thread driver([&] {
            HWND dialog = wait_dialog(GetCurrentProcessId(), title, SETUP_ID_HEADING, nullptr, 5000);
            EXPECT_NE(dialog, nullptr) << title;
            if (dialog) drive(dialog);
        });
        int result = page();
        driver.join();
        return result;
    }
};

// Pixels of a 32-bit top-down DIB section selected into a memory DC.
struct Canvas {
    HDC dc;
    HBITMAP bitmap, old;
    DWORD *bits;
    int w, h;
    Canvas(int width, int height) : w(width), h(height)
    {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, (void **)&bits, nullptr, 0);
        old = (HBITMAP)SelectObject(dc, bitmap);
        memset(bits, 0x55, (size_t)width * height * 4);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    DWORD at(int x, int y) const { return bits[(size_t)y * w + x] & 0xFFFFFF; }
};

TEST_F(SetupWindows, LetterboxFillsTheWidthBetweenBlackBars)
{
    for (auto c : {std::vector<int>{1280, 1024, 720, 152}, std::vector<int>{1920, 1080, 1080, 0}}) {
        int cw = c[0], ch = c[1], dh = c[2], y0 = c[3];
        Canvas screen(cw, ch), alone(cw, dh);
        glass_paint(screen.dc, cw, ch);
        // The reference: the same paint into an area of the picture's own shape.
        glass_paint(alone.dc, cw, dh);
        int mismatches = 0, black_bar_pixels = 0;
        for (int y = 0; y < ch; y++)
            for (int x = 0; x < cw; x += 7) {
                DWORD want = y >= y0 && y < y0 + dh ? alone.at(x, y - y0) : 0;
                if (screen.at(x, y) != want) mismatches++;
                if (y < y0 || y >= y0 + dh) black_bar_pixels++;
            }
        EXPECT_EQ(mismatches, 0) << cw << "x" << ch;
        EXPECT_EQ(black_bar_pixels, (ch - dh) * ((cw + 6) / 7)) << cw << "x" << ch;
        // The picture's own rows are not black: its top and bottom rows show.
        EXPECT_NE(screen.at(cw / 2, y0), 0u);
        EXPECT_NE(screen.at(cw / 2, y0 + dh - 1), 0u);
    }

    HWND glass = FindWindowA("VantleGlass_SetupBox", "Quorva Media 2.00 BETA Setup");
    ASSERT_EQ(glass, glass_window);
    LONG style = GetWindowLongA(glass, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_MAXIMIZE | WS_DLGFRAME),
              WS_POPUP | WS_VISIBLE | WS_MAXIMIZE | WS_DLGFRAME);
    EXPECT_EQ(GetClassLongA(glass, GCL_STYLE), CS_PARENTDC);
    EXPECT_EQ(GetClassLongPtrA(glass, GCLP_HBRBACKGROUND), 0u);
}

TEST_F(SetupWindows, StatusTextShowsInItsLabelEvenWhileHidden)
{
    open_status("Preparing installation data...");
    ASSERT_NE(status_window, nullptr);
    EXPECT_EQ(item_text(status_window, SETUP_ID_HEADING), "Preparing installation data...");
    EXPECT_TRUE(GetWindowLongA(status_window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT s, g;
    GetWindowRect(status_window, &s);
    GetWindowRect(glass_window, &g);
    EXPECT_NEAR((s.left + s.right) / 2, (g.left + g.right) / 2, 1);
    EXPECT_NEAR((s.top + s.bottom) / 2, (g.top + g.bottom) / 2, 1);
    status_show(0);
    EXPECT_FALSE(IsWindowVisible(status_window));
    status_text("Creating Shortcuts...");
    status_show(1);
    EXPECT_TRUE(IsWindowVisible(status_window));
    EXPECT_EQ(item_text(status_window, SETUP_ID_HEADING), "Creating Shortcuts...");
    close_status();
    EXPECT_EQ(status_window, nullptr);
}

struct PageCase {
    const char *name;
    int (*show)(void);
    const char *title;
    int points;
    bool coloured;
    int button;
    bool uncheck;
    int result;
};

TEST_F(SetupWindows, PagesShowTheirHeadingAndReturnTheirResults)
{
    const char *removal = "Uninstall | Quorva Media 2.00 BETA";
    const PageCase cases[] = {
        {"welcome Next", page_welcome, INSTALL_TITLE, 16, true, IDOK, false, 1},
        {"welcome Exit", page_welcome, INSTALL_TITLE, 16, true, IDCANCEL, false, 0},
        {"removal Remove", page_removal, removal, 14, true, IDOK, false, 1},
        {"removal Cancel", page_removal, removal, 14, true, IDCANCEL, false, 0},
        {"finish Exit, box checked", page_finish, INSTALL_TITLE, 16, false, IDCANCEL, false, 1},
        {"finish Finish, box cleared", page_finish, INSTALL_TITLE, 16, false, IDOK, true, 0},
    };
    Canvas probe(4, 4);
    for (const PageCase &c : cases) {
        int result = run_page(c.show, c.title, [&](HWND page) {
            HFONT font = (HFONT)SendDlgItemMessageA(page, SETUP_ID_HEADING, WM_GETFONT, 0, 0);
            LOGFONTA lf = {};
            GetObjectA(font, sizeof lf, &lf);
            // The heading, wrapped as its static wraps it, fits its box.
            RECT box, need = {0, 0, 0, 0};
            GetClientRect(GetDlgItem(page, SETUP_ID_HEADING), &box);
            need.right = box.right;
            HGDIOBJ was = SelectObject(probe.dc, font);
            DrawTextA(probe.dc, item_text(page, SETUP_ID_HEADING).c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
            SelectObject(probe.dc, was);
            EXPECT_LE(need.bottom, box.bottom) << c.name;
            EXPECT_STREQ(lf.lfFaceName, "Times New Roman") << c.name;
            EXPECT_EQ(lf.lfHeight, -MulDiv(c.points, 96, 72)) << c.name;
            EXPECT_TRUE(lf.lfItalic && lf.lfWeight == FW_BOLD && lf.lfQuality == CLEARTYPE_QUALITY) << c.name;

            SetTextColor(probe.dc, RGB(1, 2, 3));
            HBRUSH brush = (HBRUSH)SendMessageA(page, WM_CTLCOLORSTATIC, (WPARAM)probe.dc,
                                                (LPARAM)GetDlgItem(page, SETUP_ID_HEADING));
            EXPECT_EQ(brush == GetStockObject(NULL_BRUSH), c.coloured) << c.name;
            EXPECT_EQ(GetTextColor(probe.dc), c.coloured ? RGB(0, 0, 0xCF) : GetSysColor(COLOR_WINDOWTEXT)) << c.name;
            if (GetDlgItem(page, SETUP_ID_WARNING)) {
                SendMessageA(page, WM_CTLCOLORSTATIC, (WPARAM)probe.dc, (LPARAM)GetDlgItem(page, SETUP_ID_WARNING));
                EXPECT_EQ(GetTextColor(probe.dc), RGB(0xCF, 0, 0));
            }
            if (GetDlgItem(page, SETUP_ID_RUN)) {
                EXPECT_EQ(SendDlgItemMessageA(page, SETUP_ID_RUN, BM_GETCHECK, 0, 0), BST_CHECKED);
                if (c.uncheck) SendDlgItemMessageA(page, SETUP_ID_RUN, BM_SETCHECK, BST_UNCHECKED, 0);
            }
            press(page, c.button);
        });
        EXPECT_EQ(result, c.result) << c.name;
    }
}

// The folder page shows, as the text changes, the full folder Setup will
// make of it; the edit takes 119 characters and hands back what it holds.
TEST_F(SetupWindows, FolderPageShowsTheFolderItMakes)
{
    char folder[MAX_PATH] = "C:\\Program Files";
    const std::string made = "Quorva Media will be installed in:\n";
    int result = run_page([&] { return page_folder(folder); }, INSTALL_TITLE, [&](HWND page) {
        EXPECT_EQ(item_text(page, SETUP_ID_EDIT), "C:\\Program Files");
        EXPECT_EQ(item_text(page, SETUP_ID_TARGET), made + "C:\\Program Files\\Ostrel's Lab\\Quorva Media");
        EXPECT_EQ(SendDlgItemMessageA(page, SETUP_ID_EDIT, EM_GETLIMITTEXT, 0, 0), 119);
        SetDlgItemTextA(page, SETUP_ID_EDIT, "C:foo");
        EXPECT_EQ(item_text(page, SETUP_ID_TARGET), "Type a full folder path, such as C:\\Program Files.");
        SetDlgItemTextA(page, SETUP_ID_EDIT, "D:\\Apps\\..\\Media ");
        EXPECT_EQ(item_text(page, SETUP_ID_TARGET), made + "D:\\Media\\Ostrel's Lab\\Quorva Media");
        EXPECT_TRUE(GetDlgItem(page, SETUP_ID_BROWSE));
        press(page, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(folder, "D:\\Apps\\..\\Media ");
    EXPECT_EQ(run_page([&] { return page_folder(folder); }, INSTALL_TITLE, [](HWND page) { press(page, IDCANCEL); }),
              0);
}

TEST_F(SetupWindows, LicenceCountsDownThreeSecondsBeforeItCanBeAccepted)
{
    struct State { std::string text; bool enabled; DWORD at; };
    std::vector<State> seen;
    std::string shown;
    int result = run_page(page_licence, INSTALL_TITLE, [&](HWND page) {
        shown = item_text(page, SETUP_ID_EDIT);
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(page, nullptr), &gui);
        EXPECT_EQ(gui.hwndFocus, GetDlgItem(page, SETUP_ID_EDIT)) << "the agreement, not a button, has the focus";
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 6000) {
            State s = {item_text(page, SETUP_ID_ACCEPT), item_enabled(page, SETUP_ID_ACCEPT), GetTickCount() - start};
            if (seen.empty() || s.text != seen.back().text || s.enabled != seen.back().enabled) seen.push_back(s);
            if (s.enabled) break;
            Sleep(20);
        }
        press(page, SETUP_ID_ACCEPT);
    });
    EXPECT_EQ(result, 1);
    const char *expected[] = {"Wait 3 sec...", "Wait 2 sec...", "Wait 1 sec...", "YES, I Agree"};
    ASSERT_EQ(seen.size(), 4u);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(seen[i].text, expected[i]);
        EXPECT_EQ(seen[i].enabled, i == 3);
    }
    EXPECT_GE(seen[3].at, 2700u);

    // The agreement stops before its first section sign; the notes after it stay out.
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(SETUP_RES_LICENCE), "FILE_DATA");
    std::string resource((const char *)LockResource(LoadResource(nullptr, res)), SizeofResource(nullptr, res));
    size_t section = resource.find('\xA7');
    ASSERT_NE(section, std::string::npos);
    ASSERT_LT(section + 10, resource.size());
    EXPECT_EQ(shown, resource.substr(0, section));
}

TEST(SetupInstall, InstallFolderTrimsTheTypedBaseAndAppendsTheProductFolders)
{
    const char *cases[][2] = {
        {"D:\\Apps\\ ", "D:\\Apps\\Ostrel's Lab\\Quorva Media"},
        {"D:\\", "D:\\Ostrel's Lab\\Quorva Media"},
        {"C:\\Program Files", "C:\\Program Files\\Ostrel's Lab\\Quorva Media"},
        {"E:\\Media/\\\\  ", "E:\\Media\\Ostrel's Lab\\Quorva Media"},
        {"\\\\server\\share\\", "\\\\server\\share\\Ostrel's Lab\\Quorva Media"},
        {"", ""},
        {"   ", ""},
        {"Apps", ""},
        {"\\Apps", ""},
    };
    for (auto &c : cases) {
        char folder[MAX_PATH] = "junk";
        EXPECT_EQ(install_folder_for(c[0], folder), c[1][0] != 0) << c[0];
        EXPECT_STREQ(folder, c[1]) << c[0];
    }
}

TEST(SetupInstall, FilesVersionsAndShortcuts)
{
    setup_instance = GetModuleHandleA(nullptr);
    TempDir dir("setup_install");
    ASSERT_TRUE(write_text_file(dir.file("blocker"), "a file where a folder would go"));
    EXPECT_EQ(folder_writable(nullptr), 0);
    EXPECT_EQ(folder_writable("C:"), 0);
    EXPECT_EQ(folder_writable(dir.file("blocker\\sub").c_str()), 0);
    EXPECT_EQ(folder_writable(dir.path().c_str()), 1);
    EXPECT_EQ(GetFileAttributesA(dir.file("test.tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    // The payload lands byte for byte in folders made for it.
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(SETUP_RES_LICENCE), "FILE_DATA");
    std::string licence((const char *)LockResource(LoadResource(nullptr, res)), SizeofResource(nullptr, res));
    std::string target = dir.file("a\\b\\License.txt");
    EXPECT_EQ(write_payload_file(SETUP_RES_LICENCE, target.c_str()), 1);
    EXPECT_EQ(read_file_bytes(target), licence.substr(0, licence.find('\xA7'))) << "the agreement alone";
    EXPECT_EQ(write_payload_file(SETUP_RES_LICENCE, dir.file("blocker\\License.txt").c_str()), 0);
    EXPECT_EQ(write_payload_file(999, dir.file("missing.bin").c_str()), 0);
    EXPECT_EQ(GetFileAttributesA(dir.file("missing.bin").c_str()), INVALID_FILE_ATTRIBUTES);

    // The status line holds a long file name cut to its 120 bytes.
    open_status("Preparing installation data...");
    std::string long_name = dir.file(std::string(200, 'n'));
    write_payload_file(SETUP_RES_LICENCE, long_name.c_str());
    EXPECT_EQ(item_text(status_window, SETUP_ID_HEADING), "Installing \"" + std::string(107, 'n'));
    close_status();

    WORD v[4] = {9, 9, 9, 9};
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_EQ(read_file_version(self, v), 1);
    EXPECT_EQ(std::vector<WORD>(v, v + 4), (std::vector<WORD>{2, 0, 0, 0}));
    EXPECT_EQ(read_file_version(target.c_str(), v), 0);

    struct { const char *link, *file; int show, stored; } links[] = {
        {"one", "one.lnk", 3, 3}, {"two.LNK", "two.LNK", 7, SW_SHOWNORMAL}, {"deep\\three", "deep\\three.lnk", 2, 2}};
    for (auto &l : links) {
        EXPECT_EQ(create_shortcut(dir.file(l.link).c_str(), self, "/x", "desc", l.show), 1) << l.link;
        LinkInfo info;
        ASSERT_TRUE(read_link(dir.file(l.file), &info)) << l.link;
        EXPECT_EQ(info.target, self);
        EXPECT_EQ(info.arguments, "/x");
        EXPECT_EQ(info.description, "desc");
        // The show command as stored in the link header (Wine's loader reads it back as 1).
        std::string bytes = read_file_bytes(dir.file(l.file));
        ASSERT_GE(bytes.size(), 0x40u);
        EXPECT_EQ(*(const DWORD *)&bytes[0x3C], (DWORD)l.stored) << l.link;
    }
}

}  // namespace
