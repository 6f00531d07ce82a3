/* Native peer for the scaling benchmark: pixman's bilinear scaling of a
 * 512 x 512 a8r8g8b8 image onto a 1024 x 1024 one (SRC, a 2x enlargement),
 * timed like the engine's rows: the median of repetitions, destination
 * pixels per second. Prints "pixman_bilinear 1024 <Mpixels/s>". */
#include <pixman.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pixman_util.h"

static uint32_t rng_state = 2468;
static uint32_t rng(void) { return xorshift(&rng_state); }

int main(void)
{
    const int sw = 512, sh = 512, dw = 1024, dh = 1024, reps = 15;
    uint32_t *src_bits = malloc((size_t)sw * sh * 4), *dst_bits = malloc((size_t)dw * dh * 4);
    for (int i = 0; i < sw * sh; i++)
        src_bits[i] = 0xFF000000u | (rng() & 0x00FFFFFF);
    memset(dst_bits, 0, (size_t)dw * dh * 4);
    pixman_image_t *src = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, src_bits, sw * 4);
    pixman_image_t *dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, dw, dh, dst_bits, dw * 4);
    pixman_transform_t t;
    /* The transform maps destination coordinates to source coordinates. */
    pixman_transform_init_scale(&t, pixman_double_to_fixed((double)sw / dw), pixman_double_to_fixed((double)sh / dh));
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, NULL, 0);
    pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
    double samples[15];
    for (int r = 0; r < reps; r++) {
        double t0 = now();
        pixman_image_composite32(PIXMAN_OP_SRC, src, NULL, dst, 0, 0, 0, 0, 0, 0, dw, dh);
        samples[r] = now() - t0;
    }
    printf("pixman_bilinear 1024 %.1f\n", (double)dw * dh / median(samples, reps) / 1e6);
    pixman_image_unref(src);
    pixman_image_unref(dst);
    free(src_bits);
    free(dst_bits);
    return 0;
}
