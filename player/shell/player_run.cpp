// Start-up, the message loop and the shutdown order.
#include "player.h"

#include <objbase.h>

#include "pixmoor.h"
#include "skin.h"
#include "sonmoor.h"

int player_run(HINSTANCE instance, const char *command_line)
{
    char media_path[PLAYER_PATH_CHARS];
    player_instance = instance;
    media_path[0] = 0;
    pxm_startup(0);
    skin_load();

    player_create_windows();
    player_parse_command_line(command_line, media_path);
    CoInitialize(nullptr);
    snm_set_owner(viewport_window);
    // The file on the command line plays at once; it is not put into the playlist.
    if (player_file_is_readable(media_path)) {
        snm_open(media_path);
        snm_play();
    }

    MSG msg;
    // GetMessage gives -1 on failure; treating it as the end keeps a fault from spinning here.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
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
