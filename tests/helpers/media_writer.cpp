#include "media_writer.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

struct Buf {
    std::vector<uint8_t> b;
    void u8(uint8_t v) { b.push_back(v); }
    void u16(uint16_t v) { u8(v & 0xFF), u8(v >> 8); }
    void u32(uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); }
    void fourcc(const char *s) { b.insert(b.end(), s, s + 4); }
    void bytes(const void *p, size_t n) { b.insert(b.end(), (const uint8_t *)p, (const uint8_t *)p + n); }
    size_t begin_chunk(const char *id)  // returns the offset of the size field
    {
        fourcc(id);
        u32(0);
        return b.size() - 4;
    }
    void end_chunk(size_t size_at)
    {
        uint32_t n = (uint32_t)(b.size() - size_at - 4);
        memcpy(&b[size_at], &n, 4);
        if (n & 1) u8(0);
    }
};

int save(const char *path, const std::vector<uint8_t> &data)
{
    FILE *f = fopen(path, "wb");
    if (!f) return 0;
    size_t n = fwrite(data.data(), 1, data.size(), f);
    int ok = fclose(f) == 0 && n == data.size();
    return ok;
}

int16_t tone_sample(long i, int rate, double frequency)
{
    return (int16_t)lrint(12000.0 * sin(6.283185307179586 * frequency * (double)i / rate));
}

void write_wave_format(Buf &o, int rate, int channels)
{
    o.u16(1);  // WAVE_FORMAT_PCM
    o.u16((uint16_t)channels);
    o.u32((uint32_t)rate);
    o.u32((uint32_t)(rate * channels * 2));
    o.u16((uint16_t)(channels * 2));
    o.u16(16);
}

}  // namespace

int media_write_wav(const char *path, double seconds, int rate, int channels, double frequency)
{
    long frames = lrint(seconds * rate);
    Buf o;
    size_t riff = o.begin_chunk("RIFF");
    o.fourcc("WAVE");
    size_t fmt = o.begin_chunk("fmt ");
    write_wave_format(o, rate, channels);
    o.end_chunk(fmt);
    size_t data = o.begin_chunk("data");
    for (long i = 0; i < frames; i++) {
        int16_t s = tone_sample(i, rate, frequency);
        for (int c = 0; c < channels; c++) o.u16((uint16_t)s);
    }
    o.end_chunk(data);
    o.end_chunk(riff);
    return save(path, o.b);
}

static void draw_frame(std::vector<uint8_t> &px, int w, int h, int stride, int n)
{
    static const uint8_t bars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                       {255, 0, 255}, {0, 0, 255},     {255, 0, 0},   {0, 0, 0}};  // BGR
    int box = h / 4 > 4 ? h / 4 : 4;
    int bx = (n * 4) % (w + box) - box, by = (h - box) / 2;
    for (int y = 0; y < h; y++) {
        uint8_t *row = &px[(size_t)(h - 1 - y) * stride];  // bottom-up rows
        for (int x = 0; x < w; x++) {
            const uint8_t *c = bars[(((x + n * 2) % w) * 8) / w];
            uint8_t b = c[0], g = c[1], r = c[2];
            if (y >= h * 3 / 4) b = g = r = (uint8_t)(x * 255 / (w > 1 ? w - 1 : 1));  // grey ramp strip
            if (x >= bx && x < bx + box && y >= by && y < by + box) b = g = r = (x - bx < 2 || y - by < 2) ? 40 : 250;
            row[x * 4 + 0] = b, row[x * 4 + 1] = g, row[x * 4 + 2] = r, row[x * 4 + 3] = 0;
        }
    }
}

int media_write_avi(const char *path, int width, int height, int fps, int frames, int audio_rate, double frequency)
{
    if (width < 1 || height < 1 || fps < 1 || frames < 1) return 0;
    const int stride = width * 4;
    const uint32_t frame_bytes = (uint32_t)(stride * height);
    const int streams = audio_rate > 0 ? 2 : 1;
    std::vector<long> audio_split;  // first sample of each frame's audio chunk
    for (int n = 0; n <= frames; n++) audio_split.push_back(audio_rate > 0 ? (long)((int64_t)n * audio_rate / fps) : 0);
    const uint32_t max_audio = audio_rate > 0 ? (uint32_t)((audio_rate / fps + 1) * 2) : 0;

    Buf o;
    size_t riff = o.begin_chunk("RIFF");
    o.fourcc("AVI ");
    size_t hdrl = o.begin_chunk("LIST");
    o.fourcc("hdrl");
    size_t avih = o.begin_chunk("avih");
    o.u32((uint32_t)(1000000 / fps));
    o.u32(frame_bytes * fps + (uint32_t)audio_rate * 2);
    o.u32(0);
    o.u32(0x10 | 0x100);  // AVIF_HASINDEX | AVIF_ISINTERLEAVED
    o.u32((uint32_t)frames);
    o.u32(0);
    o.u32((uint32_t)streams);
    o.u32(frame_bytes);
    o.u32((uint32_t)width);
    o.u32((uint32_t)height);
    for (int i = 0; i < 4; i++) o.u32(0);
    o.end_chunk(avih);

    size_t strl = o.begin_chunk("LIST");
    o.fourcc("strl");
    size_t strh = o.begin_chunk("strh");
    o.fourcc("vids");
    o.u32(0);  // uncompressed
    o.u32(0);
    o.u16(0), o.u16(0);
    o.u32(0);
    o.u32(1);
    o.u32((uint32_t)fps);
    o.u32(0);
    o.u32((uint32_t)frames);
    o.u32(frame_bytes);
    o.u32(0xFFFFFFFFu);
    o.u32(0);
    o.u16(0), o.u16(0), o.u16((uint16_t)width), o.u16((uint16_t)height);
    o.end_chunk(strh);
    size_t strf = o.begin_chunk("strf");
    o.u32(40);
    o.u32((uint32_t)width);
    o.u32((uint32_t)height);
    o.u16(1);
    o.u16(32);
    o.u32(0);
    o.u32(frame_bytes);
    o.u32(0), o.u32(0), o.u32(0), o.u32(0);
    o.end_chunk(strf);
    o.end_chunk(strl);

    if (audio_rate > 0) {
        size_t astrl = o.begin_chunk("LIST");
        o.fourcc("strl");
        size_t ah = o.begin_chunk("strh");
        o.fourcc("auds");
        o.u32(0);
        o.u32(0);
        o.u16(0), o.u16(0);
        o.u32(0);
        o.u32(2);                       // scale: block align
        o.u32((uint32_t)audio_rate * 2);  // rate: bytes per second
        o.u32(0);
        o.u32((uint32_t)audio_split[frames]);
        o.u32(max_audio);
        o.u32(0xFFFFFFFFu);
        o.u32(2);
        o.u16(0), o.u16(0), o.u16(0), o.u16(0);
        o.end_chunk(ah);
        size_t af = o.begin_chunk("strf");
        write_wave_format(o, audio_rate, 1);
        o.u16(0);  // cbSize
        o.end_chunk(af);
        o.end_chunk(astrl);
    }
    o.end_chunk(hdrl);

    struct Index { char id[4]; uint32_t offset, size; };
    std::vector<Index> index;
    size_t movi = o.begin_chunk("LIST");
    size_t movi_base = o.b.size();
    o.fourcc("movi");
    std::vector<uint8_t> px(frame_bytes, 0);
    for (int n = 0; n < frames; n++) {
        draw_frame(px, width, height, stride, n);
        index.push_back({{'0', '0', 'd', 'b'}, (uint32_t)(o.b.size() - movi_base), frame_bytes});
        size_t c = o.begin_chunk("00db");
        o.bytes(px.data(), px.size());
        o.end_chunk(c);
        if (audio_rate > 0) {
            long a0 = audio_split[n], a1 = audio_split[n + 1];
            index.push_back({{'0', '1', 'w', 'b'}, (uint32_t)(o.b.size() - movi_base), (uint32_t)((a1 - a0) * 2)});
            size_t ac = o.begin_chunk("01wb");
            for (long i = a0; i < a1; i++) o.u16((uint16_t)tone_sample(i, audio_rate, frequency));
            o.end_chunk(ac);
        }
    }
    o.end_chunk(movi);
    size_t idx1 = o.begin_chunk("idx1");
    for (const Index &e : index) {
        o.bytes(e.id, 4);
        o.u32(0x10);  // AVIIF_KEYFRAME
        o.u32(e.offset);
        o.u32(e.size);
    }
    o.end_chunk(idx1);
    o.end_chunk(riff);
    return save(path, o.b);
}

int media_write_garbage(const char *path, int bytes, unsigned seed)
{
    if (bytes < 0) return 0;
    std::vector<uint8_t> data((size_t)bytes);
    uint32_t x = seed ? seed : 1;
    for (uint8_t &b : data) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = (uint8_t)x;
    }
    return save(path, data);
}
