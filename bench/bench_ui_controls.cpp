// The controls strip's paint on the real window: a full paint at 600 and 1920
// pixels wide, the repaint a mouse move causes, and a repaint of one button's
// area, each beside one BitBlt of the same area to the same window.
#include <windows.h>

#include <stdio.h>

#include "bench_util.h"
#include "player.h"
#include "skin.h"
#include "sonmoor.h"

namespace {

const int REPS = 101;

// Milliseconds of one BitBlt of w x h from a DIB section to the window.
double bitblt_ms(HWND w, int x, int y, int width, int height)
{
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    HDC screen = GetDC(w), mem = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    RECT visible;
    GetClipBox(screen, &visible);
    if (visible.right - visible.left < width || visible.bottom - visible.top < height)
        printf("note: only %ldx%ld of the window is visible\n", visible.right - visible.left, visible.bottom - visible.top);
    std::vector<double> t;
    for (int i = 0; i < REPS; i++) {
        double t0 = bench::seconds_now();
        if (!BitBlt(screen, x, y, width, height, mem, 0, 0, SRCCOPY)) printf("note: BitBlt failed\n");
        GdiFlush();
        t.push_back((bench::seconds_now() - t0) * 1e3);
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(w, screen);
    return bench::median(t);
}

// Milliseconds from the invalidation to the end of the paint; before() runs
// untimed ahead of each repetition and invalidates.
template <class F> double paint_ms(HWND w, F before)
{
    std::vector<double> t;
    for (int i = 0; i < REPS; i++) {
        before();
        double t0 = bench::seconds_now();
        UpdateWindow(w);
        GdiFlush();
        t.push_back((bench::seconds_now() - t0) * 1e3);
    }
    return bench::median(t);
}

void row(const char *what, int width, int area_w, int area_h, double ours, double peer, double target)
{
    char verdict[32] = "";
    if (target > 0) snprintf(verdict, sizeof verdict, "<= %.1f ms %s", target, ours <= target ? "met" : "MISSED");
    printf("%-34s %5d %7dx%-3d %9.3f %9.3f %7.1f  %s\n", what, width, area_w, area_h, ours, peer, ours / peer, verdict);
}

}  // namespace

int main()
{
    bench::start();
    player_instance = GetModuleHandleA(nullptr);
    skin_load();
    player_create_windows();
    printf("%-34s %5s %11s %9s %9s %7s  %s\n", "controls strip", "width", "area", "ms", "BitBlt ms", "ratio",
           "target");
    for (int width : {600, 1920}) {
        // The main window's layout gives the strip the client's full width.
        SetWindowPos(main_window, nullptr, 0, 0, width + 16, 400, SWP_NOZORDER);
        player_set_client_size(main_window, width, 400);
        RECT rc;
        GetClientRect(controls_window, &rc);
        int w = rc.right, h = rc.bottom;
        UpdateWindow(controls_window);
        double full = paint_ms(controls_window, [&] { InvalidateRect(controls_window, nullptr, FALSE); });
        row("full paint", w, w, h, full, bitblt_ms(controls_window, 0, 0, w, h), width == 1920 ? 1.0 : 0);
        double move = paint_ms(controls_window, [&] {
            SendMessageA(controls_window, WM_MOUSEMOVE, 0, MAKELPARAM(80, 50));
        });
        row("mouse move, then its repaint", w, w, h, move, bitblt_ms(controls_window, 0, 0, w, h), 0);
        RECT button = {66, 37, 98, 69};
        double part = paint_ms(controls_window, [&] { InvalidateRect(controls_window, &button, FALSE); });
        row("one button's area", w, 34, 34, part, bitblt_ms(controls_window, 65, 36, 34, 34), 0);
    }
    DestroyWindow(main_window);
    return 0;
}
