/* A program with the hazard the stack check looks for: more live SSE values
   than registers, so some are kept on the stack and used from there. */
#include <emmintrin.h>

__attribute__((noinline, target("sse2"))) int hazard(const __m128i *p, int n)
{
    __m128i a = p[0], b = p[1], c = p[2], d = p[3], e = p[4], f = p[5], g = p[6], h = p[7], k = p[8], m = p[9];
    for (int i = 0; i < n; i++) {
        a = _mm_add_epi16(a, m), b = _mm_add_epi16(b, k), c = _mm_add_epi16(c, h), d = _mm_add_epi16(d, g);
        e = _mm_add_epi16(e, f), f = _mm_add_epi16(f, a), g = _mm_add_epi16(g, b), h = _mm_add_epi16(h, c);
        k = _mm_add_epi16(k, d), m = _mm_add_epi16(m, e);
    }
    __m128i s = _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, d)),
                              _mm_add_epi16(_mm_add_epi16(e, f), _mm_add_epi16(_mm_add_epi16(g, h), _mm_add_epi16(k, m))));
    return _mm_cvtsi128_si32(s);
}

int main(int argc, char **argv)
{
    (void)argv;
    __m128i v[10] = {0};
    return hazard(v, argc);
}
