// Font helpers shared by the player and the installer.
#include "ui_font.h"

#include <string.h>

HFONT ui_font_create(const char *face, int size, int bold, int italic, int underline, int strikeout, int points,
                     int cleartype)
{
    HWND desktop = GetDesktopWindow();
    HDC dc = GetWindowDC(desktop);
    if (points) size = MulDiv(size, GetDeviceCaps(dc, LOGPIXELSY), 72);
    HFONT font = CreateFontA(-size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? 1 : 0, underline ? 1 : 0,
                             strikeout ? 1 : 0, DEFAULT_CHARSET, 0, 0, cleartype ? CLEARTYPE_QUALITY : 0, 0, face);
    ReleaseDC(desktop, dc);
    return font;
}

static void ui_ascii_lower(char *s)
{
    for (; *s; s++)
        if (*s >= 'A' && *s <= 'Z') *s = (char)(*s - 'A' + 'a');
}

// Asks GDI which face it would really use for the name: a missing face falls
// back to another, whose name then does not contain the one asked for.
int ui_font_available(const char *face)
{
    char wanted[256];
    lstrcpynA(wanted, face ? face : "", sizeof wanted);
    char chosen[256] = "";
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (!dc) return 0;
    HFONT font = ui_font_create(wanted, 16, 0, 0, 0, 0, 0, 0);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextFaceA(dc, sizeof chosen, chosen);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    ui_ascii_lower(wanted);
    ui_ascii_lower(chosen);
    return strstr(chosen, wanted) != nullptr;
}

int ui_draw_text(HDC dc, const char *text, RECT *r, UINT format)
{
    WCHAR small[512];
    int n = text ? MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0) : 0;
    if (n <= 0) return 0;
    WCHAR *wide = n <= 512 ? small : (WCHAR *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)n * sizeof(WCHAR));
    if (!wide) return 0;
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, n);
    int height = DrawTextW(dc, wide, -1, r, format);
    if (wide != small) HeapFree(GetProcessHeap(), 0, wide);
    return height;
}
