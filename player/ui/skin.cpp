// The skin: bitmap resources turned into engine surfaces, three fonts and the
// hand cursor, loaded once before any window exists.
#include "skin.h"

#include "player.h"
#include "ui_font.h"

PlayerSkin player_skin;

static HBITMAP skin_load_bitmap(int id)
{
    return (HBITMAP)LoadImageA(player_instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE);
}

static void skin_load_image(PxmSurface *s, int id)
{
    HBITMAP bitmap = skin_load_bitmap(id);
    pxm_surface_from_bitmap(s, bitmap);
    if (bitmap) DeleteObject(bitmap);
}

// Bitmaps with an alpha channel store opacity; the engine's top byte is
// transparency, so every pixel's top byte is inverted.
static void skin_load_alpha_image(PxmSurface *s, int id)
{
    skin_load_image(s, id);
    if (!pxm_surface_lock(s, 0)) return;
    pxm_fill_rect_op(s, 0, 0, s->width, s->height, 0xFF000000u, PXM_ROP_XOR, 0);
    pxm_surface_unlock(s, 0);
}

int skin_load(void)
{
    skin_load_image(&player_skin.controls_panel, SKIN_CONTROLS_PANEL);
    skin_load_image(&player_skin.playlist_edge, SKIN_PLAYLIST_EDGE);
    skin_load_image(&player_skin.splash, SKIN_SPLASH);
    skin_load_image(&player_skin.disc, SKIN_DISC);

    // Stored 32 times wider than drawn: scaling it back down places the seek
    // thumb in steps of 1/32 pixel.
    skin_load_alpha_image(&player_skin.ball, SKIN_BALL);
    pxm_surface_resize(&player_skin.ball, SKIN_BALL_WIDTH, 16, 0);

    skin_load_alpha_image(&player_skin.knob_dot, SKIN_KNOB_DOT);
    skin_load_alpha_image(&player_skin.mute_icon, SKIN_MUTE_ICON);
    skin_load_alpha_image(&player_skin.button_faces, SKIN_BUTTON_FACES);
    skin_load_alpha_image(&player_skin.button_icons, SKIN_BUTTON_ICONS);

    int calibri = ui_font_available("Calibri");
    const char *face = calibri ? "Calibri" : "Arial";
    int list_size = calibri ? 14 : 12, time_size = calibri ? 21 : 18;
    player_skin.list_font = ui_font_create(face, list_size, 0, 0, 0, 0, 0, 1);
    player_skin.list_current_font = ui_font_create(face, list_size, 0, 0, 0, 0, 0, 1);
    player_skin.time_font = ui_font_create(face, time_size, 1, 0, 0, 0, 0, 1);

    player_skin.hand_cursor = LoadCursorA(player_instance, MAKEINTRESOURCEA(SKIN_HAND_CURSOR));
    GdiFlush();
    return 1;
}

void skin_set_cursor(HCURSOR cursor)
{
    if (GetCursor() != cursor) SetCursor(cursor);
}
