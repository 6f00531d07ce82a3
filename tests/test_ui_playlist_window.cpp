// The playlist column on the real window: scrolling, selection, the splitter,
// the loaded-entry marker, playing by double-click, and sizes that must not fault.
#include <string>
#include <vector>

#include "media_writer.h"
#include "ui_fixture.h"
#include "ui_font.h"
#include "ui_windows.h"

class PlaylistWindow : public PlayerWindows {};

static const int TOP = 108, ROW_X = 50, BAR_X = 190;  // list top; a row and the bar in a 200-wide column

static void add_entries(int n, std::vector<std::string> paths = {})
{
    for (int i = 0; i < n; i++) paths.push_back("C:\\music\\track" + std::to_string(i) + ".wav");
    for (auto &p : paths) ASSERT_TRUE(playlist_reserve() && playlist_append_file(p.c_str()));
}

// A 200-pixel column whose list area is list_h pixels high.
static void set_list_height(int list_h)
{
    ui_set_size(playlist_window, 200, list_h + 131);
    ui_repaint(playlist_window);
}

// Press (with key flags), then release, at the same point.
static void click(UINT msg, int x, int y, WPARAM keys = MK_LBUTTON)
{
    ui_mouse(playlist_window, msg, x, y, keys);
    ui_mouse(playlist_window, WM_LBUTTONUP, x, y);
}

// A list 150 high lets the thumb travel 133 pixels; one 10 high leaves it no
// room, and the pointer then maps over the whole list height.
TEST_F(PlaylistWindow, ScrollBarDragSetsOffset)
{
    const struct { int list_h, entries, max, y, offset; } cases[] = {
        {150, 10, 50, 257, 50}, {150, 10, 50, 116, 0},  {150, 10, 50, 182, 24},   {150, 10, 50, -32768, 0},
        {10, 20, 390, 108, 0},  {10, 20, 390, 112, 173}, {10, 20, 390, 117, 390}, {10, 20, 390, 32767, 390}};
    for (auto c : cases) {
        playlist_reset_for_test();
        add_entries(c.entries);
        set_list_height(c.list_h);
        ASSERT_EQ(playlist_max_scroll, c.max);
        ui_mouse(playlist_window, WM_LBUTTONDOWN, BAR_X, TOP + 2);
        EXPECT_EQ(playlist_drag, PLAYLIST_DRAG_SCROLL);
        click(WM_MOUSEMOVE, BAR_X, c.y);
        EXPECT_TRUE(playlist_scroll_offset == c.offset && playlist_drag == 0) << c.list_h << " " << c.y;
    }
}

// Row i is drawn from y = i * 20 - scroll offset; unselected rows take the
// background colour, selected ones (1 and 3) its blend with translucent green.
TEST_F(PlaylistWindow, RowsDrawnFromScrollOffset)
{
    add_entries(10);
    set_list_height(150);
    for (int offset : {30, 0, 45, 50}) {
        for (int i = 0; i < playlist_count; i++) playlist_entries[i].flags = (i == 1 || i == 3);
        playlist_scroll_offset = offset;
        ui_repaint(playlist_window);
        uint32_t bg = ui_pixel(&playlist_list_surface, 2, 2 * 20 - offset + 19), sel = bg;
        pxm_pixel_over(&sel, pxm_mix(0x3300FF00, bg | 0xEE000000, 128));
        ASSERT_NE(sel, bg);
        for (int i = 1; i <= 4; i++)
            for (int y : {i * 20 - offset, i * 20 - offset + 19})
                EXPECT_EQ(ui_pixel(&playlist_list_surface, 2, y), y < 0 ? 0xDEADBEEF : i % 2 ? sel : bg) << y;
    }
}

// Selections as bit masks. Ctrl travels in the click's key flags: Wine's
// asynchronous key state follows the X keyboard and drops a synthesised Ctrl.
TEST_F(PlaylistWindow, ClickSelectsWithAndWithoutCtrlAndDeleteRemoves)
{
    add_entries(5);
    set_list_height(150);
    const struct { int before, row; bool ctrl; int after; } cases[] = {
        {0b111, 1, false, 0b010}, {0b111, 1, true, 0b101},  {0, 3, true, 0b1000},
        {0b010, 1, false, 0b010}, {0b101, 6, false, 0b101}, {0b101, 6, true, 0b101}};
    for (auto c : cases) {
        for (int i = 0; i < 5; i++) playlist_entries[i].flags = (c.before >> i) & 1;
        click(WM_LBUTTONDOWN, ROW_X, TOP + c.row * 20 + 5, MK_LBUTTON | (c.ctrl ? MK_CONTROL : 0));
        int after = 0;
        for (int i = 0; i < 5; i++) after |= (int)(playlist_entries[i].flags & 1) << i;
        EXPECT_EQ(after, c.after) << "row " << c.row << " ctrl " << c.ctrl;
    }
    for (int i = 0; i < 5; i++) playlist_entries[i].flags = 0;
    auto paths = playlist_paths();
    SendMessageA(playlist_window, WM_KEYDOWN, VK_DELETE, 0);  // nothing selected
    EXPECT_EQ(playlist_paths(), paths);
    playlist_entries[1].flags = PLAYLIST_SELECTED;
    paths.erase(paths.begin() + 1);
    SendMessageA(playlist_window, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(playlist_paths(), paths);
}

// A current entry whose top is exactly at the list's end does not scroll; one
// past it becomes the last row shown. The timer follows a change of entry.
TEST_F(PlaylistWindow, ShowCurrentScrollsOnlyWhenNeeded)
{
    add_entries(20);
    set_list_height(160);
    const struct { int offset, current, expected; UINT msg; } cases[] = {
        {0, 8, 0, WM_APP_PLAYLIST_SHOW_CURRENT}, {0, 9, 40, WM_APP_PLAYLIST_SHOW_CURRENT},
        {60, 2, 40, WM_APP_PLAYLIST_SHOW_CURRENT}, {60, 11, 60, WM_APP_PLAYLIST_SHOW_CURRENT},
        {0, 99, 240, WM_APP_PLAYLIST_SHOW_CURRENT}, {50, -4, 0, WM_APP_PLAYLIST_SHOW_CURRENT},
        {0, 15, 160, WM_TIMER}};
    for (auto c : cases) {
        playlist_scroll_offset = c.offset;
        playlist_current = c.current;
        SendMessageA(playlist_window, c.msg, UI_TIMER_ID, 0);
        EXPECT_EQ(playlist_scroll_offset, c.expected) << c.offset << " " << c.current;
    }
}

// The column keeps between 128 pixels and two thirds of the main window, and
// the children are laid out again at once.
TEST_F(PlaylistWindow, SplitterKeepsWidthWithinLimits)
{
    RECT mc, pr, vr;
    GetClientRect(main_window, &mc);
    const int W = mc.right;
    const struct { int press, move, width; } cases[] = {
        {3, 0, 197}, {0, -50, 250}, {0, -1000, 2 * W / 3}, {0, 1000, 128}};
    for (auto c : cases) {
        playlist_width = 200;
        SendMessageA(main_window, WM_SIZE, 0, 0);
        ui_mouse(playlist_window, WM_LBUTTONDOWN, c.press, 300);
        click(WM_MOUSEMOVE, c.move, 300);
        GetWindowRect(playlist_window, &pr);
        GetWindowRect(viewport_window, &vr);
        MapWindowPoints(nullptr, main_window, (POINT *)&pr, 2);
        EXPECT_TRUE(playlist_width == c.width && pr.left == W - c.width && pr.right == W &&
                    vr.right - vr.left == W - c.width)
            << c.move << ": " << playlist_width << " " << pr.left << " " << pr.right << " " << vr.right - vr.left;
    }
}

// Columns x1..x2 of list row r holding a pixel other than the row's fill, or
// holding the exact RGB colour when one is given.
static std::vector<int> row_columns(int r, int x1, int x2, int rgb = -1)
{
    std::vector<int> cols;
    uint32_t fill = ui_pixel(&playlist_list_surface, 1, r * 20 + 1);
    for (int x = x1; x <= x2; x++)
        for (int y = r * 20; y < r * 20 + 20; y++) {
            uint32_t p = ui_pixel(&playlist_list_surface, x, y);
            if (rgb < 0 ? p != fill : (int)(p & 0xFFFFFF) == rgb) { cols.push_back(x); break; }
        }
    return cols;
}

// Rows 0 and 1 show the same name; row 0 is the open file, row 2 the current entry.
TEST_F(PlaylistWindow, LoadedRowHasMarkerAndIndentCurrentRowIsDarkRed)
{
    TempDir dir("plw");
    CreateDirectoryA(dir.file("a").c_str(), nullptr);
    std::string loaded = dir.file("a\\same.wav");
    ASSERT_TRUE(media_write_wav(loaded.c_str(), 0.5, 8000, 1, 440.0));
    add_entries(0, {loaded, dir.file("b\\same.wav"), dir.file("c\\current.wav")});
    playlist_current = 2;
    set_list_height(150);
    EXPECT_TRUE(row_columns(0, 0, 7).empty());  // nothing open yet
    ASSERT_TRUE(snm_open(loaded.c_str()));
    ui_repaint(playlist_window);
    auto marker = row_columns(0, 0, 15), plain = row_columns(1, 0, 15);
    ASSERT_FALSE(marker.empty() || plain.empty());
    EXPECT_TRUE(marker.front() >= 4 && marker.back() <= 12 && plain.front() >= 8);  // text from 16 and from 8
    EXPECT_EQ(row_columns(0, 16, 60).front(), plain.front() + 8);
    const int w = playlist_list_surface.width - 18;
    for (int r : {0, 1, 2})
        EXPECT_TRUE(row_columns(r, 0, w, 0x660000).empty() == (r != 2) &&
                    row_columns(r, 0, w, 0x3366AA).empty() == (r == 2)) << r;
}

TEST_F(PlaylistWindow, DoubleClickPlaysRowButNotOnScrollBar)
{
    TempDir dir("plw");
    std::vector<std::string> tones = {dir.file("t0.wav"), dir.file("t1.wav"), dir.file("t2.wav")};
    for (auto &t : tones) ASSERT_TRUE(media_write_wav(t.c_str(), 1.0, 8000, 1, 440.0));
    add_entries(0, tones);
    set_list_height(150);
    // Scroll bar, the column between bar and rows, past the last row, above the list.
    const struct { int x, row; } nothing[] = {{BAR_X, 1}, {180, 1}, {ROW_X, 5}, {ROW_X, -2}};
    for (auto c : nothing) {
        click(WM_LBUTTONDBLCLK, c.x, TOP + c.row * 20 + 5);
        EXPECT_TRUE(!snm_is_open() && playlist_current == 0) << c.x << " " << c.row;
    }
    ui_mouse(playlist_window, WM_LBUTTONDBLCLK, 179, TOP + 25);
    EXPECT_EQ(GetCapture(), playlist_window);
    char path[SNM_PATH_CHARS];
    EXPECT_TRUE(playlist_current == 1 && snm_current_path(path) && tones[1] == path && snm_is_playing());
}

// Sizes outside 4..99999 and lists below 4 pixels are not drawn (the list
// surface keeps its size). Wine caps a window at 32767 pixels, so the largest
// requests draw what the window really got, and 32767 x 32767 is more than any
// engine surface holds. Coordinates at the ends of their range are harmless.
TEST_F(PlaylistWindow, OddSizesAndExtremeCoordinatesAreHarmless)
{
    add_entries(300);
    const struct { int w, h; bool drawn; } sizes[] = {
        {200, 300, true},   {3, 3, false},       {4, 4, false},       {200, 134, false},     {200, 135, true},
        {99999, 300, true}, {100000, 300, true}, {300, 99999, true}, {100000, 100000, false}};
    for (auto s : sizes) {
        ui_set_size(playlist_window, s.w, s.h);
        PxmSurface before = playlist_list_surface;
        ui_repaint(playlist_window);
        RECT rc;
        GetClientRect(playlist_window, &rc);
        EXPECT_EQ(playlist_list_surface.width, s.drawn ? rc.right - 13 : before.width) << s.w << "x" << s.h;
        EXPECT_EQ(playlist_list_surface.height, s.drawn ? rc.bottom - 131 : before.height) << s.w << "x" << s.h;
        for (int x : {-32768, 0, 7, 32767})
            for (int y : {-32768, 0, 200, 32767})
                for (UINT msg : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
                    ui_mouse(playlist_window, msg, x, y, MK_LBUTTON);
        ASSERT_TRUE(playlist_scroll_offset >= 0 && playlist_width >= 128);
    }
}

// A name outside the font's own code page draws as its characters: the same
// pixels as the UTF-16 text, not those of its UTF-8 bytes read as Western text.
TEST_F(PlaylistWindow, NamesDrawAsTheirCharacters)
{
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi = {{sizeof(BITMAPINFOHEADER), 160, -20, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void *bits[3];
    HBITMAP bitmaps[3];
    HGDIOBJ old = SelectObject(dc, player_skin.list_font);
    const char *utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xCE\xB1";
    for (int i = 0; i < 3; i++) {
        bitmaps[i] = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits[i], nullptr, 0);
        HGDIOBJ was = SelectObject(dc, bitmaps[i]);
        RECT r = {0, 0, 160, 20};
        if (i == 0) ui_draw_text(dc, utf8, &r, DT_SINGLELINE);
        if (i == 1) DrawTextW(dc, L"\u041f\u0440\u0438\u0432\u0435\u0442 \u03b1", -1, &r, DT_SINGLELINE);
        if (i == 2) DrawTextA(dc, utf8, -1, &r, DT_SINGLELINE);
        SelectObject(dc, was);
    }
    GdiFlush();
    EXPECT_EQ(0, memcmp(bits[0], bits[1], 160 * 20 * 4));
    EXPECT_NE(0, memcmp(bits[0], bits[2], 160 * 20 * 4)) << "GDI's own ANSI call reads it differently here";
    SelectObject(dc, old);
    for (HBITMAP b : bitmaps) DeleteObject(b);
    DeleteDC(dc);
}
