#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the MP3 files that the tests play: tones of a second to twenty, synthesised by sox and
# encoded by lame, named by pitch and length, into the folder given.
#
#   tests/audio/make-songs.sh FOLDER
set -euo pipefail

if [ "$#" -ne 1 ]; then
    echo "usage: $0 FOLDER" >&2
    exit 2
fi
folder=$1
mkdir -p "$folder"
work=$(mktemp -d "${TMPDIR:-/tmp}/wakewell-songs.XXXXXX")
trap 'rm -rf "$work"' EXIT

# song NAME CHANNELS SECONDS HERTZ
song() {
    sox -n -r 44100 -c "$2" "$work/song.wav" synth "$3" sine "$4"
    lame --quiet "$work/song.wav" "$work/song.mp3"
    mv "$work/song.mp3" "$folder/$1"
}
song 440hz-1s.mp3 1 1 440
song 880hz-1s.mp3 1 1 880
song 440hz-2s.mp3 1 2 440
song 440hz-1.5s-stereo.mp3 2 1.5 440
song 660hz-1.5s-stereo.mp3 2 1.5 660
song 440hz-20s.mp3 1 20 440
for hz in 440 660 880; do song ${hz}hz-10s.mp3 1 10 $hz; done
