/* Native peer for the shape benchmark: pixman's solid fill of an a8r8g8b8
 * image, timed the same way as the engine's rows (median of repetitions;
 * 1024 x 1024 as one operation, 32 x 32 as batches of 128 operations onto
 * the cells of a 512 x 256 image). Prints "pixman_fill <size> <Mpixels/s>"
 * per size. */
#include <pixman.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "pixman_util.h"

static double run(int size, int reps)
{
    int w = size == 32 ? 512 : size, h = size == 32 ? 256 : size;
    int cells = size == 32 ? (w / 32) * (h / 32) : 1;
    uint32_t *bits = calloc((size_t)w * h, 4);
    double *samples = malloc(sizeof(double) * reps);
    for (int r = 0; r < reps; r++) {
        uint32_t colour = 0xFF204060u + (uint32_t)r;
        double t0 = now();
        for (int c = 0; c < cells; c++) {
            int x = (c % (w / size)) * size, y = (c / (w / size)) * size;
            pixman_fill(bits, w, 32, x, y, size, size, colour);
        }
        samples[r] = now() - t0;
    }
    double mpix = (double)size * size * cells / median(samples, reps) / 1e6;
    free(samples);
    free(bits);
    return mpix;
}

int main(void)
{
    printf("pixman_fill 1024 %.1f\n", run(1024, 41));
    printf("pixman_fill 32 %.1f\n", run(32, 401));
    return 0;
}
