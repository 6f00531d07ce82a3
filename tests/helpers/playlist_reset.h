// Puts the playlist back to its start-up state between tests.
#pragma once
#include <windows.h>

#include "playlist.h"

inline void playlist_reset_for_test()
{
    if (playlist_entries) GlobalFree(playlist_entries);
    playlist_entries = nullptr;
    playlist_count = 0;
    playlist_current = 0;
}
