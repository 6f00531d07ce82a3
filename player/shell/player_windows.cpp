// The player's window classes and its four windows.
#include "player.h"

#include "ui_windows.h"

HINSTANCE player_instance = nullptr;
HWND main_window = nullptr;
HWND viewport_window = nullptr;
HWND playlist_window = nullptr;
HWND controls_window = nullptr;

static void player_register_class(const char *name, WNDPROC proc, HICON icon, HCURSOR cursor, HBRUSH background,
                                  LPCSTR menu)
{
    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC | CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = player_instance;
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszMenuName = menu;
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

static HWND player_create_child(const char *cls, DWORD ex_style)
{
    return CreateWindowExA(ex_style, cls, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, -10, -10, 10, 10, main_window,
                           nullptr, player_instance, nullptr);
}

int player_create_windows(void)
{
    HICON icon = LoadIconA(player_instance, MAKEINTRESOURCEA(PLAYER_ICON_RESOURCE));
    player_register_class("player_main", player_main_proc, icon, LoadCursorA(nullptr, (LPCSTR)IDC_ARROW),
                          GetSysColorBrush(COLOR_BTNFACE), MAKEINTRESOURCEA(PLAYER_MENU_RESOURCE));
    player_register_class("player_viewport", player_viewport_proc, nullptr, nullptr, nullptr, nullptr);
    player_register_class("player_playlist", player_playlist_proc, nullptr, nullptr, nullptr, nullptr);
    player_register_class("player_controls", player_controls_proc, nullptr, nullptr, nullptr, nullptr);

    main_window = CreateWindowExA(WS_EX_ACCEPTFILES, "player_main", "Quorva Media Player",
                                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 600, 500, nullptr, nullptr,
                                  player_instance, nullptr);
    viewport_window = player_create_child("player_viewport", WS_EX_CLIENTEDGE);
    playlist_window = player_create_child("player_playlist", 0);
    controls_window = player_create_child("player_controls", 0);

    ShowWindow(main_window, SW_SHOWNORMAL);
    UpdateWindow(main_window);
    return 1;
}
