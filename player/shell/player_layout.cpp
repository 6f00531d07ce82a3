// Where the player's windows go: the children of the main window, its minimum
// size, centring, and exact client sizes.
#include "player.h"
#include "ui_window.h"

int32_t playlist_width = 200;

// Read from the window itself, not from WM_SIZE's parameters, so that a size
// message sent with zero parameters lays the children out correctly too.
void player_layout_children(HWND main)
{
    RECT rc;
    GetClientRect(main, &rc);
    int w = rc.right - rc.left, h = rc.bottom - rc.top, c = playlist_width;
    const UINT flags = SWP_NOOWNERZORDER | SWP_SHOWWINDOW;
    SetWindowPos(viewport_window, HWND_TOP, 0, 0, w - c, h - PLAYER_CONTROLS_HEIGHT, flags);
    SetWindowPos(playlist_window, HWND_TOP, w - c, 0, c, h - PLAYER_CONTROLS_HEIGHT, flags);
    SetWindowPos(controls_window, HWND_TOP, 0, h - PLAYER_CONTROLS_HEIGHT, w, PLAYER_CONTROLS_HEIGHT, flags);
}

// The right and bottom edges move, whichever edge is dragged.
void player_enforce_min_size(RECT *r)
{
    if (r->right - r->left < PLAYER_MIN_WIDTH) r->right = r->left + PLAYER_MIN_WIDTH;
    if (r->bottom - r->top < PLAYER_MIN_HEIGHT) r->bottom = r->top + PLAYER_MIN_HEIGHT;
}

void player_center_window(HWND window, HWND reference) { ui_center_window(window, reference, 0); }

// Resizes with a frame allowance, then corrects once by what the client area
// still misses.
int player_set_client_size(HWND window, int width, int height)
{
    RECT client, outer;
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    int fw = (outer.right - outer.left) - (client.right - client.left) + 1;
    if (fw > 12) fw = 4;
    int fh = (outer.bottom - outer.top) - (client.bottom - client.top) + 1;
    if (fh > 32) fh = 20;
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER;
    SetWindowPos(window, nullptr, 0, 0, width + fw, height + fh, flags);
    GetClientRect(window, &client);
    int cw = client.right - client.left, ch = client.bottom - client.top;
    if (cw != width || ch != height)
        SetWindowPos(window, nullptr, 0, 0, width + fw + (width - cw), height + fh + (height - ch), flags);
    return 1;
}
