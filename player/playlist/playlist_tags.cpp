// Title and artist from ID3v2.3/2.4 and ID3v1 tags and from RIFF INFO lists.
// Every read is checked against the end of the bytes given, sizes are clamped
// to their container, every loop moves forward and nesting has a fixed depth,
// so damaged or hostile input can only yield less text.
#include "playlist_tags.h"

#include <windows.h>
#include <string.h>

#include <new>

#define TAG_BOTH (TAG_TITLE | TAG_ARTIST)
#define TAG_FIELD_CHARS 128           // TagText field size, terminator included
#define TAG_VALUE_BYTES 1024          // bytes of one text frame looked at: more than 127 characters in any encoding
#define TAG_READ_CAP (256 * 1024)     // bytes of an ID3v2 tag, or of all LIST chunks, read from a file
#define TAG_RIFF_DEPTH 4              // LISTs inside LISTs looked into
#define TAG_RIFF_FILE_CHUNKS 1024     // top-level chunks of a RIFF file walked

static uint32_t tag_be32(const uint8_t *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

static uint32_t tag_le32(const uint8_t *p)
{
    return (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

// Four 7-bit bytes, most significant first: ID3 sizes that never hold 0xFF.
static uint32_t tag_syncsafe(const uint8_t *p)
{
    return (uint32_t)(p[0] & 0x7F) << 21 | (uint32_t)(p[1] & 0x7F) << 14 | (uint32_t)(p[2] & 0x7F) << 7 |
           (p[3] & 0x7F);
}

// Bytes taken in order from [p, end). With unsync set, the 0x00 that an ID3
// writer puts after each 0xFF is dropped again.
struct TagBytes {
    const uint8_t *p, *end;
    int unsync;
};

// Takes up to n bytes into out (or skips them when out is null); returns how
// many there were.
static size_t tag_take(TagBytes *b, uint8_t *out, size_t n)
{
    if (!b->unsync) {
        size_t left = (size_t)(b->end - b->p);
        if (n > left) n = left;
        if (out) memcpy(out, b->p, n);
        b->p += n;
        return n;
    }
    size_t i = 0;
    for (; i < n && b->p < b->end; i++) {
        uint8_t v = *b->p++;
        if (v == 0xFF && b->p < b->end && *b->p == 0x00) b->p++;
        if (out) out[i] = v;
    }
    return i;
}

// Stores n wide characters in a field as ANSI: trailing spaces dropped, cut to
// the longest run of whole characters that fits. Returns 1 when non-empty.
static int tag_store_wide(const WCHAR *w, int n, char *out)
{
    out[0] = 0;
    while (n > 0 && w[n - 1] == L' ') n--;
    int m = n < TAG_FIELD_CHARS - 1 ? n : TAG_FIELD_CHARS - 1;
    for (; m > 0; m--) {
        if (w[m - 1] >= 0xD800 && w[m - 1] <= 0xDBFF) continue;  // never split a surrogate pair
        int need = WideCharToMultiByte(CP_ACP, 0, w, m, nullptr, 0, nullptr, nullptr);
        if (need > 0 && need < TAG_FIELD_CHARS) {
            WideCharToMultiByte(CP_ACP, 0, w, m, out, need, nullptr, nullptr);
            out[need] = 0;
            return 1;
        }
    }
    return 0;
}

// Stores ANSI bytes up to the first zero or n, trailing spaces dropped, cut
// before a double-byte character that would not fit. Returns 1 when non-empty.
static int tag_store_ansi(const uint8_t *s, size_t n, char *out)
{
    size_t k = 0, len = 0;
    while (len < n && s[len]) len++;
    while (k < len) {
        size_t step = IsDBCSLeadByte(s[k]) && k + 1 < len ? 2 : 1;
        if (k + step > TAG_FIELD_CHARS - 1) break;
        k += step;
    }
    while (k > 0 && s[k - 1] == ' ') k--;
    memcpy(out, s, k);
    out[k] = 0;
    return k > 0;
}

// The first value of an ID3v2 text frame: an encoding byte, then ISO-8859-1,
// UTF-16 with a byte order mark, UTF-16BE or UTF-8 text, ending at a zero
// character or the end of the frame. Returns 1 when a non-empty value was stored.
static int tag_frame_text(TagBytes *b, char *out)
{
    uint8_t s[TAG_VALUE_BYTES];
    WCHAR w[TAG_VALUE_BYTES];
    uint8_t enc;
    if (tag_take(b, &enc, 1) < 1) return 0;
    size_t n = tag_take(b, s, sizeof s), i = 0;
    int k = 0;
    if (enc == 0) {  // ISO-8859-1 is the first 256 code points
        for (; i < n && s[i]; i++) w[k++] = s[i];
    } else if (enc == 1 || enc == 2) {
        int big = enc == 2;
        if (enc == 1 && n >= 2 && ((s[0] == 0xFE && s[1] == 0xFF) || (s[0] == 0xFF && s[1] == 0xFE))) {
            big = s[0] == 0xFE;
            i = 2;
        }
        for (; i + 1 < n; i += 2) {  // an odd last byte is no character
            WCHAR c = big ? (WCHAR)(s[i] << 8 | s[i + 1]) : (WCHAR)(s[i] | s[i + 1] << 8);
            if (!c) break;
            if (c != 0xFEFF) w[k++] = c;  // some writers repeat the mark
        }
    } else if (enc == 3) {
        size_t len = 0;
        while (len < n && s[len]) len++;
        if (len >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) i = 3;
        if (len > i) k = MultiByteToWideChar(CP_UTF8, 0, (const char *)s + i, (int)(len - i), w, TAG_VALUE_BYTES);
    } else {
        return 0;
    }
    return tag_store_wide(w, k, out);
}

static int tag_frame_id_valid(const uint8_t *id)
{
    for (int i = 0; i < 4; i++)
        if (!((id[i] >= 'A' && id[i] <= 'Z') || (id[i] >= '0' && id[i] <= '9'))) return 0;
    return 1;
}

// An ID3v2.3 or 2.4 tag at the start of data: its first non-empty TIT2 and
// TPE1, for the fields not in found.
// In 2.3 the unsynchronisation flag covers everything after the header and
// frame sizes count the restored bytes; in 2.4 it is applied per frame and
// frame sizes (syncsafe) count the stored bytes.
static int tag_parse_id3v2(const uint8_t *data, size_t size, TagText *out, int found)
{
    if (size < 10 || memcmp(data, "ID3", 3) != 0) return found;
    int version = data[3], flags = data[5];
    if (version != 3 && version != 4) return found;
    size_t tag = tag_syncsafe(data + 6), left = size - 10;
    TagBytes all = {data + 10, data + 10 + (tag < left ? tag : left), version == 3 && (flags & 0x80)};
    if (flags & 0x40) {  // extended header: skipped by its own size
        uint8_t h[4];
        if (tag_take(&all, h, 4) < 4) return found;
        uint32_t ext = version == 3 ? tag_be32(h) : tag_syncsafe(h);
        if (version == 4) {  // 2.4 counts the size bytes themselves
            if (ext < 6) return found;
            ext -= 4;
        }
        if (tag_take(&all, nullptr, ext) < ext) return found;
    }
    while (found != TAG_BOTH) {
        uint8_t h[10];
        if (tag_take(&all, h, 10) < 10 || !tag_frame_id_valid(h)) break;  // padding, damage or the end
        uint32_t n = version == 3 ? tag_be32(h + 4) : tag_syncsafe(h + 4);
        const uint8_t *from = all.p;
        if (tag_take(&all, nullptr, n) < n) break;  // a frame running past the tag is not used
        int field = !memcmp(h, "TIT2", 4) ? TAG_TITLE : !memcmp(h, "TPE1", 4) ? TAG_ARTIST : 0;
        if (!field || (found & field)) continue;
        TagBytes frame = {from, all.p, all.unsync};
        size_t added;  // bytes the frame flags put before the text
        if (version == 3) {
            if (h[9] & 0xC0) continue;  // compressed or encrypted
            added = h[9] & 0x20 ? 1 : 0;  // group identifier
        } else {
            if (h[9] & 0x0C) continue;  // compressed or encrypted
            frame.unsync = (flags & 0x80) || (h[9] & 0x02);
            added = (h[9] & 0x40 ? 1 : 0) + (h[9] & 0x01 ? 4 : 0);  // group identifier, data length
        }
        if (tag_take(&frame, nullptr, added) < added) continue;
        if (tag_frame_text(&frame, field == TAG_TITLE ? out->title : out->artist)) found |= field;
    }
    return found;
}

// An ID3v1 tag: "TAG", a 30-byte title and a 30-byte artist. Fills only the
// fields not in found.
static int tag_parse_id3v1(const uint8_t *last128, TagText *out, int found)
{
    if (memcmp(last128, "TAG", 3) != 0) return found;
    if (!(found & TAG_TITLE) && tag_store_ansi(last128 + 3, 30, out->title)) found |= TAG_TITLE;
    if (!(found & TAG_ARTIST) && tag_store_ansi(last128 + 33, 30, out->artist)) found |= TAG_ARTIST;
    return found;
}

// The RIFF chunks in [p, end): INAM and IART when inside an INFO list, and
// LISTs looked into to a fixed depth. A size past the end is clamped to it;
// chunks are padded to even sizes.
static int tag_riff_chunks(const uint8_t *p, const uint8_t *end, int info, int depth, TagText *out, int found)
{
    while (found != TAG_BOTH && end - p >= 8) {
        uint32_t n = tag_le32(p + 4);
        size_t left = (size_t)(end - p) - 8;
        const uint8_t *body = p + 8, *stop = body + (n < left ? n : left);
        if (info && !memcmp(p, "INAM", 4) && !(found & TAG_TITLE)) {
            if (tag_store_ansi(body, (size_t)(stop - body), out->title)) found |= TAG_TITLE;
        } else if (info && !memcmp(p, "IART", 4) && !(found & TAG_ARTIST)) {
            if (tag_store_ansi(body, (size_t)(stop - body), out->artist)) found |= TAG_ARTIST;
        } else if (!memcmp(p, "LIST", 4) && stop - body >= 4 && depth < TAG_RIFF_DEPTH) {
            found = tag_riff_chunks(body + 4, stop, !memcmp(body, "INFO", 4), depth + 1, out, found);
        }
        if (n >= left) break;  // nothing follows a chunk that reaches the end
        p = stop + (n & 1);
    }
    return found;
}

static int tag_riff_form(const uint8_t *head)
{
    return !memcmp(head, "RIFF", 4) && (!memcmp(head + 8, "WAVE", 4) || !memcmp(head + 8, "AVI ", 4));
}

static int tag_parse_riff(const uint8_t *data, size_t size, TagText *out)
{
    if (size < 12 || !tag_riff_form(data)) return 0;
    uint32_t n = tag_le32(data + 4);
    const uint8_t *end = data + 8 + (n < size - 8 ? n : size - 8);
    return tag_riff_chunks(data + 12, end, 0, 0, out, 0);
}

int tag_parse(const uint8_t *data, size_t size, TagText *out)
{
    if (!out) return 0;
    out->title[0] = out->artist[0] = 0;
    if (!data) return 0;
    int found = tag_parse_id3v2(data, size, out, 0);
    if (!found) found = tag_parse_riff(data, size, out);
    if (found != TAG_BOTH && size >= 128) found = tag_parse_id3v1(data + size - 128, out, found);
    return found;
}

// Reads up to n bytes at offset; returns how many were read.
static DWORD tag_read_at(HANDLE h, uint64_t offset, void *buf, DWORD n)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    DWORD got = 0;
    if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || !ReadFile(h, buf, n, &got, nullptr)) return 0;
    return got;
}

// Reads bytes at offset into a new buffer and parses them with parse; a
// failure to allocate or read is no text.
static int tag_read_parsed(HANDLE h, uint64_t offset, DWORD n, int (*parse)(const uint8_t *, size_t, TagText *, int),
                           TagText *out, int found)
{
    uint8_t *buf = new (std::nothrow) uint8_t[n ? n : 1];
    if (!buf) return found;
    DWORD got = tag_read_at(h, offset, buf, n);
    found = parse(buf, got, out, found);
    delete[] buf;
    return found;
}

// A LIST chunk's body: its type, then its chunks.
static int tag_parse_list(const uint8_t *body, size_t size, TagText *out, int found)
{
    if (size < 4) return found;
    return tag_riff_chunks(body + 4, body + size, !memcmp(body, "INFO", 4), 1, out, found);
}

// The top-level chunks of a RIFF file, walked by their headers so that an INFO
// list after a long data chunk is found. LISTs other than the media data are
// read, together at most TAG_READ_CAP bytes, and looked into in memory.
static int tag_read_riff(HANDLE h, uint64_t file_size, uint32_t riff_size, TagText *out)
{
    uint64_t end = (uint64_t)riff_size + 8 < file_size ? (uint64_t)riff_size + 8 : file_size, pos = 12;
    DWORD budget = TAG_READ_CAP;
    int found = 0;
    for (int i = 0; i < TAG_RIFF_FILE_CHUNKS && found != TAG_BOTH && pos + 12 <= end; i++) {
        uint8_t c[12];
        if (tag_read_at(h, pos, c, 12) < 12) break;
        uint64_t n = tag_le32(c + 4);
        if (!memcmp(c, "LIST", 4) && memcmp(c + 8, "movi", 4) != 0 && budget > 0) {
            uint64_t take = end - pos - 8;
            if (n < take) take = n;
            if (budget < take) take = budget;
            budget -= (DWORD)take;
            found = tag_read_parsed(h, pos + 8, (DWORD)take, tag_parse_list, out, found);
        }
        pos += 8 + n + (n & 1);
    }
    return found;
}

int tag_read_file(const char *path, TagText *out)
{
    if (!out) return 0;
    out->title[0] = out->artist[0] = 0;
    if (!path) return 0;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER size;
    uint8_t head[12];
    int found = 0;
    if (GetFileSizeEx(h, &size)) {
        uint64_t file_size = (uint64_t)size.QuadPart;
        DWORD got = tag_read_at(h, 0, head, sizeof head);
        if (got >= 10 && !memcmp(head, "ID3", 3)) {
            uint64_t n = 10 + (uint64_t)tag_syncsafe(head + 6);
            if (n > file_size) n = file_size;
            if (n > TAG_READ_CAP) n = TAG_READ_CAP;
            found = tag_read_parsed(h, 0, (DWORD)n, tag_parse_id3v2, out, 0);
        } else if (got == 12 && tag_riff_form(head)) {
            found = tag_read_riff(h, file_size, tag_le32(head + 4), out);
        }
        if (found != TAG_BOTH && file_size >= 128) {
            uint8_t last[128];
            if (tag_read_at(h, file_size - 128, last, 128) == 128) found = tag_parse_id3v1(last, out, found);
        }
    }
    CloseHandle(h);
    return found;
}
