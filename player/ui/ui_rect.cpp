// Rectangle helpers of the skinned windows.
#include "ui_rect.h"

void rect_make(RECT *r, LONG x1, LONG y1, LONG x2, LONG y2)
{
    r->left = x1 < x2 ? x1 : x2;
    r->right = x1 < x2 ? x2 : x1;
    r->top = y1 < y2 ? y1 : y2;
    r->bottom = y1 < y2 ? y2 : y1;
}

void rect_grow(RECT *r, LONG dx, LONG dy)
{
    rect_make(r, r->left, r->top, r->right, r->bottom);
    r->left -= dx;
    r->top -= dy;
    r->right += dx;
    r->bottom += dy;
}

int rect_intersect(RECT *out, const RECT *a, const RECT *b)
{
    RECT p, q;
    rect_make(&p, a->left, a->top, a->right, a->bottom);
    rect_make(&q, b->left, b->top, b->right, b->bottom);
    RECT r;
    r.left = p.left > q.left ? p.left : q.left;
    r.top = p.top > q.top ? p.top : q.top;
    r.right = p.right < q.right ? p.right : q.right;
    r.bottom = p.bottom < q.bottom ? p.bottom : q.bottom;
    if (r.right < r.left || r.bottom < r.top) {
        out->left = out->top = out->right = out->bottom = -1;
        return 0;
    }
    *out = r;
    return 1;
}

void rect_shift(RECT *r, LONG dx, LONG dy)
{
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
}
