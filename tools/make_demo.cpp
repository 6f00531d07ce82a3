// Writes the demo clip that scripts/play shows when given no file: a few
// seconds of a moving test pattern with a 440 Hz tone.
#include <stdio.h>
#include <stdlib.h>

#include "media_writer.h"

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: make_demo OUTPUT.avi [SECONDS]\n");
        return 2;
    }
    int seconds = argc > 2 ? atoi(argv[2]) : 10;
    if (seconds < 1 || seconds > 600) seconds = 10;
    if (!media_write_avi(argv[1], 192, 144, 15, 15 * seconds, 22050, 440.0)) {
        fprintf(stderr, "make_demo: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
