// The player at home on Windows: the keyboard's media keys (inside the player
// as WM_APPCOMMAND, anywhere through hot keys), the taskbar button's
// thumbnail toolbar and progress, and the paths a second instance hands over.
// Where an interface is missing (older Windows, Wine) nothing fails and
// nothing is shown.
#include "player.h"

#include <shobjidl.h>
#include <string.h>

#include "playlist.h"
#include "skin.h"
#include "sonmoor.h"

// ---- Media keys --------------------------------------------------------------

int player_command_for_appcommand(int appcommand)
{
    switch (appcommand) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE: return PLAYER_CMD_PLAY;
    case APPCOMMAND_MEDIA_PLAY: return snm_is_playing() ? -1 : PLAYER_CMD_PLAY;
    case APPCOMMAND_MEDIA_PAUSE: return snm_is_playing() ? PLAYER_CMD_PLAY : -1;
    case APPCOMMAND_MEDIA_STOP: return PLAYER_CMD_STOP;
    case APPCOMMAND_MEDIA_NEXTTRACK: return PLAYER_CMD_NEXT_TRACK;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK: return PLAYER_CMD_PREV_TRACK;
    case APPCOMMAND_VOLUME_UP: return PLAYER_CMD_VOLUME_UP;
    case APPCOMMAND_VOLUME_DOWN: return PLAYER_CMD_VOLUME_DOWN;
    case APPCOMMAND_VOLUME_MUTE: return PLAYER_CMD_MUTE;
    }
    return 0;
}

// The hardware keys held as hot keys, by hot-key id (1 to 4).
static const struct {
    UINT key;
    int command;
} player_hotkeys[] = {{VK_MEDIA_PLAY_PAUSE, PLAYER_CMD_PLAY},
                      {VK_MEDIA_STOP, PLAYER_CMD_STOP},
                      {VK_MEDIA_NEXT_TRACK, PLAYER_CMD_NEXT_TRACK},
                      {VK_MEDIA_PREV_TRACK, PLAYER_CMD_PREV_TRACK}};
static const int PLAYER_HOTKEY_COUNT = sizeof player_hotkeys / sizeof player_hotkeys[0];
static unsigned player_hotkeys_held;  // bit i: hot key i + 1 is ours

int player_media_keys_anywhere;

// A key another program holds already is simply not ours: RegisterHotKey
// fails for it and the player leaves it alone.
int player_set_media_keys(HWND main, int on)
{
    for (int i = 0; i < PLAYER_HOTKEY_COUNT; i++) {
        unsigned bit = 1u << i;
        if (on && !(player_hotkeys_held & bit) && RegisterHotKey(main, i + 1, 0, player_hotkeys[i].key))
            player_hotkeys_held |= bit;
        if (!on && (player_hotkeys_held & bit)) {
            UnregisterHotKey(main, i + 1);
            player_hotkeys_held &= ~bit;
        }
    }
    player_media_keys_anywhere = on;
    CheckMenuItem(GetMenu(main), PLAYER_CMD_MEDIA_KEYS, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    int held = 0;
    for (int i = 0; i < PLAYER_HOTKEY_COUNT; i++) held += (player_hotkeys_held >> i) & 1;
    return held;
}

int player_command_for_hotkey(int id)
{
    if (id < 1 || id > PLAYER_HOTKEY_COUNT || !(player_hotkeys_held & (1u << (id - 1)))) return 0;
    return player_hotkeys[id - 1].command;
}

// ---- Taskbar -------------------------------------------------------------------

UINT player_taskbar_created_message;
static ITaskbarList3 *player_taskbar;
static HICON player_thumb_icons[4];  // previous, play, pause, next
static int player_thumb_playing = -1;
static int player_taskbar_state = -1;
static ULONGLONG player_taskbar_value = ~0ull;

// Stopping rewinds to the start, so a file that does not play and stands
// past it is paused.
int player_taskbar_progress(double position, double duration, int playing, int open, ULONGLONG *value)
{
    *value = 0;
    if (!open || !(duration > 0) || (!playing && !(position > 0))) return TBPF_NOPROGRESS;
    double f = position / duration;
    f = f < 0 ? 0 : f > 1 ? 1 : f;
    *value = (ULONGLONG)(f * PLAYER_TASKBAR_STEPS + 0.5);
    return playing ? TBPF_NORMAL : TBPF_PAUSED;
}

// A button's icon at the system's small-icon size: the skin's normal button
// face with its icon over it, scaled by the engine, its transparency turned
// into the icon's alpha.
static HICON player_thumb_icon(int icon_row)
{
    int size = GetSystemMetrics(SM_CXSMICON);
    if (size < 8 || size > 256) size = 16;
    PxmSurface s = {};
    if (!pxm_surface_create(&s, size, size, 0)) return nullptr;
    pxm_fill_rect(&s, 0, 0, size - 1, size - 1, 0xFF000000u, 0);
    pxm_stretch_blit(&s, 0, 0, size - 1, size - 1, &player_skin.button_faces, 0, 0, 31, 31, PXM_BLEND_OVER);
    pxm_stretch_blit(&s, 0, 0, size - 1, size - 1, &player_skin.button_icons, 0, icon_row, 31, icon_row + 31,
                     PXM_BLEND_OVER);
    BITMAPV5HEADER h = {};
    h.bV5Size = sizeof h;
    h.bV5Width = size, h.bV5Height = -size, h.bV5Planes = 1, h.bV5BitCount = 32, h.bV5Compression = BI_BITFIELDS;
    h.bV5RedMask = 0x00FF0000, h.bV5GreenMask = 0x0000FF00, h.bV5BlueMask = 0x000000FF, h.bV5AlphaMask = 0xFF000000;
    void *bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, (BITMAPINFO *)&h, DIB_RGB_COLORS, &bits, nullptr, 0);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    HICON icon = nullptr;
    uint32_t *pixels = pxm_surface_lock(&s, 0);
    if (colour && mask && bits && pixels) {
        uint32_t *out = (uint32_t *)bits;
        for (int y = 0; y < size; y++)
            for (int x = 0; x < size; x++) {
                uint32_t p = pixels[y * s.stride + x];
                out[y * size + x] = (p & 0x00FFFFFF) | (0xFFu - (p >> 24)) << 24;  // transparency to alpha
            }
        ICONINFO info = {TRUE, 0, 0, mask, colour};
        icon = CreateIconIndirect(&info);
    }
    if (pixels) pxm_surface_unlock(&s, 0);
    if (colour) DeleteObject(colour);
    if (mask) DeleteObject(mask);
    pxm_surface_free(&s, 0);
    return icon;
}

static void player_thumb_button(THUMBBUTTON *b, int command, HICON icon, const wchar_t *tip)
{
    memset(b, 0, sizeof *b);
    b->dwMask = (THUMBBUTTONMASK)(THB_ICON | THB_TOOLTIP | THB_FLAGS);
    b->iId = (UINT)command;
    b->hIcon = icon;
    lstrcpynW(b->szTip, tip, sizeof b->szTip / sizeof b->szTip[0]);
    b->dwFlags = THBF_ENABLED;
}

// Called when Explorer has made (or made again) the taskbar button.
void player_taskbar_create(HWND main)
{
    if (!player_taskbar &&
        (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                 (void **)&player_taskbar)) ||
         FAILED(player_taskbar->HrInit()))) {
        if (player_taskbar) player_taskbar->Release();
        player_taskbar = nullptr;
        return;
    }
    static const int rows[4] = {96, 0, 32, 128};  // the skin's previous, play, pause and next icons
    for (int i = 0; i < 4; i++)
        if (!player_thumb_icons[i]) player_thumb_icons[i] = player_thumb_icon(rows[i]);
    THUMBBUTTON buttons[3];
    player_thumb_playing = snm_is_playing() != 0;
    player_thumb_button(&buttons[0], PLAYER_CMD_PREV_TRACK, player_thumb_icons[0], L"Prev Track");
    player_thumb_button(&buttons[1], PLAYER_CMD_PLAY, player_thumb_icons[player_thumb_playing ? 2 : 1],
                        player_thumb_playing ? L"Pause" : L"Play");
    player_thumb_button(&buttons[2], PLAYER_CMD_NEXT_TRACK, player_thumb_icons[3], L"Next Track");
    player_taskbar->ThumbBarAddButtons(main, 3, buttons);
    player_taskbar_state = -1;
    player_taskbar_value = ~0ull;
}

// From the controls' 100 ms timer: the progress and the play/pause button,
// each sent to Explorer only when it changed.
void player_taskbar_update(void)
{
    if (!player_taskbar || !main_window) return;
    ULONGLONG value;
    int state = player_taskbar_progress(snm_get_position(), snm_get_duration(), snm_is_playing(), snm_is_open(), &value);
    if (state != player_taskbar_state) player_taskbar->SetProgressState(main_window, (TBPFLAG)state);
    if (state != TBPF_NOPROGRESS && (value != player_taskbar_value || state != player_taskbar_state))
        player_taskbar->SetProgressValue(main_window, value, PLAYER_TASKBAR_STEPS);
    player_taskbar_state = state;
    player_taskbar_value = value;
    int playing = snm_is_playing() != 0;
    if (playing != player_thumb_playing) {
        THUMBBUTTON b;
        player_thumb_button(&b, PLAYER_CMD_PLAY, player_thumb_icons[playing ? 2 : 1], playing ? L"Pause" : L"Play");
        player_taskbar->ThumbBarUpdateButtons(main_window, 1, &b);
        player_thumb_playing = playing;
    }
}

void player_taskbar_release(void)
{
    if (player_taskbar) player_taskbar->Release();
    player_taskbar = nullptr;
    for (HICON &icon : player_thumb_icons) {
        if (icon) DestroyIcon(icon);
        icon = nullptr;
    }
}

// ---- One player window for many files -------------------------------------

// The paths of a hand-over: zero-terminated, one after another, at most
// PLAYER_HANDOVER_PATHS of at most 259 bytes; the block ends with a zero.
// 0 (nothing taken) for anything else.
int player_take_handover(const void *data, DWORD size, char paths[][PLAYER_PATH_CHARS])
{
    const char *p = (const char *)data, *end = p + size;
    if (!data || size == 0 || size > PLAYER_HANDOVER_PATHS * PLAYER_PATH_CHARS || end[-1] != 0) return 0;
    int n = 0;
    while (p < end) {
        size_t len = strnlen(p, (size_t)(end - p));
        if (len == 0 || len >= PLAYER_PATH_CHARS || n == PLAYER_HANDOVER_PATHS) return 0;
        memcpy(paths[n++], p, len + 1);
        p += len + 1;
    }
    return n;
}

// The running player takes the files: into the playlist (with the file it
// plays from its own command line first, so the batch is whole). The index
// of the first one added, or -1 when the message is refused or adds nothing.
int player_on_copydata(const COPYDATASTRUCT *cd)
{
    static char paths[PLAYER_HANDOVER_PATHS][PLAYER_PATH_CHARS];
    int n = cd && cd->dwData == PLAYER_HANDOVER_TAG ? player_take_handover(cd->lpData, cd->cbData, paths) : 0;
    if (!n) return -1;
    char playing[SNM_PATH_CHARS];
    if (playlist_count == 0 && snm_is_open() && snm_current_path(playing)) playlist_add(playing);
    int32_t first = playlist_count;
    for (int i = 0; i < n; i++) playlist_add(paths[i]);
    return playlist_count > first ? first : -1;
}

// Every quoted readable path of the command line (Explorer may name several),
// or the one path the command line was found to name.
int player_hand_over(const char *command_line, const char *path)
{
    HWND running = FindWindowA("player_main", nullptr);
    if (!running) return 0;
    char block[PLAYER_HANDOVER_PATHS * PLAYER_PATH_CHARS];
    size_t used = 0;
    int n = 0;
    for (const char *p = command_line ? strchr(command_line, '"') : nullptr; p && n < PLAYER_HANDOVER_PATHS;) {
        const char *close = strchr(p + 1, '"');
        if (!close) break;
        size_t len = (size_t)(close - p - 1);
        if (len > 0 && len < PLAYER_PATH_CHARS) {
            memcpy(block + used, p + 1, len);
            block[used + len] = 0;
            if (player_file_is_readable(block + used)) used += len + 1, n++;
        }
        p = strchr(close + 1, '"');
    }
    size_t len = path ? strlen(path) : 0;
    if (n == 0 && len > 0 && len < PLAYER_PATH_CHARS) {
        memcpy(block, path, len + 1);
        used = len + 1;
    }
    if (!used) return 0;
    COPYDATASTRUCT cd = {PLAYER_HANDOVER_TAG, (DWORD)used, block};
    DWORD_PTR taken = 0;
    if (!SendMessageTimeoutA(running, WM_COPYDATA, 0, (LPARAM)&cd, SMTO_ABORTIFHUNG, 5000, &taken)) return 0;
    if (taken) AllowSetForegroundWindow(ASFW_ANY);
    return taken != 0;
}
