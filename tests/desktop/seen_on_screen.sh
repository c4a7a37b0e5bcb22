#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs Wakewell in an X server of its own, as a person would see it: finds its window by its
# title, reads the client size, clicks through the three sizes that the clicks reach (normal,
# enlarged by the "V" button, full by the hundredth click on the alarm clock picture), takes a
# screenshot of each, closes the window and checks that the program ends with status 0.
# From the screenshots' pixels alone it checks that every text field, the drive box and both
# lists on screen show a frame that is not black, and that every caption is there whole: each
# label's text ends 2 pixels before its box's right edge, and OCR (tesseract) reads each label
# and button back as its caption.
# Usage: seen_on_screen.sh <program> <closewindow helper> [scale]
# With a scale of 2 the program runs as on a screen that scales by 2 (QT_SCALE_FACTOR): every
# size and position is twice as many pixels.
# With SCREENSHOT_DIR set, the screenshots are kept there as normal.png, enlarged.png and
# full.png; at a scale of 2 as normal-scale2.png and so on.
set -euo pipefail
program=$1 closewindow=$2 scale=${3:-1}
command -v tesseract >/dev/null || { echo "FAIL: no tesseract (scripts/setup.sh installs it)" >&2; exit 1; }

work=$(mktemp -d)
xvfb= pulse= app=
finish() {
    for pid in $app $pulse $xvfb; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
. "$(dirname "$0")/xserver.sh"

start_xvfb $((1280 * scale))x$((1024 * scale))
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

# A sound server with a null sink, so that the program finds a sound output as on a desktop.
if command -v pulseaudio >/dev/null; then
    pulseaudio -n --daemonize=no --exit-idle-time=-1 -L module-native-protocol-unix \
        -L "module-null-sink sink_name=test_sink" >"$work/pulse.log" 2>&1 &
    pulse=$!
    wait_for test -S "$XDG_RUNTIME_DIR/pulse/native" || fail "PulseAudio did not start"
fi

QT_SCALE_FACTOR=$scale "$program" >"$work/wakewell.log" 2>&1 &
app=$!
wait_for find_window || fail "no window titled \"Wakewell of Your\""

client_size() { xwininfo -id "$window" | awk '/^  Width:/ {w = $2} /^  Height:/ {h = $2} END {print w "x" h}'; }
expect_size() {
    is_size() { [ "$(client_size)" = "$1" ]; }
    wait_for is_size "$1" || fail "client size $(client_size), expected $1 ($2)"
}
expect_title() {
    local title
    title=$(xdotool getwindowname "$window")
    [ "$title" = "$1" ] || fail "title \"$title\", expected \"$1\""
}
# A size in pixels at 15 twips per pixel, as the screen shows it at the scale.
size() { echo "$(($1 * scale))x$(($2 * scale))"; }
shot=
screenshot() {
    # The size is there; give the window a moment to paint it.
    sleep 0.5
    shot="${SCREENSHOT_DIR:-$work}/$1$([ "$scale" = 1 ] || echo "-scale$scale").png"
    import -window "$window" "$shot"
}
# Client pixels: Command2 at (256, 8) 25 x 17, Picture1 at (40, 96) 81 x 65.
click_at() { xdotool mousemove --window "$window" $(($1 * scale)) $(($2 * scale)) click 1; }
click_command2() { click_at 268 16; }

# A control's box in the screenshot's pixels, from its left, top, width and height in twips,
# each whole pixels as the window lays it out: the variables x, y, w and h.
box() { x=$(($1 / 15 * scale)) y=$(($2 / 15 * scale)) w=$(($3 / 15 * scale)) h=$(($4 / 15 * scale)); }
# Fields, each given as its name and its box in twips: the outermost pixels of each one's
# frame, in the middle of each edge, are not black.
expect_frames() {
    local field points=() names=() format='' p levels
    for field in "$@"; do
        # shellcheck disable=SC2086 # the name and the four numbers
        set -- $field
        box "$2" "$3" "$4" "$5"
        points+=("$((x + w / 2)),$y" "$((x + w / 2)),$((y + h - 1))" "$x,$((y + h / 2))"
                 "$((x + w - 1)),$((y + h / 2))")
        names+=("$1" "$1" "$1" "$1")
    done
    for p in "${points[@]}"; do format+="%[fx:int(255 * p{$p}.intensity)] "; done
    read -ra levels <<<"$(convert "$shot" -format "$format" info:)"
    for p in "${!points[@]}"; do
        [ "${levels[$p]}" -gt 64 ] || fail "${names[$p]} shows no frame at (${points[$p]}) in $shot"
    done
}
# Captions to read back with OCR, each with a picture of its box made for tesseract: the
# text's pixels (the further arguments pick them), grey, dark on light, scaled to text some
# 40 pixels high. read_captions reads them all at once, as tesseract takes a while to start.
captions=() pictures=() shots=()
want_reading() {
    local picture="$work/caption-${#pictures[@]}.png"
    convert "$shot" -crop "${4}x${5}+${2}+${3}" +repage "${@:6}" -colorspace gray \
        -fx 'mean < 0.5 ? 1 - u : u' -resize $((400 / scale))% -bordercolor white -border 20 \
        "$picture"
    captions+=("$1") pictures+=("$picture") shots+=("$shot")
}
# Each caption reads as its text, blanks run together.
read_captions() {
    printf '%s\n' "${pictures[@]}" >"$work/pictures.txt"
    local seen i wanted
    mapfile -t seen < <(tesseract "$work/pictures.txt" - --psm 7 2>/dev/null |
        awk 'BEGIN { RS = "\f" } { gsub(/[ \n]+/, " "); sub(/^ /, ""); sub(/ $/, ""); print }')
    for i in "${!captions[@]}"; do
        wanted=$(tr -s ' ' <<<"${captions[$i]}" | sed 's/^ //')
        [ "${seen[$i]-}" = "$wanted" ] ||
            fail "\"${captions[$i]}\" reads as \"${seen[$i]-}\" in ${shots[$i]}"
    done
    captions=() pictures=() shots=()
}
# A label, green on black: its text's last green pixel lies 2 pixels (at the scale) before the
# box's right edge, and the text reads as the caption. Green less red keeps the text and drops
# the grey frame of a field that overlaps the box.
expect_label() {
    box "$2" "$3" "$4" "$5"
    local trim
    trim=$(convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage -fx 'g - r' -threshold 25% \
        -format '%@' info:)
    local width=${trim%%x*} left=${trim#*+}
    left=${left%%+*}
    [ $((left + width)) -le $((w - 2 * scale)) ] ||
        fail "\"$1\" ends at $((left + width)) of its box's $w pixels in $shot"
    want_reading "$1" "$x" "$y" "$w" "$h" -fx 'g - r'
}
# A button: inside its bevel (3 pixels at the scale) the text, where it differs from the
# button's face, touches neither side, and it reads as the caption (a single letter is too
# little for OCR to read reliably).
expect_button() {
    box "$2" "$3" "$4" "$5"
    local b=$((3 * scale)) trim
    x=$((x + b)) y=$((y + b)) w=$((w - 2 * b)) h=$((h - 2 * b))
    trim=$(convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage -fuzz 25% -format '%@' info:)
    local width=${trim%%x*} left=${trim#*+}
    left=${left%%+*}
    ((left > 0 && left + width < w)) ||
        fail "\"$1\" runs from $left to $((left + width)) of its button's $w pixels in $shot"
    [ "${#1}" -eq 1 ] || want_reading "$1" "$x" "$y" "$w" "$h"
}
# What the alarm panel shows at the normal and the enlarged size (positions in twips).
expect_alarm_panel() {
    expect_frames "Text1 120 0 3735 285" "Text2 3000 720 1215 285" "Text3 3000 1200 1215 285" \
        "Text4 3000 1560 1215 285" "Text5 3000 1920 1215 285"
    expect_label "sound alarm at: (ex. 3:34:00 PM)" 600 720 2415 255
    expect_label "sound alarm in...               hours:" 600 1200 2415 255
    expect_label "   minutes:" 2160 1560 735 255
    expect_label "seconds:" 2280 1920 735 255
    expect_button "V" 3840 120 375 255
}

expect_size "$(size 294 172)" "normal"
expect_title "Wakewell of Your"
screenshot normal
expect_alarm_panel

click_command2
expect_size "$(size 441 350)" "enlarged"
expect_title "up"
screenshot enlarged
expect_alarm_panel
expect_frames "cmbDrives 120 2640 1935 315" "lstFiles 120 3000 6375 1425" \
    "lstSelected 120 4920 6375 255"
expect_button "Stop Song" 2880 2640 1455 255
expect_button "Up" 2160 2640 495 315
expect_button "Add" 240 4440 1215 375
expect_button "Remove" 1560 4440 1215 375
expect_button "Clear" 2880 4440 1215 375
read_captions

# The first click on the picture gives the normal size back; the hundredth, at the normal
# size, the full one. Clicks alternate between two points far apart, so that no two make a
# double click.
click_at 55 128
expect_size "$(size 294 172)" "normal after a click on the picture"
expect_title "up"
clicks=()
for ((i = 2; i <= 100; i++)); do
    clicks+=(mousemove --window "$window" $(((i % 2 ? 55 : 105) * scale)) $((128 * scale))
             click --delay 1 1)
done
xdotool "${clicks[@]}"
expect_size "$(size 841 253)" "full"
screenshot full

close_window "$closewindow"
echo "seen on screen at scale $scale: $(size 294 172), $(size 441 350), $(size 841 253)," \
    "every frame and caption whole; closed with status 0"
