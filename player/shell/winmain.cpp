#include "player.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int)
{
    // The show command is not used: the main window always opens normal.
    return player_run(instance, command_line);
}
