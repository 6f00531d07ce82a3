/* Native peer for the engine benchmark: pixman's OVER of a half-transparent
 * premultiplied source onto an a8r8g8b8 destination, timed the same way as
 * the engine's own rows (median of repetitions; 1024 x 1024 as one
 * operation, 32 x 32 as batches of 128 operations onto the cells of a
 * 512 x 256 image, restored before each repetition). Prints
 * "pixman_over <size> <Mpixels/s>" per size. */
#include <pixman.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pixman_util.h"

static uint32_t rng_state = 12345;
static uint32_t rng(void) { return xorshift(&rng_state); }

/* Alpha 127 (transparency byte 128), colour premultiplied. */
static uint32_t half_transparent(void)
{
    uint32_t c = rng(), a = 127, r = ((c >> 16) & 255) * a / 255, g = ((c >> 8) & 255) * a / 255,
             b = (c & 255) * a / 255;
    return (a << 24) | (r << 16) | (g << 8) | b;
}

static double run(int size, int reps)
{
    int src_w = size, src_h = size, dst_w = size == 32 ? 512 : size, dst_h = size == 32 ? 256 : size;
    int cells = size == 32 ? (dst_w / 32) * (dst_h / 32) : 1;
    uint32_t *src_bits = malloc((size_t)src_w * src_h * 4);
    uint32_t *dst_bits = malloc((size_t)dst_w * dst_h * 4);
    uint32_t *pristine = malloc((size_t)dst_w * dst_h * 4);
    for (int i = 0; i < src_w * src_h; i++)
        src_bits[i] = half_transparent();
    for (int i = 0; i < dst_w * dst_h; i++)
        pristine[i] = 0xFF000000u | (rng() & 0x00FFFFFF);
    pixman_image_t *src = pixman_image_create_bits(PIXMAN_a8r8g8b8, src_w, src_h, src_bits, src_w * 4);
    pixman_image_t *dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, dst_w, dst_h, dst_bits, dst_w * 4);
    double *samples = malloc(sizeof(double) * reps);
    for (int r = 0; r < reps; r++) {
        memcpy(dst_bits, pristine, (size_t)dst_w * dst_h * 4);
        double t0 = now();
        for (int c = 0; c < cells; c++) {
            int x = (c % (dst_w / size)) * size, y = (c / (dst_w / size)) * size;
            pixman_image_composite32(PIXMAN_OP_OVER, src, NULL, dst, 0, 0, 0, 0, x, y, size, size);
        }
        samples[r] = now() - t0;
    }
    double mpix = (double)size * size * cells / median(samples, reps) / 1e6;
    pixman_image_unref(src);
    pixman_image_unref(dst);
    free(samples);
    free(src_bits);
    free(dst_bits);
    free(pristine);
    return mpix;
}

int main(void)
{
    printf("pixman_over 1024 %.1f\n", run(1024, 31));
    printf("pixman_over 32 %.1f\n", run(32, 301));
    return 0;
}
