// Engine benchmark: Mpixels/s of the engine's blits next to the same work
// done by memcpy and GDI on the same DIB sections (and by pixman, whose
// figures the caller passes in from a native helper), as one table of ratios.
//
// Each row is the median of repetitions. At 1024 x 1024 a repetition is one
// operation; at 32 x 32 (the size of the player's skin blits) it is 128
// operations onto the cells of a 512 x 256 destination. The destination is
// restored, untimed, before every repetition so that blends always see the
// same pixels.
#include <windows.h>

#include <functional>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "bench_util.h"
#include "pixmoor.h"

namespace {

uint32_t rng_state = 12345;
uint32_t rng() { return bench::xorshift(rng_state); }

struct Setup {
    int size;         // operation size: 1024 or 32
    int cells;        // operations per repetition
    int reps;
    PxmSurface dst;   // 1024 x 1024, or 512 x 256 of 32 x 32 cells
    PxmSurface src;   // size x size, half-transparent
    PxmSurface half;  // size/2 x size/2 for the scaled copy
    PxmSurface tile;  // 16 x 16
    std::vector<uint32_t> pristine;
    HDC dst_dc;
    HDC premul_dc;    // the source as premultiplied alpha, for AlphaBlend
    HBITMAP premul_bitmap;
    HGDIOBJ premul_old;
    HDC half_dc;
    HBRUSH tile_brush;
};

void cell_origin(const Setup &b, int c, int *x, int *y)
{
    int across = b.dst.width / b.size;
    *x = (c % across) * b.size;
    *y = (c / across) * b.size;
}

typedef std::function<void(int x, int y)> Op;

double time_once(Setup &b, const Op &op)
{
    memcpy(b.dst.pixels, b.pristine.data(), b.pristine.size() * 4);
    GdiFlush();
    double t0 = bench::seconds_now();
    for (int c = 0; c < b.cells; c++) {
        int x, y;
        cell_origin(b, c, &x, &y);
        op(x, y);
    }
    GdiFlush();
    return bench::seconds_now() - t0;
}

double to_mpix(Setup &b, const std::vector<double> &samples)
{
    return (double)b.size * b.size * b.cells / bench::median(samples) / 1e6;
}

// Ours and the peer take turns, so that load from elsewhere on the machine
// falls on both alike.
void measure_pair(Setup &b, const Op &ours, const Op &peer, double *ours_mpix, double *peer_mpix)
{
    std::vector<double> a, p;
    for (int r = 0; r < b.reps; r++) {
        a.push_back(time_once(b, ours));
        p.push_back(time_once(b, peer));
    }
    *ours_mpix = to_mpix(b, a);
    *peer_mpix = to_mpix(b, p);
}

void fill_half_transparent(PxmSurface &s)
{
    for (int i = 0; i < s.width * s.height; i++)
        s.pixels[i] = 0x80000000u | (rng() & 0x00FFFFFF);
}

HBITMAP make_dib(int w, int h, void **bits)
{
    BITMAPINFO bi;
    memset(&bi, 0, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

bool setup(Setup &b, int size)
{
    memset(&b.dst, 0, sizeof(b.dst));
    memset(&b.src, 0, sizeof(b.src));
    memset(&b.half, 0, sizeof(b.half));
    memset(&b.tile, 0, sizeof(b.tile));
    b.size = size;
    int dw = size == 32 ? 512 : size, dh = size == 32 ? 256 : size;
    b.cells = (dw / size) * (dh / size);
    b.reps = size == 32 ? 201 : 21;
    if (!pxm_surface_create(&b.dst, dw, dh, 0) || !pxm_surface_create(&b.src, size, size, 0) ||
        !pxm_surface_create(&b.half, size / 2, size / 2, 0) || !pxm_surface_create(&b.tile, 16, 16, 0))
        return false;
    fill_half_transparent(b.src);
    fill_half_transparent(b.half);
    fill_half_transparent(b.tile);
    b.pristine.resize((size_t)dw * dh);
    for (uint32_t &p : b.pristine)
        p = rng() & 0x00FFFFFF; // opaque
    pxm_surface_get_dc(&b.dst, &b.dst_dc, nullptr);
    HDC unused = nullptr;
    b.half_dc = pxm_surface_get_dc(&b.half, &unused, nullptr);
    pxm_surface_get_dc(&b.src, &unused, nullptr);

    void *bits = nullptr;
    b.premul_bitmap = make_dib(size, size, &bits);
    uint32_t *q = (uint32_t *)bits;
    for (int i = 0; i < size * size; i++) {
        uint32_t s = b.src.pixels[i], a = 255 - (s >> 24);
        uint32_t r = ((s >> 16) & 255) * a / 255, g = ((s >> 8) & 255) * a / 255, bl = (s & 255) * a / 255;
        q[i] = (a << 24) | (r << 16) | (g << 8) | bl;
    }
    b.premul_dc = CreateCompatibleDC(b.dst_dc);
    b.premul_old = SelectObject(b.premul_dc, b.premul_bitmap);
    b.tile_brush = CreatePatternBrush(b.tile.bitmap);
    return true;
}

void teardown(Setup &b)
{
    DeleteObject(b.tile_brush);
    SelectObject(b.premul_dc, b.premul_old);
    DeleteDC(b.premul_dc);
    DeleteObject(b.premul_bitmap);
    pxm_surface_free(&b.dst, 0);
    pxm_surface_free(&b.src, 0);
    pxm_surface_free(&b.half, 0);
    pxm_surface_free(&b.tile, 0);
}

void add(const char *ours, int size, double mpix, const char *peer, double peer_mpix, double target = 0)
{
    bench::add_row(ours, size, mpix, peer, peer_mpix, target);
}

const char *mode_names[6] = {"over", "behind", "average", "color", "checker", "add transparency"};

void bench_size(int size, double pixman_mpix)
{
    Setup b;
    if (!setup(b, size)) {
        fprintf(stderr, "cannot create the benchmark surfaces\n");
        exit(1);
    }
    int n = size - 1, level = pxm_cpu_level;

    Op copy = [&](int x, int y) { pxm_copy(&b.dst, x, y, x + n, y + n, &b.src, 0, 0, n, n, 0); };
    Op mem = [&](int x, int y) {
        if (size == 1024) {
            memcpy(b.dst.pixels, b.src.pixels, (size_t)size * size * 4);
            return;
        }
        for (int r = 0; r < size; r++)
            memcpy(b.dst.pixels + (size_t)(y + r) * b.dst.stride + x, b.src.pixels + (size_t)r * size, (size_t)size * 4);
    };
    double ours, peer;
    measure_pair(b, copy, mem, &ours, &peer);
    add("pxm_copy equal size", size, ours, "memcpy", peer, 0.8);

    int h = size / 2 - 1;
    SetStretchBltMode(b.dst_dc, COLORONCOLOR);
    measure_pair(
        b, [&](int x, int y) { pxm_copy(&b.dst, x, y, x + n, y + n, &b.half, 0, 0, h, h, 0); },
        [&](int x, int y) { StretchBlt(b.dst_dc, x, y, size, size, b.half_dc, 0, 0, size / 2, size / 2, SRCCOPY); },
        &ours, &peer);
    add("pxm_copy 2x scaled", size, ours, "StretchBlt COLORONCOLOR", peer);

    BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    Op alpha = [&](int x, int y) { AlphaBlend(b.dst_dc, x, y, size, size, b.premul_dc, 0, 0, size, size, bf); };
    for (int mode = 0; mode < 6; mode++) {
        Op blit = [&](int x, int y) { pxm_blit(&b.dst, x, y, x + n, y + n, &b.src, 0, 0, n, n, mode); };
        Op blit_int = [&](int x, int y) {
            pxm_cpu_level = 0;
            pxm_blit(&b.dst, x, y, x + n, y + n, &b.src, 0, 0, n, n, mode);
            pxm_cpu_level = level;
        };
        static char names[6][2][64];
        snprintf(names[mode][0], 64, "pxm_blit %s, SSE2", mode_names[mode]);
        snprintf(names[mode][1], 64, "pxm_blit %s, integer", mode_names[mode]);
        double sse2, integer;
        measure_pair(b, blit, blit_int, &sse2, &integer);
        add(names[mode][0], size, sse2, names[mode][1], integer, mode == 0 ? 2.0 : 0);
        if (mode == 0) {
            double gdi;
            measure_pair(b, blit, alpha, &sse2, &gdi);
            add(names[mode][0], size, sse2, "pixman over (native)", pixman_mpix, size == 1024 ? 1.2 : 1.0);
            add(names[mode][0], size, sse2, "GDI AlphaBlend", gdi, 4.0);
            measure_pair(b, blit_int, alpha, &integer, &gdi);
            add(names[mode][1], size, integer, "GDI AlphaBlend", gdi);
        }
    }

    HGDIOBJ old_brush = SelectObject(b.dst_dc, b.tile_brush);
    measure_pair(
        b, [&](int x, int y) { pxm_tile(&b.dst, x, y, x + n, y + n, &b.tile, 0, 0, 15, 15, 0); },
        [&](int x, int y) { PatBlt(b.dst_dc, x, y, size, size, PATCOPY); }, &ours, &peer);
    SelectObject(b.dst_dc, old_brush);
    add("pxm_tile 16x16 tile", size, ours, "PatBlt pattern brush", peer);

    measure_pair(
        b, [&](int x, int y) { pxm_blit_to_dc(b.dst_dc, x, y, x + n, y + n, &b.src, 0, 0, n, n, 0); },
        [&](int x, int y) { BitBlt(b.dst_dc, x, y, size, size, b.src.dc, 0, 0, SRCCOPY); }, &ours, &peer);
    add("pxm_blit_to_dc", size, ours, "BitBlt", peer);

    teardown(b);
}

} // namespace

int main(int argc, char **argv)
{
    double pixman1024 = 0, pixman32 = 0;
    bool raw = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--raw"))
            raw = true;
        if (!strncmp(argv[i], "--pixman1024=", 13))
            pixman1024 = atof(argv[i] + 13);
        else if (!strncmp(argv[i], "--pixman32=", 11))
            pixman32 = atof(argv[i] + 11);
    }
    bench::start();
    bench_size(1024, pixman1024);
    bench_size(32, pixman32);

    if (raw) {
        for (const bench::Row &r : bench::rows)
            bench::print_raw_row(r.ours, r.size, r.mpix, r.peer, r.peer_mpix, r.target, 1);
        pxm_shutdown(0);
        return 0;
    }
    printf("%-34s %5s %9s   %-28s %9s %7s  %s\n", "operation", "size", "Mpix/s", "peer", "Mpix/s", "ratio",
           "target");
    int missed = 0;
    for (const bench::Row &r : bench::rows) {
        double ratio = r.peer_mpix > 0 ? r.mpix / r.peer_mpix : 0;
        char target[32];
        bench::target_text(target, ratio, r.target, &missed);
        printf("%-34s %5d %9.1f   %-28s %9.1f %7.2f  %s\n", r.ours, r.size, r.mpix, r.peer, r.peer_mpix, ratio,
               target);
    }
    printf("targets missed: %d\n", missed);
    pxm_shutdown(0);
    return 0;
}
