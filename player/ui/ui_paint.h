// Painting steps the skinned windows share.
#pragma once
#include <windows.h>

#include "pixmoor.h"

// Keeps a back buffer between w x h and (w + 32) x (h + 32), recreating it at
// the larger size otherwise. Returns 1 when it was made anew (repaint all),
// 0 when kept, -1 when there is none to paint into: the size is more than an
// engine surface holds, or creation failed.
int ui_back_buffer_fit(PxmSurface *s, int w, int h);
// Whether the engine can hold a w x h surface whole.
bool ui_surface_fits(int w, int h);
// The cursor's position in the window's client coordinates.
POINT ui_cursor_pos(HWND hwnd);
// Sets the engine clip to the paint rectangle (the client if empty) grown by a pixel.
void ui_clip_to_paint(const RECT *paint, const RECT *client);
// Copies the paint rectangle (the client if empty), grown by a pixel and kept
// inside the client, from the back buffer to the same place of dc.
void ui_present(HDC dc, const RECT *paint, const RECT *client, PxmSurface *bb);
