// Window placement shared by the player and the installer.
#pragma once
#include <windows.h>

// Centres window over reference (the desktop when reference is missing, gone
// or minimised; the desktop's centre when reference's centre is off screen).
// swp_flags are added to SWP_NOSIZE | SWP_NOZORDER.
void ui_center_window(HWND window, HWND reference, UINT swp_flags);
