// Rectangle helpers of the skinned windows: left, top, right, bottom.
#pragma once
#include <windows.h>

void rect_make(RECT *r, LONG x1, LONG y1, LONG x2, LONG y2);
void rect_grow(RECT *r, LONG dx, LONG dy);
// 1 when a and b overlap (touching edges count); otherwise all four fields -1 and 0.
int rect_intersect(RECT *out, const RECT *a, const RECT *b);
void rect_shift(RECT *r, LONG dx, LONG dy);
