// Title and artist read from a media file's own tags, for sorting the
// playlist. Nothing here is kept in the playlist's records.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Bits of tag_parse's and tag_read_file's result: which fields were found.
#define TAG_TITLE 1
#define TAG_ARTIST 2

struct TagText {
    char title[128];   // ANSI (CP_ACP), zero-terminated, cut to fit; empty when not found
    char artist[128];
};

// Parses ID3v2.3/2.4 or a RIFF INFO list at the start of data and ID3v1 in its
// last 128 bytes; ID3v1 fills only what ID3v2 left empty. Never reads outside
// data[0..size). Returns TAG_TITLE | TAG_ARTIST bits, 0 when nothing was found.
int tag_parse(const uint8_t *data, size_t size, TagText *out);

// Reads a bounded part of the file (its ID3v2 tag up to a cap, the headers of
// its RIFF chunks and its LIST chunks up to a cap, its last 128 bytes) and
// parses it as tag_parse does. Returns the same bits; 0 when unreadable.
int tag_read_file(const char *path, TagText *out);
