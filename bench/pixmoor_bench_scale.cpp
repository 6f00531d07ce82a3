// Scaling and raster-operation benchmark: Mpixels/s of the engine's
// filtered scaled blits, smooth resizing and raster operations next to GDI's
// StretchBlt (HALFTONE and COLORONCOLOR) on the same DIB sections, pixman's
// bilinear scaling (figures passed in from a native helper), and the
// engine's own integer forms.
//
// Figures count destination pixels. Enlargements draw a 1024 x 1024
// destination; reductions read a 1024 x 1024 source. Each row is the median
// of repetitions, ours and the peer taking turns; the destination is
// restored, untimed, before every repetition.
#include <windows.h>

#include <functional>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "bench_util.h"
#include "pixmoor.h"

namespace {

uint32_t rng_state = 2468;
uint32_t rng() { return bench::xorshift(rng_state); }

void add(const char *ours, double mpix, const char *peer, double peer_mpix, double target = 0)
{
    bench::add_row(ours, 1024, mpix, peer, peer_mpix, target);
}

typedef std::function<void()> Op;

const int reps = 7;

struct Target {
    PxmSurface *s;
    std::vector<uint32_t> pristine;
    std::function<void()> prepare; // untimed, before each repetition
};

double time_once(Target &t, const Op &op)
{
    memcpy(t.s->pixels, t.pristine.data(), t.pristine.size() * 4);
    if (t.prepare)
        t.prepare();
    GdiFlush();
    double t0 = bench::seconds_now();
    op();
    GdiFlush();
    return bench::seconds_now() - t0;
}

// Mpixels/s of both, counting pixels destination pixels per operation.
void measure_pair(Target &t, double pixels, const Op &ours, const Op &peer, double *ours_mpix, double *peer_mpix)
{
    std::vector<double> a, p;
    for (int r = 0; r < reps; r++) {
        a.push_back(time_once(t, ours));
        p.push_back(time_once(t, peer));
    }
    *ours_mpix = pixels / bench::median(a) / 1e6;
    *peer_mpix = pixels / bench::median(p) / 1e6;
}

bool make_surface(PxmSurface *s, int w, int h, bool transparent)
{
    memset(s, 0, sizeof(*s));
    if (pxm_surface_create(s, w, h, 0) != 1)
        return false;
    for (int i = 0; i < w * h; i++)
        s->pixels[i] = (rng() & 0x00FFFFFF) | (transparent ? 0x80000000u : 0);
    return true;
}

Op stretch_gdi(HDC dst_dc, int dw, int dh, PxmSurface *src, int sw, int sh, int mode)
{
    return [=]() {
        SetStretchBltMode(dst_dc, mode);
        SetBrushOrgEx(dst_dc, 0, 0, nullptr);
        StretchBlt(dst_dc, 0, 0, dw, dh, src->dc, 0, 0, sw, sh, SRCCOPY);
    };
}

// One filter: ours (SSE2) against HALFTONE, COLORONCOLOR and our integer form.
void bench_filter(const char *name, bool blend, uint32_t flags, int dw, int dh, int sw, int sh, double pixman_mpix)
{
    PxmSurface dst, src;
    if (!make_surface(&dst, dw, dh, false) || !make_surface(&src, sw, sh, blend)) {
        fprintf(stderr, "cannot create the benchmark surfaces\n");
        exit(1);
    }
    Target t{&dst, std::vector<uint32_t>(dst.pixels, dst.pixels + (size_t)dw * dh), nullptr};
    HDC dst_dc = nullptr, unused = nullptr;
    pxm_surface_get_dc(&dst, &dst_dc, nullptr);
    pxm_surface_get_dc(&src, &unused, nullptr);
    Op ours = [&]() {
        if (blend)
            pxm_stretch_blit(&dst, 0, 0, dw - 1, dh - 1, &src, 0, 0, sw - 1, sh - 1, flags);
        else
            pxm_stretch_copy(&dst, 0, 0, dw - 1, dh - 1, &src, 0, 0, sw - 1, sh - 1, flags);
    };
    double pixels = (double)dw * dh, a, b;
    char sse2[64], integer[64];
    snprintf(sse2, sizeof(sse2), "%s, SSE2", name);
    snprintf(integer, sizeof(integer), "%s, integer", name);
    measure_pair(t, pixels, ours, stretch_gdi(dst_dc, dw, dh, &src, sw, sh, HALFTONE), &a, &b);
    add(sse2, a, "StretchBlt HALFTONE", b, 5.0);
    measure_pair(t, pixels, bench::integer_form(ours), stretch_gdi(dst_dc, dw, dh, &src, sw, sh, HALFTONE), &a, &b);
    add(integer, a, "StretchBlt HALFTONE", b);
    measure_pair(t, pixels, ours, stretch_gdi(dst_dc, dw, dh, &src, sw, sh, COLORONCOLOR), &a, &b);
    add(sse2, a, "StretchBlt COLORONCOLOR", b);
    measure_pair(t, pixels, ours, bench::integer_form(ours), &a, &b);
    add(sse2, a, integer, b, 2.0);
    if (pixman_mpix > 0)
        add(sse2, a, "pixman bilinear (native)", pixman_mpix, 1.2);
    pxm_surface_free(&dst, 0);
    pxm_surface_free(&src, 0);
}

// Bilinear 2x enlargements of a 16 x 16 source into each 32 x 32 cell of a
// 512 x 256 surface, all 128 cells per timing, against pixman doing the same.
void bench_bilinear_cells(double pixman_mpix)
{
    PxmSurface dst, src;
    if (!make_surface(&dst, 512, 256, false) || !make_surface(&src, 16, 16, false)) {
        fprintf(stderr, "cannot create the benchmark surfaces\n");
        exit(1);
    }
    Target t{&dst, std::vector<uint32_t>(dst.pixels, dst.pixels + 512 * 256), nullptr};
    Op ours = [&]() {
        for (int cy = 0; cy < 8; cy++)
            for (int cx = 0; cx < 16; cx++)
                pxm_stretch_copy(&dst, cx * 32, cy * 32, cx * 32 + 31, cy * 32 + 31, &src, 0, 0, 15, 15, 0);
    };
    std::vector<double> times;
    for (int r = 0; r < 41; r++)
        times.push_back(time_once(t, ours));
    double a = 512.0 * 256 / bench::median(times) / 1e6;
    if (pixman_mpix > 0)
        bench::add_row("pxm_stretch_copy bilinear 2x up, SSE2", 32, a, "pixman bilinear (native)", pixman_mpix, 1.0);
    pxm_surface_free(&dst, 0);
    pxm_surface_free(&src, 0);
}

void bench_resize()
{
    PxmSurface src, work, dst;
    if (!make_surface(&src, 1024, 1024, false) || !make_surface(&dst, 512, 512, false)) {
        fprintf(stderr, "cannot create the benchmark surfaces\n");
        exit(1);
    }
    memset(&work, 0, sizeof(work));
    // Each repetition resizes a fresh copy of the picture, made untimed.
    Target t{&dst, std::vector<uint32_t>(dst.pixels, dst.pixels + 512 * 512), [&]() { pxm_surface_copy(&work, &src); }};
    HDC dst_dc = nullptr, unused = nullptr;
    pxm_surface_get_dc(&dst, &dst_dc, nullptr);
    pxm_surface_get_dc(&src, &unused, nullptr);
    Op ours = [&]() { pxm_surface_resize(&work, 512, 512, 2); };
    double a, b;
    measure_pair(t, 512.0 * 512, ours, stretch_gdi(dst_dc, 512, 512, &src, 1024, 1024, HALFTONE), &a, &b);
    add("pxm_surface_resize mode 2, SSE2", a, "StretchBlt HALFTONE", b, 5.0);
    measure_pair(t, 512.0 * 512, ours, bench::integer_form(ours), &a, &b);
    add("pxm_surface_resize mode 2, SSE2", a, "pxm_surface_resize mode 2, integer", b);
    pxm_surface_free(&work, 0);
    pxm_surface_free(&src, 0);
    pxm_surface_free(&dst, 0);
}

void bench_rops()
{
    PxmSurface dst, src;
    if (!make_surface(&dst, 1024, 1024, false) || !make_surface(&src, 1024, 1024, true)) {
        fprintf(stderr, "cannot create the benchmark surfaces\n");
        exit(1);
    }
    Target t{&dst, std::vector<uint32_t>(dst.pixels, dst.pixels + 1024 * 1024), nullptr};
    HDC dst_dc = nullptr, unused = nullptr;
    pxm_surface_get_dc(&dst, &dst_dc, nullptr);
    pxm_surface_get_dc(&src, &unused, nullptr);
    struct {
        const char *name;
        int op;
        bool vector;
    } ops[] = {{"XOR", PXM_ROP_XOR, true},
               {"burn", PXM_ROP_BURN, true},
               {"multiply", PXM_ROP_MULTIPLY, true},
               {"screen", PXM_ROP_SCREEN, true},
               {"HSL colour", PXM_ROP_HSL_COLOR, true}};
    const double pixels = 1024.0 * 1024;
    for (auto &o : ops) {
        int op = o.op;
        Op blit = [&dst, &src, op]() { pxm_blit_op(&dst, 0, 0, 1023, 1023, &src, 0, 0, 1023, 1023, op, 0); };
        Op fill = [&dst, op]() {
            pxm_surface_lock(&dst, 0);
            pxm_fill_rect_op(&dst, 0, 0, 1023, 1023, 0x40A08060, op, 0);
            pxm_surface_unlock(&dst, 0);
        };
        char ours[64], integer[64];
        double a, b;
        snprintf(ours, sizeof(ours), "pxm_blit_op %s, SSE2", o.name);
        snprintf(integer, sizeof(integer), "pxm_blit_op %s, integer", o.name);
        if (op == PXM_ROP_XOR) {
            measure_pair(t, pixels, blit, [&]() { BitBlt(dst_dc, 0, 0, 1024, 1024, src.dc, 0, 0, SRCINVERT); }, &a, &b);
            add(ours, a, "BitBlt SRCINVERT", b);
        }
        measure_pair(t, pixels, blit, bench::integer_form(blit), &a, &b);
        add(ours, a, integer, b, o.vector ? 2.0 : 0);
        snprintf(ours, sizeof(ours), "pxm_fill_rect_op %s, SSE2", o.name);
        snprintf(integer, sizeof(integer), "pxm_fill_rect_op %s, integer", o.name);
        if (op == PXM_ROP_XOR) {
            HBRUSH brush = CreateSolidBrush(RGB(0x60, 0x80, 0xA0));
            HGDIOBJ old = SelectObject(dst_dc, brush);
            measure_pair(t, pixels, fill, [&]() { PatBlt(dst_dc, 0, 0, 1024, 1024, PATINVERT); }, &a, &b);
            SelectObject(dst_dc, old);
            DeleteObject(brush);
            add(ours, a, "PatBlt PATINVERT", b);
        }
        measure_pair(t, pixels, fill, bench::integer_form(fill), &a, &b);
        add(ours, a, integer, b, o.vector ? 2.0 : 0);
    }
    pxm_surface_free(&dst, 0);
    pxm_surface_free(&src, 0);
}

} // namespace

int main(int argc, char **argv)
{
    double pixman_bilinear = 0, pixman_bilinear32 = 0;
    bool raw = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--raw"))
            raw = true;
        else if (!strncmp(argv[i], "--pixman-bilinear=", 18))
            pixman_bilinear = atof(argv[i] + 18);
        else if (!strncmp(argv[i], "--pixman-bilinear32=", 20))
            pixman_bilinear32 = atof(argv[i] + 20);
    }
    bench::start();

    bench_filter("pxm_stretch_copy bilinear 2x up", false, 0, 1024, 1024, 512, 512, pixman_bilinear);
    bench_bilinear_cells(pixman_bilinear32);
    bench_filter("pxm_stretch_copy bicubic 1.5x up", false, PXM_HIGH_QUALITY, 1024, 1024, 683, 683, 0);
    bench_filter("pxm_stretch_copy four-sample 2x down", false, 0, 512, 512, 1024, 1024, 0);
    bench_filter("pxm_stretch_copy box 4x down", false, PXM_HIGH_QUALITY, 256, 256, 1024, 1024, 0);
    bench_filter("pxm_stretch_blit bilinear 2x up", true, 0, 1024, 1024, 512, 512, 0);
    bench_resize();
    bench_rops();

    if (raw) {
        for (const bench::Row &r : bench::rows)
            bench::print_raw_row(r.ours, r.size, r.mpix, r.peer, r.peer_mpix, r.target, 2);
        pxm_shutdown(0);
        return 0;
    }
    printf("%-42s %9s   %-36s %9s %7s  %s\n", "operation", "Mpix/s", "peer", "Mpix/s", "ratio", "target");
    int missed = 0;
    for (const bench::Row &r : bench::rows) {
        double ratio = r.peer_mpix > 0 ? r.mpix / r.peer_mpix : 0;
        char target[32];
        bench::target_text(target, ratio, r.target, &missed);
        printf("%-42s %9.1f   %-36s %9.1f %7.2f  %s\n", r.ours, r.mpix, r.peer, r.peer_mpix, ratio, target);
    }
    printf("targets missed: %d\n", missed);
    pxm_shutdown(0);
    return 0;
}
