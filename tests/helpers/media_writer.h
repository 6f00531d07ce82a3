// Writers of small media files for the tests and the demo clip: PCM WAV,
// uncompressed RGB AVI (with an optional PCM audio stream) and garbage bytes.
#pragma once

// A 16-bit PCM sine tone. Returns 1 when the file was written.
int media_write_wav(const char *path, double seconds, int rate, int channels, double frequency);

// A moving test pattern (colour bars sliding right, a white square crossing
// the picture), 32-bit bottom-up RGB frames. With audio_rate > 0 a mono 16-bit
// tone is interleaved, one chunk per frame. Returns 1 when written.
int media_write_avi(const char *path, int width, int height, int fps, int frames, int audio_rate, double frequency);

// Pseudo-random bytes from a fixed seed. Returns 1 when written.
int media_write_garbage(const char *path, int bytes, unsigned seed);
