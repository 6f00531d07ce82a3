#include "ui_window.h"

void ui_center_window(HWND window, HWND reference, UINT swp_flags)
{
    if (!IsWindow(window)) return;
    HWND desktop = GetDesktopWindow();
    if (!reference || !IsWindow(reference) || IsIconic(reference)) reference = desktop;
    RECT ref, desk, own;
    GetWindowRect(reference, &ref);
    GetWindowRect(desktop, &desk);
    POINT centre = {(ref.left + ref.right) / 2, (ref.top + ref.bottom) / 2};
    if (!PtInRect(&desk, centre)) centre = {(desk.left + desk.right) / 2, (desk.top + desk.bottom) / 2};
    GetWindowRect(window, &own);
    int w = own.right - own.left, h = own.bottom - own.top;
    SetWindowPos(window, nullptr, centre.x - (w + 1) / 2, centre.y - (h + 1) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | swp_flags);
}
