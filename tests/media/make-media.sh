#!/usr/bin/env bash
# tests/media/make-media.sh FOLDER: media and tags as people's tools write
# them, made fresh for the tests by Debian's lame, eyeD3, mutagen, ffmpeg,
# sox, vorbis-tools and flac. Runs before the suites that read FOLDER.
set -euo pipefail
out=$1
rm -rf "$out" && mkdir -p "$out/names" && cd "$out"

sox -n -r 44100 -c 1 -b 16 -e signed-integer tone.wav synth 0.6 sine 440 vol 0.5
lame --quiet tone.wav tone.mp3
# Four scripts in file names.
for name in "Привет, мир" "東京" "Café" "Καλημέρα"; do cp tone.mp3 "names/$name.mp3"; done
# A 1 MB cover: eyeD3 puts it before the text frames; the ID3v1 tag lame
# wrote first is stale.
{ printf '\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00'; head -c 1048576 /dev/urandom; } >cover.jpg
lame --quiet --id3v1-only --tt "Stale" --ta "Stale" tone.wav cover.mp3
eyeD3 --quiet --to-v2.4 --add-image "cover.jpg:FRONT_COVER" -t "Fresh Title" -a "Fresh Artist" cover.mp3 >/dev/null
cp cover.mp3 "names/Fresh.mp3"
# Ogg Vorbis with a comment of 1.3 MB before its title, spanning many pages.
oggenc --quiet -o vorbis.ogg tone.wav
{ printf 'COMMENT=%s\n' "$(head -c 1300000 /dev/zero | tr '\0' x)"; echo "TITLE=Ogg Title"; echo "ARTIST=Ogg Artist"; } >comments.txt
vorbiscomment -w -c comments.txt vorbis.ogg
# FLAC with a picture block and its comments.
flac --silent --picture="3|image/jpeg||1x1x24|cover.jpg" --tag="TITLE=Flac Title" --tag="ARTIST=Flac Artist" -o tags.flac tone.wav
# WAV with an "id3 " chunk (mutagen) and WAV with UTF-8 INFO text (ffmpeg).
cp tone.wav id3chunk.wav
/usr/bin/python3 -c 'import sys
from mutagen.wave import WAVE
from mutagen.id3 import TIT2, TPE1
w = WAVE(sys.argv[1]); w.add_tags()
w.tags.add(TIT2(encoding=3, text="Chunk Title")); w.tags.add(TPE1(encoding=3, text="Chunk Artist")); w.save()' id3chunk.wav
ffmpeg -loglevel error -y -i tone.wav -metadata title="Été" -metadata artist="Œuvre" info.wav
rm -f tone.wav tone.mp3 cover.jpg comments.txt
