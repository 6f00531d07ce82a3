// press_button TITLE ID: presses button ID of the first top-level window whose
// caption is TITLE, as a click would (WM_COMMAND with BN_CLICKED). Exits with
// 0 when the window was found, else 1.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: press_button TITLE ID\n");
        return 1;
    }
    HWND w = FindWindowA(nullptr, argv[1]);
    if (!w) return 1;
    int id = atoi(argv[2]);
    PostMessageA(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(w, id));
    return 0;
}
