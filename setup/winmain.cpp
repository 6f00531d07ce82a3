// Setup.exe's entry point.
#include "setup_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return setup_main(instance, GetCommandLineA());
}
