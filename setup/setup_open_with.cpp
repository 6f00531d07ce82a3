// The player in Explorer's "Open with" list, for the media types its open
// dialog lists: an Applications entry with its supported types and friendly
// name, a ProgID with the player's icon and an "open" verb, and the ProgID
// named under each extension's OpenWithProgids. No default association is
// taken, and removal deletes exactly what this wrote, nothing another
// program added.
#include <stdio.h>
#include <string.h>

#include "setup.h"
#include "setup_app.h"

const char SETUP_PROGID[] = "QuorvaMedia.File";
const char *const SETUP_MEDIA_TYPES[] = {".m3u", ".m3u8", ".pls", ".mpg",  ".mpeg", ".mpe", ".mpv", ".m1v",
                                         ".mp2", ".mp3",  ".mp4", ".mpa",  ".mpv2", ".dat", ".vob", ".avi",
                                         ".wav", ".wmv",  ".wma", ".divx", ".asf",  ".ogg", ".mid", ".midi",
                                         nullptr};
static const char APPLICATION_KEY[] = "Software\\Classes\\Applications\\Player.exe";

// A string value under HKLM\subkey (created as needed); 0 on failure.
static int set_value(const char *subkey, const char *name, const char *value, DWORD type = REG_SZ)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_SET_VALUE | setup_reg_view(), nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    LONG rc = RegSetValueExA(key, name, 0, type, (const BYTE *)value, type == REG_NONE ? 0 : (DWORD)strlen(value) + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// The open command for the installation's player: "\"...\Player.exe\" \"%1\"".
static int open_command(const char *folder, char *command, size_t size)
{
    char player[MAX_PATH];
    strcpy(player, folder);
    if (!path_append(player, "Player.exe")) return 0;
    int n = snprintf(command, size, "\"%s\" \"%%1\"", player);
    return n > 0 && (size_t)n < size;
}

int write_open_with(const char *folder)
{
    char command[MAX_PATH + 16], icon[MAX_PATH + 8], key[160];
    if (!open_command(folder, command, sizeof command)) return 0;
    snprintf(icon, sizeof icon, "%.*s,0", (int)(strchr(command + 1, '"') - command + 1), command);
    int ok = set_value(APPLICATION_KEY, "FriendlyAppName", "Quorva Media Player");
    snprintf(key, sizeof key, "%s\\shell\\open\\command", APPLICATION_KEY);
    ok &= set_value(key, nullptr, command);
    snprintf(key, sizeof key, "Software\\Classes\\%s", SETUP_PROGID);
    ok &= set_value(key, nullptr, "Quorva Media file");
    snprintf(key, sizeof key, "Software\\Classes\\%s\\DefaultIcon", SETUP_PROGID);
    ok &= set_value(key, nullptr, icon);
    snprintf(key, sizeof key, "Software\\Classes\\%s\\shell\\open\\command", SETUP_PROGID);
    ok &= set_value(key, nullptr, command);
    for (const char *const *type = SETUP_MEDIA_TYPES; *type; type++) {
        snprintf(key, sizeof key, "%s\\SupportedTypes", APPLICATION_KEY);
        ok &= set_value(key, *type, "");
        snprintf(key, sizeof key, "Software\\Classes\\%s\\OpenWithProgids", *type);
        ok &= set_value(key, SETUP_PROGID, "", REG_NONE);
    }
    return ok;
}

void remove_open_with(const char *folder)
{
    // Another program called Player.exe may own the Applications entry: it
    // goes only while it opens this installation's player.
    char command[MAX_PATH + 16], written[MAX_PATH + 16], key[160];
    snprintf(key, sizeof key, "%s\\shell\\open\\command", APPLICATION_KEY);
    HKEY k;
    if (open_command(folder, command, sizeof command) &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | setup_reg_view(), &k) == ERROR_SUCCESS) {
        DWORD type = 0, size = sizeof written - 1;
        LONG rc = RegQueryValueExA(k, nullptr, nullptr, &type, (BYTE *)written, &size);
        RegCloseKey(k);
        written[rc == ERROR_SUCCESS && type == REG_SZ ? size : 0] = 0;
        if (!lstrcmpiA(written, command)) delete_reg_tree(HKEY_LOCAL_MACHINE, APPLICATION_KEY);
    }
    snprintf(key, sizeof key, "Software\\Classes\\%s", SETUP_PROGID);
    delete_reg_tree(HKEY_LOCAL_MACHINE, key);
    for (const char *const *type = SETUP_MEDIA_TYPES; *type; type++) {
        snprintf(key, sizeof key, "Software\\Classes\\%s\\OpenWithProgids", *type);
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE | setup_reg_view(), &k) != ERROR_SUCCESS) continue;
        RegDeleteValueA(k, SETUP_PROGID);
        RegCloseKey(k);
    }
}
