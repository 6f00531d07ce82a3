// Finding the media path on the command line.
#include "player.h"

#include <string.h>

static int is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
static int is_token_end(char c) { return c == 0 || c == ' ' || c == '"'; }

// Start of a path: a drive letter, "//X" with an upper-case letter, or a UNC "\\x".
static int path_start(const char *s, int n)
{
    for (int p = 0; p <= n - 4; p++) {
        if (is_ascii_letter(s[p]) && s[p + 1] == ':') return p;
        if (s[p] == '/' && s[p + 1] == '/' && s[p + 2] >= 'A' && s[p + 2] <= 'Z') return p;
        if (s[p] == '\\' && s[p + 1] == '\\' &&
            (is_ascii_letter(s[p + 2]) || (s[p + 2] >= '0' && s[p + 2] <= '9')))
            return p;
    }
    return -1;
}

int player_parse_command_line(const char *command_line, char *path_out)
{
    path_out[0] = 0;
    if (!command_line || !command_line[0]) return 0;
    int n = lstrlenA(command_line);
    if (n > PLAYER_PATH_CHARS - 1) return 0;

    // The token ends at the first space or quote after the last dot, so an
    // unquoted path may hold spaces in its folder names.
    int from = 0, to = 0;
    int start = path_start(command_line, n);
    const char *dot = start >= 0 ? strrchr(command_line + start, '.') : nullptr;
    if (dot) {
        from = start;
        to = (int)(dot - command_line);
    }
    while (!is_token_end(command_line[to])) to++;
    memcpy(path_out, command_line + from, to - from);
    path_out[to - from] = 0;

    if (!player_file_is_readable(path_out)) {
        const char *first = strchr(command_line, '"');
        const char *last = strrchr(command_line, '"');
        if (first && last && first < last) {
            int len = (int)(last - first - 1);
            memcpy(path_out, first + 1, len);
            path_out[len] = 0;
            if (!player_file_is_readable(path_out)) path_out[0] = 0;
        }
    }

    int len = lstrlenA(path_out);
    if (len >= 4 && lstrcmpiA(path_out + len - 4, ".lnk") == 0) player_resolve_shortcut(path_out, path_out);
    return 1;
}

