// The player's real windows in this process, with the skin loaded once, for
// the skinned-window suites: a fixture, a mouse driver and pixel reads.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "pixmoor.h"
#include "player.h"
#include "playlist_reset.h"
#include "skin.h"
#include "sonmoor.h"
#include "test_util.h"

// Starts the engine and loads the skin from this program's resources, once.
inline void ui_skin_ready()
{
    static bool loaded = false;
    player_instance = GetModuleHandleA(nullptr);
    if (loaded) return;
    pxm_startup(0);
    skin_load();
    loaded = true;
}

class PlayerWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CoInitialize(nullptr);
        ui_skin_ready();
    }
    static void TearDownTestSuite() { CoUninitialize(); }
    void SetUp() override
    {
        playlist_reset_for_test();
        playlist_width = 200;
        player_create_windows();
        snm_set_owner(viewport_window);
        snm_set_mute(0);
        snm_set_volume(1.0);
    }
    void TearDown() override
    {
        snm_stop();
        snm_close();
        snm_set_owner(nullptr);
        DestroyWindow(main_window);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
        playlist_reset_for_test();
    }
};

// The path of the media the engine has open; empty when none.
inline std::string ui_open_media()
{
    char path[SNM_PATH_CHARS];
    snm_current_path(path);
    return path;
}

// Sends a mouse message at client point (x, y); coordinates are packed as
// signed 16-bit values, as the system does.
inline LRESULT ui_mouse(HWND w, UINT msg, int x, int y, WPARAM keys = 0)
{
    return SendMessageA(w, msg, keys, MAKELPARAM((WORD)(short)x, (WORD)(short)y));
}

// Paints the whole window now.
inline void ui_repaint(HWND w)
{
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
}

// One pixel of a surface (transparency byte included); 0xDEADBEEF outside it.
inline uint32_t ui_pixel(PxmSurface *s, int x, int y)
{
    if (x < 0 || y < 0 || x >= s->width || y >= s->height) return 0xDEADBEEF;
    uint32_t *p = pxm_surface_lock(s, 0);
    uint32_t v = p ? p[(size_t)y * s->stride + x] : 0xDEADBEEF;
    pxm_surface_unlock(s, 0);
    return v;
}

// Resizes a child window to an exact client size without moving it.
inline void ui_set_size(HWND w, int width, int height)
{
    SetWindowPos(w, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
