// Shape benchmark: Mpixels/s of the engine's fills, lines, gradients,
// rounded rectangles and flood fill next to GDI doing comparable work on
// the same DIB sections, pixman's solid fill (figures passed in from a
// native helper) and the engine's own integer forms.
//
// Each row is the median of repetitions, ours and the peer taking turns.
// The destination is restored, untimed, before every repetition.
#include <windows.h>

#include <functional>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "bench_util.h"
#include "pixmoor.h"

namespace {

void add(const char *ours, int size, double mpix, const char *peer, double peer_mpix, double target = 0)
{
    bench::add_row(ours, size, mpix, peer, peer_mpix, target);
}

// A DIB surface with a pristine copy of its pixels and its DC.
struct Canvas {
    PxmSurface s;
    HDC dc;
    std::vector<uint32_t> pristine;
};

bool canvas_make(Canvas &c, int w, int h, uint32_t fill)
{
    memset(&c.s, 0, sizeof(c.s));
    if (!pxm_surface_create(&c.s, w, h, 0))
        return false;
    pxm_surface_get_dc(&c.s, &c.dc, nullptr);
    pxm_surface_lock(&c.s, 0);
    c.pristine.assign((size_t)w * h, fill);
    return true;
}

void canvas_keep(Canvas &c)
{
    GdiFlush();
    memcpy(c.pristine.data(), c.s.pixels, c.pristine.size() * 4);
}

void canvas_free(Canvas &c)
{
    pxm_surface_unlock(&c.s, 0);
    pxm_surface_free(&c.s, 0);
}

typedef std::function<void()> Op;

double time_once(Canvas &c, const Op &op)
{
    memcpy(c.s.pixels, c.pristine.data(), c.pristine.size() * 4);
    GdiFlush();
    double t0 = bench::seconds_now();
    op();
    GdiFlush();
    return bench::seconds_now() - t0;
}

void measure_pair(Canvas &c, int reps, double pixels, const Op &ours, const Op &peer, double *ours_mpix,
                  double *peer_mpix)
{
    std::vector<double> a, p;
    for (int r = 0; r < reps; r++) {
        a.push_back(time_once(c, ours));
        p.push_back(time_once(c, peer));
    }
    *ours_mpix = pixels / bench::median(a) / 1e6;
    *peer_mpix = pixels / bench::median(p) / 1e6;
}

// 1024 x 1024 as one operation; 32 x 32 as 128 operations onto the cells
// of a 512 x 256 surface.
void bench_fills(int size, double pixman_mpix)
{
    int w = size == 32 ? 512 : size, h = size == 32 ? 256 : size;
    int cells = (w / size) * (h / size), reps = size == 32 ? 201 : 21, n = size - 1;
    Canvas c;
    if (!canvas_make(c, w, h, 0x00336699))
        exit(1);
    double pixels = (double)size * size * cells;
    auto each_cell = [=](const std::function<void(int, int)> &f) {
        return [=]() {
            for (int k = 0; k < cells; k++)
                f((k % (w / size)) * size, (k / (w / size)) * size);
        };
    };
    const uint32_t opaque = 0x00204060, half = 0x80204060;
    Op fill = each_cell([&](int x, int y) { pxm_fill_rect(&c.s, x, y, x + n, y + n, opaque, 0); });
    Op blend = each_cell([&](int x, int y) { pxm_fill_rect_blend(&c.s, x, y, x + n, y + n, half, 0); });

    HBRUSH brush = CreateSolidBrush(RGB(0x20, 0x40, 0x60));
    Op gdi_fill = each_cell([&](int x, int y) {
        RECT r = {x, y, x + size, y + size};
        FillRect(c.dc, &r, brush);
    });
    // A solid half-transparent source (alpha 127, premultiplied) for AlphaBlend.
    PxmSurface solid;
    memset(&solid, 0, sizeof(solid));
    pxm_surface_create(&solid, size, size, 0);
    for (int i = 0; i < size * size; i++)
        solid.pixels[i] = 0x7F000000u | (0x20 * 127 / 255) << 16 | (0x40 * 127 / 255) << 8 | (0x60 * 127 / 255);
    HDC solid_dc = nullptr;
    pxm_surface_get_dc(&solid, &solid_dc, nullptr);
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    Op gdi_alpha = each_cell([&](int x, int y) { AlphaBlend(c.dc, x, y, size, size, solid_dc, 0, 0, size, size, bf); });

    double ours, peer;
    measure_pair(c, reps, pixels, fill, gdi_fill, &ours, &peer);
    add("pxm_fill_rect opaque", size, ours, "pixman_fill (native)", pixman_mpix, 0.8);
    add("pxm_fill_rect opaque", size, ours, "GDI FillRect", peer);
    measure_pair(c, reps, pixels, fill, bench::integer_form(fill), &ours, &peer);
    add("pxm_fill_rect opaque", size, ours, "pxm_fill_rect opaque, integer", peer);
    measure_pair(c, reps, pixels, blend, gdi_alpha, &ours, &peer);
    add("pxm_fill_rect_blend", size, ours, "GDI AlphaBlend solid source", peer, 4.0);
    measure_pair(c, reps, pixels, blend, bench::integer_form(blend), &ours, &peer);
    add("pxm_fill_rect_blend", size, ours, "pxm_fill_rect_blend, integer", peer);

    DeleteObject(brush);
    pxm_surface_free(&solid, 0);
    canvas_free(c);
}

void bench_lines_and_gradients()
{
    Canvas c;
    if (!canvas_make(c, 1024, 1024, 0x00336699))
        exit(1);
    // 256 long diagonals, each 1024 pixels.
    const int lines = 256;
    Op line = [&]() {
        for (int k = 0; k < lines; k++)
            pxm_draw_line(&c.s, 0, k, 1023, 1023 - k, 0x00FFFFFF, 0);
    };
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ old_pen = SelectObject(c.dc, pen);
    Op gdi_line = [&]() {
        for (int k = 0; k < lines; k++) {
            MoveToEx(c.dc, 0, k, nullptr);
            LineTo(c.dc, 1024, 1024 - k);
        }
    };
    double ours, peer;
    measure_pair(c, 21, 1024.0 * lines, line, gdi_line, &ours, &peer);
    add("pxm_draw_line long diagonal", 1024, ours, "GDI MoveToEx/LineTo", peer);
    SelectObject(c.dc, old_pen);
    DeleteObject(pen);

    // A vertical four-corner gradient, blended; GDI's GradientFill draws
    // the same vertical gradient opaque.
    Op grad = [&]() {
        pxm_fill_rect_gradient_blend(&c.s, 0, 0, 1023, 1023, 0x20FF8040, 0x20FF8040, 0xC00040FF, 0xC00040FF, 0);
    };
    Op gdi_grad = [&]() {
        TRIVERTEX v[2] = {{0, 0, 0xFF00, 0x8000, 0x4000, 0}, {1024, 1024, 0x0000, 0x4000, 0xFF00, 0}};
        GRADIENT_RECT r = {0, 1};
        GradientFill(c.dc, v, 2, &r, 1, GRADIENT_FILL_RECT_V);
    };
    measure_pair(c, 21, 1024.0 * 1024, grad, gdi_grad, &ours, &peer);
    add("pxm_fill_rect_gradient_blend", 1024, ours, "GDI GradientFill (opaque)", peer);
    measure_pair(c, 21, 1024.0 * 1024, grad, bench::integer_form(grad), &ours, &peer);
    add("pxm_fill_rect_gradient_blend", 1024, ours, "gradient blend, integer", peer);
    canvas_free(c);
}

void bench_round_rects()
{
    Canvas c;
    if (!canvas_make(c, 1024, 1024, 0x00336699))
        exit(1);
    HBRUSH brush = CreateSolidBrush(RGB(0xAA, 0xCC, 0xAA));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0xAA, 0xCC, 0xAA));
    HGDIOBJ old_brush = SelectObject(c.dc, brush), old_pen = SelectObject(c.dc, pen);
    // Buttons of the controls strip: 40 x 20, radii 4, a vertical gradient.
    const int across = 1024 / 40, down = 8;
    Op buttons = [&]() {
        for (int j = 0; j < down; j++)
            for (int i = 0; i < across; i++)
                pxm_fill_round_rect(&c.s, i * 40, j * 20, i * 40 + 39, j * 20 + 19, 4, 4, 0x80AACCAA, 0x80AACCAA,
                                    0x40FFFFFF, 0x40FFFFFF, 0);
    };
    Op gdi_buttons = [&]() {
        for (int j = 0; j < down; j++)
            for (int i = 0; i < across; i++)
                RoundRect(c.dc, i * 40, j * 20, i * 40 + 40, j * 20 + 20, 8, 8);
    };
    double ours, peer;
    measure_pair(c, 41, 40.0 * 20 * across * down, buttons, gdi_buttons, &ours, &peer);
    add("pxm_fill_round_rect 40x20 button", 40, ours, "GDI RoundRect (aliased)", peer);
    Op panel = [&]() {
        pxm_fill_round_rect(&c.s, 10, 10, 1009, 209, 4, 4, 0x00AACCAA, 0x00AACCAA, 0x00FFFFFF, 0x00FFFFFF, 0);
    };
    Op gdi_panel = [&]() { RoundRect(c.dc, 10, 10, 1010, 210, 8, 8); };
    measure_pair(c, 41, 1000.0 * 200, panel, gdi_panel, &ours, &peer);
    add("pxm_fill_round_rect 1000x200 panel", 1000, ours, "GDI RoundRect (aliased)", peer);
    SelectObject(c.dc, old_brush);
    SelectObject(c.dc, old_pen);
    DeleteObject(brush);
    DeleteObject(pen);
    canvas_free(c);
}

// The About window's case: white text on black, the background flooded.
void bench_flood()
{
    Canvas c;
    if (!canvas_make(c, 1600, 360, 0))
        exit(1);
    memset(c.s.pixels, 0, 1600 * 360 * 4);
    HFONT font = CreateFontA(-40, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial");
    HGDIOBJ old_font = SelectObject(c.dc, font);
    SetTextColor(c.dc, RGB(255, 255, 255));
    SetBkMode(c.dc, TRANSPARENT);
    const char *text[] = {"Quorva Media Player - a small media player of our own",
                          "Pixmoor graphics engine, Sonmoor media engine",
                          "Lines, rectangles, gradients, rounded rectangles, flood fill",
                          "Thanks to everyone who tried the early builds of the player",
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789",
                          "The quick brown fox jumps over the lazy dog; pack my box"};
    for (int i = 0; i < 6; i++)
        TextOutA(c.dc, 8, 4 + i * 58, text[i], (int)strlen(text[i]));
    SelectObject(c.dc, old_font);
    DeleteObject(font);
    GdiFlush();
    // GDI leaves the transparency bytes as they were: all opaque.
    for (int i = 0; i < 1600 * 360; i++)
        c.s.pixels[i] &= 0x00FFFFFF;
    canvas_keep(c);
    HBRUSH brush = CreateSolidBrush(RGB(0x10, 0x20, 0x30));
    HGDIOBJ old_brush = SelectObject(c.dc, brush);
    Op flood = [&]() { pxm_flood_fill(&c.s, 0, 0, 0, 0xFFFFFFFF, 0, nullptr); };
    Op gdi_flood = [&]() { ExtFloodFill(c.dc, 0, 0, RGB(0, 0, 0), FLOODFILLSURFACE); };
    double ours, peer;
    measure_pair(c, 21, 1600.0 * 360, flood, gdi_flood, &ours, &peer);
    add("pxm_flood_fill 1600x360 text", 1600, ours, "GDI ExtFloodFill surface", peer);
    SelectObject(c.dc, old_brush);
    DeleteObject(brush);
    canvas_free(c);
}

} // namespace

int main(int argc, char **argv)
{
    double fill1024 = 0, fill32 = 0;
    bool raw = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--raw"))
            raw = true;
        else if (!strncmp(argv[i], "--pixman-fill1024=", 18))
            fill1024 = atof(argv[i] + 18);
        else if (!strncmp(argv[i], "--pixman-fill32=", 16))
            fill32 = atof(argv[i] + 16);
    }
    bench::start();
    bench_fills(1024, fill1024);
    bench_fills(32, fill32);
    bench_lines_and_gradients();
    bench_round_rects();
    bench_flood();

    for (const bench::Row &r : bench::rows) {
        if (raw) {
            bench::print_raw_row(r.ours, r.size, r.mpix, r.peer, r.peer_mpix, r.target, 1);
            continue;
        }
        double ratio = r.peer_mpix > 0 ? r.mpix / r.peer_mpix : 0;
        printf("%-36s %5d %9.1f   %-38s %9.1f %7.2f  %s\n", r.ours, r.size, r.mpix, r.peer, r.peer_mpix, ratio,
               r.target > 0 ? (ratio >= r.target ? "met" : "MISSED") : "");
    }
    pxm_shutdown(0);
    return 0;
}
