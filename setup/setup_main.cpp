// The installer's entry: one instance at a time, then the mode its command
// line and its location choose.
#include <string.h>

#include "setup.h"
#include "setup_app.h"

const char SETUP_SUB_FOLDER[] = "Ostrel's Lab\\Quorva Media";
const char SETUP_KEY[] = "QuorvaMedia.Path";

HINSTANCE setup_instance;
char setup_module_path[MAX_PATH];
char setup_module_folder[MAX_PATH];
char setup_install_folder[MAX_PATH];

// Whether Setup runs from an installation: Player.exe beside it, and not a
// developer's build folder.
static int runs_from_installation(void)
{
    char player[MAX_PATH];
    strcpy(player, setup_module_folder);
    return path_append(player, "Player.exe") && file_exists(player) && !strstr(setup_module_path, "\\Bin\\");
}

int setup_main(HINSTANCE instance, const char *command_line)
{
    setup_instance = instance;
    if (!command_line) command_line = "";
    // Only a second instance that starts while this one holds the mutex is
    // turned away; the copies Setup starts itself later must run.
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "qm_mutex_setup.exe");
    DWORD err = GetLastError();
    if (mutex) CloseHandle(mutex);
    if (err == ERROR_ALREADY_EXISTS) return 0;

    if (!module_paths(setup_module_path, setup_module_folder)) return 0;
    strcpy(setup_install_folder, setup_module_folder);

    if (strstr(command_line, "/erase_me")) return self_erase(command_line);
    if (strstr(command_line, "/remove_for_upgrade")) return removal_for_upgrade();

    if (!load_background_picture()) return 0;
    if (!create_glass_window()) {
        free_background_picture();
        return 0;
    }
    pump_messages(1);
    int code = 0;
    if (strstr(command_line, "/repair_or_remove") || runs_from_installation())
        code = removal_run();
    else
        code = install_run();
    free_background_picture();
    return code;
}
