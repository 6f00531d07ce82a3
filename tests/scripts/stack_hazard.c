/* More live SSE values than registers: some are kept on the stack and used
   from there, the hazard the stack check looks for. */
#include <emmintrin.h>
#define ADD _mm_add_epi16
__attribute__((noinline, target("sse2"))) int hazard(const __m128i *p, int n)
{
    __m128i a = p[0], b = p[1], c = p[2], d = p[3], e = p[4], f = p[5], g = p[6], h = p[7], k = p[8], m = p[9];
    for (int i = 0; i < n; i++)
        a = ADD(a, m), b = ADD(b, k), c = ADD(c, h), d = ADD(d, g), e = ADD(e, f), f = ADD(f, a), g = ADD(g, b),
        h = ADD(h, c), k = ADD(k, d), m = ADD(m, e);
    return _mm_cvtsi128_si32(ADD(ADD(ADD(a, b), ADD(c, d)), ADD(ADD(e, f), ADD(ADD(g, h), ADD(k, m)))));
}
int main(int argc, char **argv) { __m128i v[10] = {0}; return hazard(v, argc) + !argv; }
