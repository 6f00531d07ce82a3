/* Native peer for the scaling benchmark: pixman's bilinear scaling (SRC, a
 * 2x enlargement) of a 512 x 512 a8r8g8b8 image onto a 1024 x 1024 one, and
 * of a 16 x 16 one onto each of the 128 cells, 32 x 32, of a 512 x 256 one,
 * timed like the engine's rows: the median of repetitions, destination
 * pixels per second. Prints "pixman_bilinear 1024 <Mpixels/s>" and
 * "pixman_bilinear 32 <Mpixels/s>". */
#include <pixman.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pixman_util.h"

static uint32_t rng_state = 2468;
static uint32_t rng(void) { return xorshift(&rng_state); }

/* Mpixels/s of cells x (dw x dh) destination pixels from an sw x sh source. */
static double bilinear(int sw, int sh, int dw, int dh, int cells_x, int cells_y, int reps)
{
    int w = dw * cells_x, h = dh * cells_y;
    uint32_t *src_bits = malloc((size_t)sw * sh * 4), *dst_bits = malloc((size_t)w * h * 4);
    for (int i = 0; i < sw * sh; i++)
        src_bits[i] = 0xFF000000u | (rng() & 0x00FFFFFF);
    memset(dst_bits, 0, (size_t)w * h * 4);
    pixman_image_t *src = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, src_bits, sw * 4);
    pixman_image_t *dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, dst_bits, w * 4);
    pixman_transform_t t;
    /* The transform maps destination coordinates to source coordinates. */
    pixman_transform_init_scale(&t, pixman_double_to_fixed((double)sw / dw), pixman_double_to_fixed((double)sh / dh));
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, NULL, 0);
    pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
    double samples[201];
    for (int r = 0; r < reps; r++) {
        double t0 = now();
        for (int cy = 0; cy < cells_y; cy++)
            for (int cx = 0; cx < cells_x; cx++)
                pixman_image_composite32(PIXMAN_OP_SRC, src, NULL, dst, 0, 0, 0, 0, cx * dw, cy * dh, dw, dh);
        samples[r] = now() - t0;
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
    free(src_bits);
    free(dst_bits);
    return (double)w * h / median(samples, reps) / 1e6;
}

int main(void)
{
    printf("pixman_bilinear 1024 %.1f\n", bilinear(512, 512, 1024, 1024, 1, 1, 15));
    printf("pixman_bilinear 32 %.1f\n", bilinear(16, 16, 32, 32, 16, 8, 201));
    return 0;
}
