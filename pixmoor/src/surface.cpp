// Surfaces: 32-bit top-down DIB sections with a memory DC, and records over
// caller-owned pixel memory.
#include "pxm_private.h"

#include <math.h>
#include <string.h>

bool pxm_record_readable(const PxmSurface *s)
{
    return s && !IsBadReadPtr(s, sizeof(PxmSurface));
}

// A memory record describes its own geometry, so it is only usable when
// that geometry cannot lead outside the rows it claims.
bool pxm_memory_record_ok(const PxmSurface *s)
{
    return (uintptr_t)s->pixels > 0x10000 && s->width > 0 && s->height > 0 && s->stride >= s->width;
}

static bool pxm_read_dib(HBITMAP bitmap, DIBSECTION *ds)
{
    if (!bitmap || GetObjectType(bitmap) != OBJ_BITMAP)
        return false;
    return GetObjectA(bitmap, sizeof(DIBSECTION), ds) == (int)sizeof(DIBSECTION);
}

static void pxm_take_geometry(PxmSurface *s, const DIBSECTION *ds)
{
    s->width = ds->dsBm.bmWidth;
    s->height = ds->dsBm.bmHeight < 0 ? -ds->dsBm.bmHeight : ds->dsBm.bmHeight;
    s->stride = ds->dsBm.bmWidthBytes / 4;
    s->pixels = (uint32_t *)ds->dsBm.bmBits;
}

// The thread's facts entry for bitmap, or null when the thread has no slot
// of the table (the table could not be allocated).
static PxmDibFacts *pxm_facts_entry(PxmThreadState *ts, HBITMAP bitmap)
{
    PxmThreadState *table = pxm_engine.table;
    if (!table || ts < table || ts >= table + PXM_THREAD_SLOTS)
        return nullptr;
    uint32_t h = (uint32_t)(uintptr_t)bitmap * 0x9E3779B1u;
    return &pxm_engine.facts[ts - table][h >> 29];
}

static bool pxm_facts_hold(const PxmDibFacts *f, HBITMAP bitmap)
{
    return f && f->bitmap == bitmap && f->surfaces_changed == pxm_engine.surfaces_changed;
}

// Refreshes the record's width, height, stride and pixels from its DIB
// section; false when the bitmap is no live DIB section. A bitmap this
// thread has read before costs a handle-table look-up (GetObjectType reads
// the table in the process's own memory) and a compare; a new one costs
// GDI's reading of the DIBSECTION.
static bool pxm_dib_geometry(PxmThreadState *ts, PxmSurface *s)
{
    HBITMAP bitmap = s->bitmap;
    if (!bitmap || GetObjectType(bitmap) != OBJ_BITMAP)
        return false;
    PxmDibFacts *f = pxm_facts_entry(ts, bitmap);
    if (pxm_facts_hold(f, bitmap)) {
        s->width = f->width;
        s->height = f->height;
        s->stride = f->stride;
        s->pixels = f->pixels;
        return true;
    }
    // Read before asking GDI: a change that races with the reading voids the entry.
    LONG changed = pxm_engine.surfaces_changed;
    DIBSECTION ds;
    if (GetObjectA(bitmap, sizeof(DIBSECTION), &ds) != (int)sizeof(DIBSECTION))
        return false;
    pxm_take_geometry(s, &ds);
    if (f) {
        f->bitmap = bitmap;
        f->pixels = s->pixels;
        f->width = s->width;
        f->height = s->height;
        f->stride = s->stride;
        f->surfaces_changed = changed;
        f->selected_in = nullptr;
    }
    return true;
}

// Every kept fact, and every note of a selection, goes when the engine
// frees a surface; the facts go too when it creates one, whose new bitmap
// may carry the handle value of one deleted behind the engine's back.
static void pxm_forget_dibs(void)
{
    InterlockedIncrement(&pxm_engine.surfaces_changed);
    InterlockedIncrement(&pxm_engine.deselects);
}

void pxm_select_dib(PxmThreadState *ts, PxmSurface *s)
{
    PxmDibFacts *f = pxm_facts_entry(ts, s->bitmap);
    bool facts = pxm_facts_hold(f, s->bitmap) && GetObjectType(s->bitmap) == OBJ_BITMAP;
    if (facts && s->dc && f->selected_in == s->dc && f->deselects == pxm_engine.deselects &&
        GetObjectType(s->dc) == OBJ_MEMDC)
        return;
    LONG deselects = pxm_engine.deselects;
    bool selected = (HBITMAP)GetCurrentObject(s->dc, OBJ_BITMAP) == s->bitmap;
    if (!selected)
        selected = SelectObject(s->dc, s->bitmap) != nullptr;
    if (facts && selected) {
        f->selected_in = s->dc;
        f->deselects = deselects;
    }
}

// Reads the first pixel and writes it back under the system's fault guard.
static bool pxm_probe_first_pixel(uint32_t *p)
{
    return p && !IsBadWritePtr(p, 4);
}

static HANDLE pxm_create_section(DWORD bytes)
{
    return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT, 0, bytes, nullptr);
}

int32_t pxm_surface_create(PxmSurface *s, int32_t width, int32_t height, uint32_t flags)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(s))
        return 0;
    ts->status = PXM_STATUS_OK;
    memset(s, 0, sizeof(*s));
    if (width <= 0 || height <= 0)
        return 0;

    int32_t result = 1;
    double limit = (flags & PXM_CREATE_SECTION) ? PXM_MAX_SECTION_PIXELS : PXM_MAX_PIXELS;
    double area = (double)width * (double)height;
    if (area > limit) {
        double k = sqrt(limit / area);
        width = (int32_t)(width * k);
        height = (int32_t)(height * k);
        result = 3;
    }
    if (width > PXM_MAX_SIDE) {
        height = (int32_t)((double)height / width * PXM_MAX_SIDE + 0.5);
        width = PXM_MAX_SIDE;
        result = 3;
    } else if (height > PXM_MAX_SIDE) {
        width = (int32_t)((double)width / height * PXM_MAX_SIDE + 0.5);
        height = PXM_MAX_SIDE;
        result = 3;
    }
    // A very thin request still gets a row or column rather than nothing.
    if (width < 1)
        width = 1;
    if (height < 1)
        height = 1;

    s->width = width;
    s->height = height;
    s->kind = PXM_KIND_DIB;
    s->depth = 32;
    s->byte_size = width * height * 4;
    s->lock_count = 0;

    BITMAPINFO bi;
    memset(&bi, 0, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    bi.bmiHeader.biXPelsPerMeter = 3780;
    bi.bmiHeader.biYPelsPerMeter = 3780;

    // A memory DC compatible with the screen. Opening a display DC for it
    // costs twenty times more (0.2 ms under Wine) and gives the same DC.
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        memset(s, 0, sizeof(*s));
        return 0;
    }

    HANDLE section = (flags & PXM_CREATE_SECTION) ? pxm_create_section((DWORD)s->byte_size) : nullptr;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, section, 0);
    if (!bitmap) {
        // Try once more with the other backing.
        if (section) {
            CloseHandle(section);
            section = nullptr;
        } else {
            section = pxm_create_section((DWORD)s->byte_size);
        }
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, section, 0);
    }
    if (!bitmap) {
        if (section)
            CloseHandle(section);
        DeleteDC(dc);
        memset(s, 0, sizeof(*s));
        return 0;
    }
    if (section)
        s->kind |= PXM_KIND_SECTION;
    InterlockedIncrement(&pxm_engine.surfaces_changed);
    s->dc = dc;
    s->bitmap = bitmap;
    s->default_bitmap = (HBITMAP)GetCurrentObject(dc, OBJ_BITMAP);
    GdiFlush();

    if (!pxm_dib_geometry(ts, s))
        return 0;
    return result;
}

int32_t pxm_surface_free(PxmSurface *s, int32_t flags)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(s))
        return 0;
    ts->status = PXM_STATUS_OK;
    if (s->kind & PXM_KIND_MEMORY) {
        memset(s, 0, sizeof(*s));
        return 1;
    }
    HANDLE section = nullptr;
    if (s->kind & PXM_KIND_SECTION) {
        DIBSECTION ds;
        if (pxm_read_dib(s->bitmap, &ds))
            section = ds.dshSection;
    }
    GdiFlush();
    pxm_forget_dibs();
    if (s->dc) {
        SelectObject(s->dc, s->default_bitmap);
        DeleteDC(s->dc);
    }
    if (s->bitmap)
        DeleteObject(s->bitmap);
    // For a memory DC this is the stock bitmap, which DeleteObject leaves alone.
    if (s->default_bitmap)
        DeleteObject(s->default_bitmap);
    if (section)
        CloseHandle(section);
    memset(s, 0, sizeof(*s));
    return flags | 1;
}

static bool pxm_all_zero(const PxmSurface *s)
{
    const unsigned char *p = (const unsigned char *)s;
    for (size_t i = 0; i < sizeof(*s); i++)
        if (p[i])
            return false;
    return true;
}

bool pxm_surface_is_live(PxmSurface *s)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(s))
        return false;
    ts->status = PXM_STATUS_OK;
    if (s->kind & PXM_KIND_MEMORY)
        return (uintptr_t)s->pixels > 0x10000;
    if (pxm_all_zero(s))
        return false;
    DWORD dc_type = s->dc ? GetObjectType(s->dc) : 0;
    bool dc_alive = dc_type == OBJ_DC || dc_type == OBJ_MEMDC;
    bool bitmap_alive = s->bitmap && GetObjectType(s->bitmap) == OBJ_BITMAP;
    if (dc_alive && bitmap_alive)
        return true;
    if (dc_alive) {
        pxm_surface_free(s, 0);
        return false;
    }
    if (bitmap_alive) {
        // The DC is gone but the DIB (and perhaps its section) remains:
        // release what is left so that nothing leaks, and report the record
        // empty.
        HANDLE section = nullptr;
        DIBSECTION ds;
        if ((s->kind & PXM_KIND_SECTION) && pxm_read_dib(s->bitmap, &ds))
            section = ds.dshSection;
        GdiFlush();
        pxm_forget_dibs();
        DeleteObject(s->bitmap);
        if (section)
            CloseHandle(section);
        memset(s, 0, sizeof(*s));
    }
    return false;
}

bool pxm_surface_validate(PxmSurface *s, int32_t ignored)
{
    (void)ignored;
    return pxm_validate_in(pxm_thread_state(), s);
}

bool pxm_validate_in(PxmThreadState *ts, PxmSurface *s)
{
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(s))
        return false;
    ts->status = PXM_STATUS_OK;
    if (s->kind & PXM_KIND_MEMORY) {
        if (pxm_memory_record_ok(s))
            return true;
        ts->status = PXM_STATUS_BAD_SURFACE;
        return false;
    }
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_dib_geometry(ts, s))
        return false;
    // A DIB that passes leaves status 2: what follows validation reports its
    // own status, and a caller that stops right after it reports this one.
    return s->pixels != nullptr;
}

uint32_t *pxm_surface_lock(PxmSurface *s, uint32_t flags)
{
    return pxm_lock_in(pxm_thread_state(), s, flags, false);
}

// fresh: the caller has just validated s, so the record was found readable
// and its pixel fields were read from the DIB a moment ago; neither needs a
// second look.
uint32_t *pxm_lock_in(PxmThreadState *ts, PxmSurface *s, uint32_t flags, bool fresh)
{
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!fresh && !pxm_record_readable(s))
        return nullptr;
    ts->status = PXM_STATUS_OK;
    if (s->kind & PXM_KIND_MEMORY)
        return pxm_memory_record_ok(s) ? s->pixels : nullptr;
    if (!(s->pixels && (s->lock_count != 0 || fresh) && pxm_probe_first_pixel(s->pixels))) {
        if (!pxm_dib_geometry(ts, s))
            return nullptr;
        if (!s->pixels || !pxm_probe_first_pixel(s->pixels))
            return nullptr;
    }
    if (!(flags & PXM_LOCK_NOCOUNT))
        s->lock_count++;
    return s->pixels;
}

int32_t pxm_surface_unlock(PxmSurface *s, int32_t ignored)
{
    (void)ignored;
    return pxm_unlock_in(pxm_thread_state(), s);
}

int32_t pxm_unlock_in(PxmThreadState *ts, PxmSurface *s)
{
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(s))
        return 0;
    ts->status = PXM_STATUS_OK;
    if (!(s->kind & PXM_KIND_MEMORY) && s->lock_count > 0)
        s->lock_count--;
    return 1;
}

HDC pxm_surface_get_dc(PxmSurface *s, HDC *dc_out, HBITMAP *bitmap_out)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(s))
        return nullptr;
    ts->status = PXM_STATUS_BAD_ARGS;
    if (!dc_out)
        return nullptr;
    ts->status = PXM_STATUS_OK;
    if (s->kind & PXM_KIND_MEMORY) {
        // No GDI objects behind this record.
        ts->status = PXM_STATUS_BAD_SURFACE;
        return nullptr;
    }
    if (!pxm_dib_geometry(ts, s))
        return nullptr;
    pxm_select_dib(ts, s);
    *dc_out = s->dc;
    if (bitmap_out)
        *bitmap_out = s->bitmap;
    return s->dc;
}

int32_t pxm_surface_release_dc(PxmSurface *s, HDC *dc_var)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(s) || (s->kind & PXM_KIND_MEMORY))
        return 0;
    ts->status = PXM_STATUS_OK;
    GdiFlush();
    InterlockedIncrement(&pxm_engine.deselects);
    if (s->dc)
        SelectObject(s->dc, s->default_bitmap);
    if (dc_var)
        *dc_var = nullptr;
    return 1;
}

// Draws the source over the whole surface through GDI, for bitmaps GetDIBits
// cannot read. StretchBlt can fail transiently, so it is tried ten times.
static bool pxm_draw_bitmap(PxmSurface *s, HBITMAP source, int32_t source_w, int32_t source_h)
{
    HDC dc = nullptr;
    if (!pxm_surface_get_dc(s, &dc, nullptr))
        return false;
    bool drawn = false;
    HDC source_dc = CreateCompatibleDC(dc);
    if (source_dc) {
        HGDIOBJ old = SelectObject(source_dc, source);
        int old_mode = SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        for (int attempt = 0; attempt < 10 && !drawn; attempt++) {
            drawn = StretchBlt(dc, 0, 0, s->width, s->height, source_dc, 0, 0, source_w, source_h, SRCCOPY) != 0;
            if (!drawn) {
                GdiFlush();
                Sleep(10);
            }
        }
        if (old_mode)
            SetStretchBltMode(dc, old_mode);
        if (old && old != HGDI_ERROR) {
            SelectObject(source_dc, old);
            DeleteObject(old);
        }
        DeleteDC(source_dc);
    }
    pxm_surface_release_dc(s, &dc);
    return drawn;
}

int32_t pxm_surface_from_bitmap(PxmSurface *s, HBITMAP source)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(s))
        return 0;
    ts->status = PXM_STATUS_OK;
    GdiFlush();
    ts->status = PXM_STATUS_BAD_ARGS;

    BITMAP bm;
    if (!source || GetObjectA(source, sizeof(bm), &bm) != (int)sizeof(bm))
        return 0;
    int32_t source_w = bm.bmWidth < 0 ? -bm.bmWidth : bm.bmWidth;
    int32_t source_h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    if (!pxm_surface_create(s, source_w, source_h, 0))
        return 0;
    pxm_surface_validate(s, 0);

    int32_t result = 1;
    HBITMAP resized = nullptr;
    HBITMAP from = source;
    if (s->width < source_w || s->height < source_h) {
        resized = (HBITMAP)CopyImage(source, IMAGE_BITMAP, s->width, s->height, LR_CREATEDIBSECTION);
        if (!resized || GetObjectA(resized, sizeof(bm), &bm) != (int)sizeof(bm))
            goto fail;
        from = resized;
        source_w = bm.bmWidth < 0 ? -bm.bmWidth : bm.bmWidth;
        source_h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        result = 3;
    }

    {
        BITMAPINFO bi;
        memset(&bi, 0, sizeof(bi));
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = s->width;
        bi.bmiHeader.biHeight = -s->height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        bi.bmiHeader.biSizeImage = (DWORD)s->width * (DWORD)s->height * 4;

        int lines = 0;
        if (pxm_lock_in(ts, s, 0, false)) {
            lines = GetDIBits(s->dc, from, 0, (UINT)s->height, s->pixels, &bi, DIB_RGB_COLORS);
            pxm_surface_unlock(s, 0);
        }
        if (lines == 0 && !pxm_draw_bitmap(s, from, source_w, source_h))
            goto fail;
    }

    // Sources without a fourth byte come out opaque; 32-bit sources keep theirs.
    if (bm.bmPlanes * bm.bmBitsPixel != 32 && bm.bmPlanes * bm.bmBitsPixel != 16) {
        if (pxm_lock_in(ts, s, 0, false)) {
            pxm_fill_rect_op(s, 0, 0, s->width - 1, s->height - 1, 0x00FFFFFF, PXM_ROP_AND, 0);
            pxm_surface_unlock(s, 0);
        }
    }
    if (resized)
        DeleteObject(resized);
    return result;

fail:
    if (resized)
        DeleteObject(resized);
    if (pxm_surface_is_live(s))
        pxm_surface_free(s, 0);
    return 0;
}

int32_t pxm_surface_resize(PxmSurface *s, int32_t width, int32_t height, int32_t mode)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(s))
        return 0;
    ts->status = PXM_STATUS_OK;
    if (width <= 0 || height <= 0)
        return 0;
    if (pxm_surface_validate(s, 0)) {
        if (s->width == width && s->height == height)
            return 1;
        if (mode != 1) {
            PxmSurface t;
            memset(&t, 0, sizeof(t));
            int32_t made = pxm_surface_create(&t, width, height, 0);
            if (!made) {
                // A creation that failed late keeps its DC and DIB in the
                // record for the next free: release them here, keeping the
                // status the creation left.
                int32_t status = ts->status;
                pxm_surface_free(&t, 0);
                ts->status = status;
                return 0;
            }
            pxm_surface_validate(&t, 0);
            pxm_surface_validate(s, 0);
            if (mode == 3)
                pxm_copy(&t, 0, 0, t.width - 1, t.height - 1, s, 0, 0, s->width - 1, s->height - 1, 0);
            else
                pxm_stretch_copy(&t, 0, 0, t.width - 1, t.height - 1, s, 0, 0, s->width - 1, s->height - 1,
                                 mode == 2 ? PXM_HIGH_QUALITY : 0);
            if (pxm_surface_is_live(s))
                pxm_surface_free(s, 0);
            *s = t;
            return made == 3 ? 99 : 1;
        }
    }
    if (pxm_surface_is_live(s))
        pxm_surface_free(s, 0);
    return pxm_surface_create(s, width, height, 0);
}

int32_t pxm_surface_copy(PxmSurface *dst, PxmSurface *src)
{
    PxmThreadState *ts = pxm_thread_state();
    ts->status = PXM_STATUS_BAD_SURFACE;
    if (!pxm_record_readable(dst) || !pxm_record_readable(src) || !pxm_surface_validate(src, 0))
        return 0;
    // Freeing dst would destroy the very picture to be copied.
    if (dst == src)
        return 1;
    int32_t width = src->width, height = src->height;
    if (pxm_surface_is_live(dst))
        pxm_surface_free(dst, 0);
    if (!pxm_surface_create(dst, width, height, 0))
        return 0;
    uint32_t *d = pxm_surface_lock(dst, 0);
    uint32_t *p = pxm_surface_lock(src, 0);
    if (d && p && dst->stride == dst->width && src->stride == src->width && dst->width == src->width &&
        dst->height == src->height) {
        pxm_copy_bytes(d, p, (size_t)width * (size_t)height * 4);
        pxm_surface_unlock(src, 0);
        pxm_surface_unlock(dst, 0);
        return 1;
    }
    if (p)
        pxm_surface_unlock(src, 0);
    if (d)
        pxm_surface_unlock(dst, 0);
    return pxm_copy(dst, 0, 0, width - 1, height - 1, src, 0, 0, width - 1, height - 1, 0) ? 1 : 0;
}
