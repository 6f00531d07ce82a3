// Path text shared by the player and the installer.
#pragma once

// The file name of path: the text after its last "\" or "/", whichever comes
// later; the whole path when it has neither.
const char *path_file_name(const char *path);
