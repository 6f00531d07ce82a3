// The about box, modal over the real main window, looked at and closed from a
// timer of the test's thread while the dialog's own loop runs.
#include <functional>
#include <vector>

#include "ui_fixture.h"
#include "ui_windows.h"

namespace {

std::function<void(HWND)> look;
std::vector<MSG> closing;  // posted to the box after look

void CALLBACK drive(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    HWND d = FindWindowA("#32770", nullptr);
    if (!d) return ADD_FAILURE() << "no about box";
    look(d);
    for (const MSG &m : closing) PostMessageA(d, m.message, m.wParam, m.lParam);
}

INT_PTR about_box(std::function<void(HWND)> f, std::vector<MSG> close, UINT open_by = 0)
{
    look = f;
    closing = close;
    SetTimer(nullptr, 0, 100, drive);
    if (open_by) return SendMessageA(main_window, WM_COMMAND, open_by, 0);
    return DialogBoxParamA(player_instance, MAKEINTRESOURCEA(ABOUT_DIALOG_RESOURCE), main_window, player_about_proc, 0);
}

std::vector<uint32_t> frame(HWND d, int f, const RECT *area = nullptr)
{
    about_frame = f;
    ValidateRect(d, nullptr);
    InvalidateRect(d, area, FALSE);
    UpdateWindow(d);
    std::vector<uint32_t> v;
    for (int i = 0; i < 320 * 270; i++) v.push_back(ui_pixel(&about_back_buffer, i % 320, i / 320));
    return v;
}

const MSG OK = {nullptr, WM_COMMAND, IDOK, 0, 0, {}};

using About = PlayerWindows;

TEST_F(About, EndsWithOkOrCancelOnly)
{
    struct { std::vector<MSG> posts; INT_PTR result; } cases[] = {
        {{{nullptr, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}}}, IDCANCEL},
        {{{nullptr, WM_SYSCOMMAND, SC_CLOSE, 0, 0, {}}}, IDCANCEL},
        {{{nullptr, WM_COMMAND, 3, 0, 0, {}}, OK}, IDOK},  // other identifiers do nothing
    };
    for (auto &c : cases) EXPECT_EQ(c.result, about_box([](HWND) {}, c.posts)) << "case " << (&c - cases);
}

// Opened by the menu command. Credits row r lies on back-buffer row 270 + r - offset,
// and the offset wraps after 270 + h - 96 frames.
TEST_F(About, LogoThenCreditsScrollingThroughTheBand)
{
    about_box([](HWND d) {
        char caption[64] = "";
        GetWindowTextA(d, caption, sizeof caption);
        EXPECT_STREQ("About Quorva Media Player", caption);
        RECT c;
        GetClientRect(d, &c);
        EXPECT_TRUE(c.right == 320 && c.bottom == 270 && GetWindow(d, GW_OWNER) == main_window);
        int tick = about_frame;
        SendMessageA(d, WM_TIMER, UI_TIMER_ID, 0);
        EXPECT_EQ(tick + 1, about_frame);
        EXPECT_TRUE(GetWindowLongA(d, GWL_EXSTYLE) & WS_EX_TOPMOST);
        ASSERT_TRUE(about_credits.width == 312 && about_credits.height > 300);
        EXPECT_EQ(0xFFu, ui_pixel(&about_credits, 0, 0) >> 24) << "transparent around the text";

        PxmSurface logo = {};
        pxm_surface_create(&logo, 320, 270, 0);
        pxm_stretch_copy(&logo, 100, 0, 219, 99, &player_skin.splash, 0, 0, 319, 269, 0);
        std::vector<uint32_t> first = frame(d, 0);
        int lit = 0, wrong = 0, text = 0;
        for (int i = 0; i < 320 * 270; i++) lit += first[i] != 0, wrong += first[i] != ui_pixel(&logo, i % 320, i / 320);
        pxm_surface_free(&logo, 0);
        EXPECT_TRUE(lit > 2000 && wrong == 0) << "the logo above an empty band";

        int f = 250, period = 270 + about_credits.height - 96;
        std::vector<uint32_t> mid = frame(d, f);
        for (int y = 117; y <= 238; y++)
            for (int x = 0; x < 320; x++) {
                uint32_t want = 0;
                if (x >= 4 && x < 316) pxm_pixel_over(&want, ui_pixel(&about_credits, x - 4, y - 270 + f));
                wrong += mid[y * 320 + x] != want, text += want != 0;
            }
        EXPECT_TRUE(wrong == 0 && text > 1000) << wrong << " wrong, " << text << " lit";
        EXPECT_TRUE(frame(d, period + f) == mid);
        EXPECT_TRUE(frame(d, period) == first);

        // A partial repaint recomposes that rectangle only.
        RECT r = {100, 150, 220, 170};
        std::vector<uint32_t> next = frame(d, f + 1), part = (frame(d, f), frame(d, f + 1, &r));
        for (int i = 0; i < 320 * 270; i++)
            wrong += part[i] != (PtInRect(&r, POINT{i % 320, i / 320}) ? next : mid)[i];
        EXPECT_TRUE(wrong == 0 && next != mid);
    }, {OK}, 40035);
    EXPECT_FALSE(pxm_surface_is_live(&about_panel) || pxm_surface_is_live(&about_credits)) << "freed at the end";
}

}  // namespace
