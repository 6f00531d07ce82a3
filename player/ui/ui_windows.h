// The skinned child windows and the about box, and the state they keep.
#pragma once
#include <windows.h>

#include "pixmoor.h"

#define WM_APP_MEDIA_EVENT (WM_APP + 0x62)            // one media event, kind in wParam
#define WM_APP_PLAYLIST_SHOW_CURRENT (WM_APP + 0x2B)  // scroll the current entry into view

#define UI_TIMER_ID 1

// Controls strip.
#define CONTROLS_DRAG_NONE 0
#define CONTROLS_DRAG_SEEK 1
#define CONTROLS_DRAG_VOLUME 2
extern PxmSurface controls_back_buffer;
extern int controls_drag;
LRESULT CALLBACK player_controls_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// "h:mm:ss" of a position truncated to whole seconds, into a 260-byte buffer.
void controls_format_time(double seconds, char *out);

// Playlist column.
#define PLAYLIST_DRAG_NONE 0
#define PLAYLIST_DRAG_SCROLL 1
#define PLAYLIST_DRAG_ROW 2
#define PLAYLIST_DRAG_SPLITTER 3
extern PxmSurface playlist_back_buffer;
extern PxmSurface playlist_list_surface;
extern int playlist_scroll_offset;
extern int playlist_max_scroll;
extern int playlist_drag;
LRESULT CALLBACK player_playlist_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Video viewport.
extern PxmSurface viewport_back_buffer;
LRESULT CALLBACK player_viewport_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// About box (dialog resource 116).
#define ABOUT_DIALOG_RESOURCE 116
extern PxmSurface about_panel;
extern PxmSurface about_back_buffer;
extern PxmSurface about_credits;
extern int32_t about_frame;
INT_PTR CALLBACK player_about_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
