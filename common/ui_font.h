// Font helpers shared by the player and the installer.
#pragma once
#include <windows.h>

// A GDI font of the given face. size is the character height in pixels, or in
// points when points is non-zero; cleartype selects ClearType quality.
HFONT ui_font_create(const char *face, int size, int bold, int italic, int underline, int strikeout, int points,
                     int cleartype);
// Whether the system picks a face containing this name (case-insensitive).
int ui_font_available(const char *face);
