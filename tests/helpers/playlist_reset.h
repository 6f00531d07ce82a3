// Puts the playlist back to its start-up state between tests, and reads it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "playlist.h"

inline void playlist_reset_for_test()
{
    if (playlist_entries) GlobalFree(playlist_entries);
    playlist_entries = nullptr;
    playlist_count = 0;
    playlist_current = 0;
}

// The paths of the entries in use, in order.
inline std::vector<std::string> playlist_paths()
{
    std::vector<std::string> v;
    for (int i = 0; i < playlist_count; i++) v.push_back(playlist_entries[i].path);
    return v;
}
