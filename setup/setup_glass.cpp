// The full-screen glass window: the background picture, decoded once from the
// program's JPEG resource, letter-boxed across the whole screen.
#include <olectl.h>
#include <string.h>

#include "setup.h"
#include "setup_app.h"
#include "ui_window.h"

HWND glass_window;

// Set when the glass window goes other than through close_glass_window: the
// user closed Setup, and nothing more may happen.
static int glass_closing, glass_cancelled;

int setup_cancelled(void) { return glass_cancelled; }

static struct {
    HBITMAP bitmap;
    HBITMAP old_bitmap;
    HDC dc;
    int width, height;
    double aspect;
} background;

// The JPEG resource in a movable block that a stream can own.
static HGLOBAL background_bytes(void)
{
    HRSRC res = FindResourceA(setup_instance, MAKEINTRESOURCEA(SETUP_RES_BACKGROUND), "JPEG");
    HGLOBAL loaded = res ? LoadResource(setup_instance, res) : nullptr;
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = res ? SizeofResource(setup_instance, res) : 0;
    if (!bytes || !size) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    void *dst = block ? GlobalLock(block) : nullptr;
    if (!dst) {
        if (block) GlobalFree(block);
        return nullptr;
    }
    memcpy(dst, bytes, size);
    GlobalUnlock(block);
    return block;
}

// Decodes the block into a bitmap of our own; the stream frees the block.
static HBITMAP decode_picture(HGLOBAL block)
{
    HBITMAP copy = nullptr;
    CoInitialize(nullptr);
    IStream *stream = nullptr;
    if (CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) {
        GlobalFree(block);
    } else {
        IPicture *picture = nullptr;
        if (OleLoadPicture(stream, 0, TRUE, IID_IPicture, (void **)&picture) == S_OK) {
            OLE_HANDLE handle = 0;
            if (picture->get_Handle(&handle) == S_OK && GetObjectType((HGDIOBJ)(UINT_PTR)handle) == OBJ_BITMAP)
                copy = (HBITMAP)CopyImage((HANDLE)(UINT_PTR)handle, IMAGE_BITMAP, 0, 0, 0);
            picture->Release();
        }
        stream->Release();
    }
    CoUninitialize();
    return copy;
}

int load_background_picture(void)
{
    free_background_picture();
    HGLOBAL block = background_bytes();
    HBITMAP bitmap = block ? decode_picture(block) : nullptr;
    BITMAP info;
    if (!bitmap) return 0;
    if (!GetObjectA(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0 ||
        !(background.dc = CreateCompatibleDC(nullptr))) {
        DeleteObject(bitmap);
        return 0;
    }
    background.bitmap = bitmap;
    background.old_bitmap = (HBITMAP)SelectObject(background.dc, bitmap);
    background.width = info.bmWidth;
    background.height = info.bmHeight;
    background.aspect = (double)info.bmWidth / info.bmHeight;
    return 1;
}

void free_background_picture(void)
{
    if (background.dc) {
        SelectObject(background.dc, background.old_bitmap);
        DeleteDC(background.dc);
    }
    if (background.bitmap) DeleteObject(background.bitmap);
    memset(&background, 0, sizeof background);
}

void glass_paint(HDC dc, int cw, int ch)
{
    if (!background.dc) return;
    // The width over the aspect ratio, computed from the integer sizes so that
    // a picture of the screen's own shape fills it exactly.
    int dh = (int)((double)cw * background.height / background.width);
    int y = (ch - dh + 1) / 2;
    int old_mode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    HBRUSH black = (HBRUSH)GetStockObject(BLACK_BRUSH);
    RECT top = {0, y < 0 ? y : 0, cw, y < 0 ? 0 : y};
    RECT bottom = {0, y + dh < ch ? y + dh : ch, cw, y + dh < ch ? ch : y + dh};
    FillRect(dc, &top, black);
    FillRect(dc, &bottom, black);
    StretchBlt(dc, 0, y, cw, dh, background.dc, 0, 0, background.width, background.height, SRCCOPY);
    SetStretchBltMode(dc, old_mode);
}

static LRESULT glass_on_paint(HWND w)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    RECT rc;
    GetClientRect(w, &rc);
    glass_paint(dc, rc.right, rc.bottom);
    EndPaint(w, &ps);
    return 0;
}

static LRESULT CALLBACK glass_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT: return glass_on_paint(w);
    case WM_ERASEBKGND: return 1;
    case WM_SIZE: InvalidateRect(w, nullptr, TRUE); return 0;
    case WM_CLOSE: DestroyWindow(w); return 0;
    case WM_DESTROY:
        if (w == glass_window) glass_window = nullptr;
        if (!glass_closing) glass_cancelled = 1;
        PostQuitMessage(0);
        return 0;
    // Asks Windows not to end the session while Setup runs.
    case WM_CREATE:
    case WM_QUERYENDSESSION: return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

int create_glass_window(void)
{
    WNDCLASSA wc = {};
    wc.style = CS_PARENTDC;
    wc.lpfnWndProc = glass_proc;
    wc.hInstance = setup_instance;
    wc.hIcon = LoadIconA(setup_instance, MAKEINTRESOURCEA(SETUP_RES_ICON));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "VantleGlass_SetupBox";
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 0;
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    glass_window = CreateWindowExA(0, "VantleGlass_SetupBox", "Quorva Media 2.00 BETA Setup",
                                   WS_POPUP | WS_VISIBLE | WS_MAXIMIZE | WS_DLGFRAME, 0, 0,
                                   desk.right - desk.left + 1, desk.bottom - desk.top + 1, nullptr, nullptr,
                                   setup_instance, nullptr);
    if (!glass_window) return 0;
    ShowWindow(glass_window, SW_SHOWMAXIMIZED);
    UpdateWindow(glass_window);
    return 1;
}

void close_glass_window(void)
{
    glass_closing = 1;
    if (glass_window) DestroyWindow(glass_window);
    glass_closing = 0;
    HWND desktop = GetDesktopWindow();
    InvalidateRect(desktop, nullptr, TRUE);
    UpdateWindow(desktop);
    pump_messages(1);
}

void center_window(HWND window, HWND reference) { ui_center_window(window, reference, SWP_NOACTIVATE); }
