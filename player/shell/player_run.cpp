// Start-up, the message loop and the shutdown order.
#include "player.h"

#include <objbase.h>
#include <string.h>

#include "pixmoor.h"
#include "playlist.h"
#include "skin.h"
#include "sonmoor.h"

// A folder on the command line: the quoted text, or the whole line without
// its surrounding spaces. The media-path search leaves folders out.
static int command_line_folder(const char *command_line, char *out)
{
    out[0] = 0;
    if (!command_line) return 0;
    const char *from = command_line, *to = command_line + strlen(command_line);
    const char *first = strchr(command_line, '"'), *last = strrchr(command_line, '"');
    if (first && last && first < last) {
        from = first + 1;
        to = last;
    }
    while (from < to && *from == ' ') from++;
    while (to > from && to[-1] == ' ') to--;
    if (to - from >= PLAYER_PATH_CHARS || to == from) return 0;
    memcpy(out, from, (size_t)(to - from));
    out[to - from] = 0;
    DWORD attributes = GetFileAttributesA(out);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int player_open_command_line_path(const char *path)
{
    if (!path || !path[0]) return 0;
    DWORD attributes = GetFileAttributesA(path);
    int folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (folder || playlist_is_playlist_file(path)) {
        int32_t first = playlist_count;
        playlist_add(path);
        if (playlist_count <= first) return 0;
        playlist_current = first;
        snm_open(playlist_current_path());
    } else if (player_file_is_readable(path)) {
        // A single media file plays at once; it is not put into the playlist.
        snm_open(path);
    } else {
        return 0;
    }
    snm_play();
    player_update_caption();
    return 1;
}

int player_run(HINSTANCE instance, const char *command_line)
{
    char media_path[PLAYER_PATH_CHARS];
    player_instance = instance;
    media_path[0] = 0;
    player_parse_command_line(command_line, media_path);
    if (!media_path[0]) command_line_folder(command_line, media_path);
    // Explorer starts one player per file it opens: a player that already
    // runs takes the file into its playlist, and this one is not needed.
    if (media_path[0] && player_hand_over(command_line, media_path)) return 0;
    player_taskbar_created_message = RegisterWindowMessageA("TaskbarButtonCreated");
    pxm_startup(0);
    skin_load();

    player_create_windows();
    player_set_media_keys(main_window, 1);
    CoInitialize(nullptr);
    snm_set_owner(viewport_window);
    player_open_command_line_path(media_path);

    // The keys act wherever the focus is inside the player.
    HACCEL keys = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(PLAYER_ACCELERATORS_RESOURCE));
    MSG msg;
    // GetMessage gives -1 on failure; treating it as the end keeps a fault from spinning here.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (keys && TranslateAcceleratorA(main_window, keys, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    snm_stop();
    snm_close();
    CoUninitialize();
    // Last: nothing draws after this.
    pxm_shutdown(0);
    return 0;
}
