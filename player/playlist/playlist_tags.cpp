// Title and artist from ID3v2.3/2.4 and ID3v1 tags, RIFF INFO lists and
// "id3 " chunks, and the Vorbis comments of Ogg and FLAC files. Tags are read
// where they lie, through their headers: what is not wanted (a cover picture
// of any size) is skipped, not read. Every read is bounded by its container,
// every loop moves forward and counts, and nesting has a fixed depth, so
// damaged or hostile input can only yield less text.
#include "playlist_tags.h"

#include <windows.h>
#include <string.h>

#include <new>

#include "text.h"

#define TAG_BOTH (TAG_TITLE | TAG_ARTIST)
#define TAG_FIELD_CHARS 128           // TagText field size, terminator included
#define TAG_VALUE_BYTES 1024          // bytes of one text value looked at: more than 127 characters in any encoding
#define TAG_READ_CAP (256 * 1024)     // bytes of an unsynchronised ID3v2.3 tag, or of all LIST chunks, read
#define TAG_RIFF_DEPTH 4              // LISTs inside LISTs looked into
#define TAG_CHUNKS 1024               // top-level RIFF chunks, ID3v2 frames or FLAC blocks walked
#define TAG_OGG_PAGES 4096            // Ogg pages walked for the comment packet
#define TAG_COMMENTS 4096             // Vorbis comments looked at

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

// Where the bytes come from: a caller's buffer, or an open file.
struct TagSource {
    const uint8_t *data;  // null for a file
    HANDLE file;
    uint64_t size;
};

// Reads up to n bytes at offset, never past the end; returns how many.
static size_t tag_read(const TagSource *s, uint64_t at, void *buf, size_t n)
{
    if (at >= s->size) return 0;
    if (n > s->size - at) n = (size_t)(s->size - at);
    if (s->data) {
        memcpy(buf, s->data + at, n);
        return n;
    }
    LARGE_INTEGER pos;
    pos.QuadPart = (LONGLONG)at;
    DWORD got = 0;
    if (!SetFilePointerEx(s->file, pos, nullptr, FILE_BEGIN) || !ReadFile(s->file, buf, (DWORD)n, &got, nullptr)) return 0;
    return got;
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

// Stores n wide characters in a field: trailing spaces dropped, cut at a
// whole character. Returns 1 when non-empty.
static int tag_store_wide(const WCHAR *w, int n, char *out)
{
    while (n > 0 && w[n - 1] == L' ') n--;
    return text_from_wide(w, n, out, TAG_FIELD_CHARS, 1) > 0;
}

// Stores text from a file up to the first zero or n bytes (UTF-8 when valid,
// the legacy code page otherwise), trailing spaces dropped. Returns 1 when
// non-empty.
static int tag_store_text(const uint8_t *s, size_t n, char *out)
{
    size_t len = 0;
    while (len < n && s[len]) len++;
    while (len > 0 && s[len - 1] == ' ') len--;
    return text_from_file((const char *)s, len, out, TAG_FIELD_CHARS, 1) > 0;
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

static int tag_id3v2(const TagSource *s, uint64_t base, TagText *out, int found);

// An ID3v2.3 tag unsynchronised as a whole: its frame sizes count the
// restored bytes, so the tag is restored in memory (up to the cap) and
// walked there.
static int tag_id3v2_restored(const TagSource *s, uint64_t base, const uint8_t *head, uint64_t size, TagText *out,
                              int found)
{
    size_t n = size < TAG_READ_CAP ? (size_t)size : TAG_READ_CAP;
    uint8_t *buf = new (std::nothrow) uint8_t[10 + n];
    if (!buf) return found;
    memcpy(buf, head, 10);
    buf[5] &= 0x7F;
    TagBytes raw = {buf + 10, buf + 10 + tag_read(s, base + 10, buf + 10, n), 1};
    size_t restored = tag_take(&raw, buf + 10, n);  // restoring only ever shrinks, so in place
    TagSource memory = {buf, nullptr, 10 + restored};
    found = tag_id3v2(&memory, 0, out, found);
    delete[] buf;
    return found;
}

// An ID3v2.3 or 2.4 tag at base: its first non-empty TIT2 and TPE1, for the
// fields not in found. Frames are walked by their headers and only the text
// frames wanted are read, each bounded.
// In 2.3 the unsynchronisation flag covers everything after the header and
// frame sizes count the restored bytes; in 2.4 it is applied per frame and
// frame sizes (syncsafe) count the stored bytes.
static int tag_id3v2(const TagSource *s, uint64_t base, TagText *out, int found)
{
    uint8_t head[10];
    if (tag_read(s, base, head, 10) < 10 || memcmp(head, "ID3", 3) != 0) return found;
    int version = head[3], flags = head[5];
    if (version != 3 && version != 4) return found;
    uint64_t pos = base + 10, end = pos + tag_syncsafe(head + 6);
    if (end > s->size) end = s->size;
    if (version == 3 && (flags & 0x80)) return tag_id3v2_restored(s, base, head, end - pos, out, found);
    if (flags & 0x40) {  // extended header: skipped by its own size
        uint8_t h[4];
        if (tag_read(s, pos, h, 4) < 4) return found;
        uint32_t ext = version == 3 ? tag_be32(h) + 4 : tag_syncsafe(h);  // 2.4 counts the size bytes themselves
        if (ext < 6) return found;
        pos += ext;
    }
    for (int frames = 0; found != TAG_BOTH && frames < TAG_CHUNKS && pos + 10 <= end; frames++) {
        uint8_t h[10];
        if (tag_read(s, pos, h, 10) < 10 || !tag_frame_id_valid(h)) break;  // padding, damage or the end
        uint64_t n = version == 3 ? tag_be32(h + 4) : tag_syncsafe(h + 4), body = pos + 10;
        if (n > end - body) break;  // a frame running past the tag is not used
        pos = body + n;
        int field = !memcmp(h, "TIT2", 4) ? TAG_TITLE : !memcmp(h, "TPE1", 4) ? TAG_ARTIST : 0;
        if (!field || (found & field)) continue;
        size_t added;  // bytes the frame flags put before the text
        int unsync = 0;
        if (version == 3) {
            if (h[9] & 0xC0) continue;  // compressed or encrypted
            added = h[9] & 0x20 ? 1 : 0;  // group identifier
        } else {
            if (h[9] & 0x0C) continue;  // compressed or encrypted
            unsync = (flags & 0x80) || (h[9] & 0x02);
            added = (h[9] & 0x40 ? 1 : 0) + (h[9] & 0x01 ? 4 : 0);  // group identifier, data length
        }
        uint8_t value[2 * TAG_VALUE_BYTES + 8];
        size_t got = tag_read(s, body, value, n < sizeof value ? (size_t)n : sizeof value);
        TagBytes frame = {value, value + got, unsync};
        if (tag_take(&frame, nullptr, added) < added) continue;
        if (tag_frame_text(&frame, field == TAG_TITLE ? out->title : out->artist)) found |= field;
    }
    return found;
}

// An ID3v1 tag: "TAG", a 30-byte title and a 30-byte artist. Fills only the
// fields not in found.
static int tag_id3v1(const TagSource *s, TagText *out, int found)
{
    uint8_t last[128];
    if (found == TAG_BOTH || s->size < 128 || tag_read(s, s->size - 128, last, 128) < 128) return found;
    if (memcmp(last, "TAG", 3) != 0) return found;
    if (!(found & TAG_TITLE) && tag_store_text(last + 3, 30, out->title)) found |= TAG_TITLE;
    if (!(found & TAG_ARTIST) && tag_store_text(last + 33, 30, out->artist)) found |= TAG_ARTIST;
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
            if (tag_store_text(body, (size_t)(stop - body), out->title)) found |= TAG_TITLE;
        } else if (info && !memcmp(p, "IART", 4) && !(found & TAG_ARTIST)) {
            if (tag_store_text(body, (size_t)(stop - body), out->artist)) found |= TAG_ARTIST;
        } else if (!memcmp(p, "LIST", 4) && stop - body >= 4 && depth < TAG_RIFF_DEPTH) {
            found = tag_riff_chunks(body + 4, stop, !memcmp(body, "INFO", 4), depth + 1, out, found);
        }
        if (n >= left) break;  // nothing follows a chunk that reaches the end
        p = stop + (n & 1);
    }
    return found;
}

// The top-level chunks of a RIFF file (WAVE or AVI), walked by their headers
// so that tags after a long data chunk are found: LISTs other than the media
// data are read, together at most TAG_READ_CAP bytes, and looked into in
// memory; an "id3 " chunk holds an ID3v2 tag.
static int tag_riff(const TagSource *s, TagText *out)
{
    uint8_t c[12];
    if (tag_read(s, 0, c, 12) < 12 || memcmp(c, "RIFF", 4) || (memcmp(c + 8, "WAVE", 4) && memcmp(c + 8, "AVI ", 4)))
        return 0;
    uint64_t end = (uint64_t)tag_le32(c + 4) + 8, pos = 12;
    if (end > s->size) end = s->size;
    size_t budget = TAG_READ_CAP;
    int found = 0;
    for (int i = 0; i < TAG_CHUNKS && found != TAG_BOTH && pos + 8 <= end; i++) {
        if (tag_read(s, pos, c, 12) < 8) break;
        uint64_t n = tag_le32(c + 4), take = end - pos - 8;
        if (n < take) take = n;
        if (!memcmp(c, "LIST", 4) && take >= 4 && memcmp(c + 8, "movi", 4) != 0 && budget > 0) {
            if (budget < take) take = budget;
            budget -= (size_t)take;
            uint8_t *body = new (std::nothrow) uint8_t[take];
            if (body) {
                size_t got = tag_read(s, pos + 8, body, (size_t)take);
                if (got >= 4) found = tag_riff_chunks(body + 4, body + got, !memcmp(body, "INFO", 4), 1, out, found);
                delete[] body;
            }
        } else if (!memcmp(c, "id3 ", 4) || !memcmp(c, "ID3 ", 4)) {
            found = tag_id3v2(s, pos + 8, out, found);
        }
        pos += 8 + n + (n & 1);
    }
    return found;
}

// The bytes of one packet of an Ogg stream, or of one FLAC block, taken in
// order: an Ogg packet runs through the segments of one or more pages, and
// ends with a segment shorter than 255 bytes.
struct TagStream {
    const TagSource *s;
    uint64_t at;        // the next byte
    uint64_t left;      // bytes left in the current segment (FLAC: in the block)
    int ogg;
    uint64_t page;      // Ogg: the next page's offset
    uint8_t lacing[255];
    int segments, segment, pages, ended;
};

// Ogg: steps to the next segment of the stream, reading the next page's
// header when this page's segments are used up. 0 at the end.
static int tag_ogg_segment(TagStream *t)
{
    while (t->segment >= t->segments) {
        uint8_t h[27];
        if (++t->pages > TAG_OGG_PAGES || tag_read(t->s, t->page, h, 27) < 27 || memcmp(h, "OggS", 4)) return 0;
        t->segments = h[26];
        t->segment = 0;
        if (tag_read(t->s, t->page + 27, t->lacing, (size_t)t->segments) < (size_t)t->segments) return 0;
        t->at = t->page + 27 + t->segments;
        t->page = t->at;
        for (int i = 0; i < t->segments; i++) t->page += t->lacing[i];
    }
    t->left = t->lacing[t->segment++];
    if (t->left < 255) t->ended = 1;  // the packet's last segment
    return 1;
}

// Takes up to n bytes into out (or skips them when out is null); returns how
// many there were before the packet or block ended.
static uint64_t tag_stream_take(TagStream *t, uint8_t *out, uint64_t n)
{
    uint64_t done = 0;
    while (done < n) {
        if (!t->left && (!t->ogg || t->ended || !tag_ogg_segment(t))) break;
        uint64_t k = n - done < t->left ? n - done : t->left;
        if (out && tag_read(t->s, t->at, out + done, (size_t)k) < k) break;
        t->at += k, t->left -= k, done += k;
    }
    return done;
}

// Vorbis comments: a vendor string, a count, then that many "KEY=value"
// strings of UTF-8, each after its 32-bit little-endian length. TITLE and
// ARTIST are read, bounded; every other comment (a picture too) is skipped.
static int tag_vorbis_comments(TagStream *t, TagText *out)
{
    uint8_t n4[4], value[TAG_VALUE_BYTES + 8];
    if (tag_stream_take(t, n4, 4) < 4 || tag_stream_take(t, nullptr, tag_le32(n4)) < tag_le32(n4)) return 0;
    if (tag_stream_take(t, n4, 4) < 4) return 0;
    int found = 0;
    // A count larger than the comments there are ends with the stream.
    uint32_t count = tag_le32(n4);
    for (uint32_t i = 0; i < count && i < TAG_COMMENTS && found != TAG_BOTH; i++) {
        if (tag_stream_take(t, n4, 4) < 4) break;
        uint64_t n = tag_le32(n4), got = tag_stream_take(t, value, n < sizeof value ? n : sizeof value);
        if (got < (n < sizeof value ? n : sizeof value)) break;
        if (!(found & TAG_TITLE) && got >= 6 && !_strnicmp((const char *)value, "TITLE=", 6)) {
            if (tag_store_text(value + 6, (size_t)got - 6, out->title)) found |= TAG_TITLE;
        } else if (!(found & TAG_ARTIST) && got >= 7 && !_strnicmp((const char *)value, "ARTIST=", 7)) {
            if (tag_store_text(value + 7, (size_t)got - 7, out->artist)) found |= TAG_ARTIST;
        }
        if (tag_stream_take(t, nullptr, n - got) < n - got) break;
    }
    return found;
}

// Ogg Vorbis (or Opus): the second packet of the stream holds the comments,
// after "\3vorbis" (or "OpusTags").
static int tag_ogg(const TagSource *s, TagText *out)
{
    TagStream t = {};
    t.s = s, t.ogg = 1;
    while (!t.ended && tag_stream_take(&t, nullptr, 255) == 255) {}  // the first packet
    if (!t.ended) return 0;
    t.ended = 0, t.left = 0;
    uint8_t magic[8];
    uint64_t got = tag_stream_take(&t, magic, 7);
    if (got == 7 && !memcmp(magic, "\3vorbis", 7)) return tag_vorbis_comments(&t, out);
    if (got == 7 && tag_stream_take(&t, magic + 7, 1) == 1 && !memcmp(magic, "OpusTags", 8))
        return tag_vorbis_comments(&t, out);
    return 0;
}

// FLAC: "fLaC", then metadata blocks, each after a header of its type (the
// top bit marks the last) and 24-bit length; type 4 holds the comments.
static int tag_flac(const TagSource *s, TagText *out)
{
    uint8_t h[4];
    uint64_t pos = 4;
    for (int i = 0; i < TAG_CHUNKS && tag_read(s, pos, h, 4) == 4; i++) {
        uint64_t n = (uint64_t)h[1] << 16 | h[2] << 8 | h[3];
        if ((h[0] & 0x7F) == 4) {
            TagStream t = {};
            t.s = s, t.at = pos + 4, t.left = n;
            return tag_vorbis_comments(&t, out);
        }
        if (h[0] & 0x80) break;
        pos += 4 + n;
    }
    return 0;
}

static int tag_read_source(const TagSource *s, TagText *out)
{
    if (!out) return 0;
    out->title[0] = out->artist[0] = 0;
    uint8_t head[4];
    if (tag_read(s, 0, head, 4) < 4) return 0;
    int found = !memcmp(head, "ID3", 3)    ? tag_id3v2(s, 0, out, 0)
                : !memcmp(head, "RIFF", 4) ? tag_riff(s, out)
                : !memcmp(head, "OggS", 4) ? tag_ogg(s, out)
                : !memcmp(head, "fLaC", 4) ? tag_flac(s, out)
                                           : 0;
    return tag_id3v1(s, out, found);
}

int tag_parse(const uint8_t *data, size_t size, TagText *out)
{
    if (out) out->title[0] = out->artist[0] = 0;
    TagSource s = {data, nullptr, data ? size : 0};
    return tag_read_source(&s, out);
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
    int found = 0;
    if (GetFileSizeEx(h, &size)) {
        TagSource s = {nullptr, h, (uint64_t)size.QuadPart};
        found = tag_read_source(&s, out);
    }
    CloseHandle(h);
    return found;
}
