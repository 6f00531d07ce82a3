// Font helpers shared by the player and the installer.
#pragma once
#include <windows.h>

// A GDI font of the given face. size is the character height in pixels, or in
// points when points is non-zero; cleartype selects ClearType quality.
HFONT ui_font_create(const char *face, int size, int bold, int italic, int underline, int strikeout, int points,
                     int cleartype);
// Whether the system picks a face containing this name (case-insensitive).
int ui_font_available(const char *face);

// DrawText for text in the program's ANSI code page, drawn as UTF-16: GDI's
// own ANSI calls read the bytes in the code page of the font's character
// set, which is not UTF-8 even where the program's code page is.
int ui_draw_text(HDC dc, const char *text, RECT *r, UINT format);
