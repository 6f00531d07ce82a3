// Title and artist read from a media file's own tags, for sorting the
// playlist. Nothing here is kept in the playlist's records.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Bits of tag_parse's and tag_read_file's result: which fields were found.
#define TAG_TITLE 1
#define TAG_ARTIST 2

struct TagText {
    char title[128];   // the program's code page (UTF-8 on current Windows), zero-terminated, cut at a
                       // whole character; empty when not found
    char artist[128];
};

// Parses the tags of a file held in data: ID3v2.3/2.4 at its start; a RIFF
// file's INFO lists and "id3 " chunk; the Vorbis comments of an Ogg Vorbis,
// Opus or FLAC file; then ID3v1 in its last 128 bytes, which fills only what
// the others left empty. Never reads outside data[0..size). Returns
// TAG_TITLE | TAG_ARTIST bits, 0 when nothing was found.
int tag_parse(const uint8_t *data, size_t size, TagText *out);

// The same for a file, read where its tags lie: headers are walked and only
// the text wanted is read, so a cover picture of any size is skipped. Returns
// the same bits; 0 when unreadable.
int tag_read_file(const char *path, TagText *out);
