// The player's skin: images loaded once into engine surfaces, three fonts and
// the hand cursor. Read by the skinned windows; never changed after loading.
#pragma once
#include <windows.h>

#include "pixmoor.h"

// Bitmap resources of the skin.
#define SKIN_CONTROLS_PANEL 103
#define SKIN_BALL 105
#define SKIN_KNOB_DOT 107
#define SKIN_MUTE_ICON 110
#define SKIN_PLAYLIST_EDGE 111
#define SKIN_BUTTON_FACES 112
#define SKIN_BUTTON_ICONS 113
#define SKIN_SPLASH 114
#define SKIN_DISC 115
#define SKIN_HAND_CURSOR 104

#define SKIN_BALL_WIDTH 512  // the 16-pixel ball stored 32 times wider

struct PlayerSkin {
    PxmSurface controls_panel;  // 480 x 90
    PxmSurface playlist_edge;   // 8 x 50
    PxmSurface splash;          // 320 x 240
    PxmSurface disc;            // 100 x 100
    PxmSurface ball;            // 512 x 16
    PxmSurface knob_dot;        // 12 x 12
    PxmSurface mute_icon;       // 22 x 36: sound on, muted
    PxmSurface button_faces;    // 32 x 96: normal, hover, pressed
    PxmSurface button_icons;    // 32 x 192: play, pause, stop, previous, next, repeat
    HFONT list_font;
    HFONT list_current_font;
    HFONT time_font;
    HCURSOR hand_cursor;
};

extern PlayerSkin player_skin;

// Loads everything from the program's resources (player_instance). Missing
// images leave empty surfaces; always returns 1.
int skin_load(void);
// Shows cursor unless it is already the current one.
void skin_set_cursor(HCURSOR cursor);
