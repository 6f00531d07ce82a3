/* Pieces shared by the native pixman peers: the clock, the pixel generator
 * and the median of a run's samples. */
#ifndef PIXMAN_UTIL_H
#define PIXMAN_UTIL_H
#include <stdint.h>
#include <stdlib.h>
#include <time.h>

static inline double now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

static inline int cmp_double(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y;
}

/* Sorts the samples in place. */
static inline double median(double *samples, int n)
{
    qsort(samples, n, sizeof(double), cmp_double);
    return samples[n / 2];
}

/* xorshift32, as in the engine's benchmarks. */
static inline uint32_t xorshift(uint32_t *state)
{
    *state ^= *state << 13;
    *state ^= *state >> 17;
    *state ^= *state << 5;
    return *state;
}

#endif
