#!/usr/bin/env bash
# End-to-end test of the program in a real window: starts dla-model on an
# Xvfb screen, lets it run, takes a screenshot of the screen and checks it:
#   - the window's title;
#   - the lattice: white cells, red agents, black aggregate, nothing else;
#   - the chart: its title "free agents" and its red line.
# Then starts it again under a window manager (openbox): maximised, and
# "restore" gives the laid-out 731 x 460 client area with the whole frame,
# title bar included, on the screen.
# Usage: e2e.sh PATH/TO/dla-model OUTPUT_DIR   (exit 77: tools missing, skipped)
set -euo pipefail

program=$1
out=$2
mkdir -p "$out"

for tool in xvfb-run xauth import convert xprop xwininfo openbox wmctrl; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (./scripts/test installs it)"
    exit 77
  fi
done

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A bad command line: one line on standard error, exit status 2, before the
# program needs a display.
status=0
env -u DISPLAY -u QT_QPA_PLATFORM "$program" --agents 0 >"$out/bad.out" 2>"$out/bad.err" || status=$?
[ "$status" -eq 2 ] && [ "$(wc -l <"$out/bad.err")" -eq 1 ] && [ ! -s "$out/bad.out" ] ||
  fail "bad command line: exit $status, stderr: $(cat "$out/bad.err")"

# A real X server, not Qt's offscreen platform the other tests use.
unset QT_QPA_PLATFORM QT_SCALE_FACTOR
export LC_ALL=C.UTF-8

# Even sizes: the window fills the screen (no window manager), and Panel1
# (684 x 420) is centred in it without a half pixel to round.
width=1280
height=800

# The program's window id, once it has appeared (up to 10 s), or nothing.
find_window() {
  local window=""
  for _ in $(seq 100); do
    window=$(xwininfo -root -tree | awk '/"Diffusion Aggregation Model "/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.1
  done
  echo "$window"
}

inside() {
  local program=$1 out=$2
  "$program" >"$out/program.log" 2>&1 &
  local pid=$!
  local window
  window=$(find_window)
  if [ -z "$window" ]; then
    echo "FAIL: no window titled 'Diffusion Aggregation Model ' appeared"
    kill "$pid" 2>/dev/null || true
    return 1
  fi
  # Long enough for aggregates to form and the chart to draw a line.
  sleep 3
  import -window root "$out/screenshot.png"
  xprop -id "$window" _NET_WM_NAME WM_NAME >"$out/title.txt"
  xwininfo -id "$window" >"$out/window.txt"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

# Under openbox: the window's state and geometry maximised, then restored.
managed() {
  local program=$1 out=$2
  openbox >"$out/openbox.log" 2>&1 &
  local wm=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  "$program" >"$out/managed-program.log" 2>&1 &
  local pid=$!
  local window
  window=$(find_window)
  if [ -n "$window" ]; then
    # The window manager acts in its own time, later on a busy machine: wait
    # for each state (10 s at most) before reading the geometry.
    for _ in $(seq 100); do
      xprop -id "$window" _NET_WM_STATE 2>/dev/null | grep -q MAXIMIZED_HORZ && break
      sleep 0.1
    done
    sleep 0.5
    xprop -id "$window" _NET_WM_STATE >"$out/maximised-state.txt"
    xwininfo -id "$window" >"$out/maximised.txt"
    wmctrl -i -r "$window" -b remove,maximized_vert,maximized_horz
    for _ in $(seq 100); do
      xprop -id "$window" _NET_WM_STATE 2>/dev/null | grep -q MAXIMIZED || break
      sleep 0.1
    done
    sleep 0.5
    xprop -id "$window" _NET_WM_STATE >"$out/restored-state.txt"
    xwininfo -id "$window" >"$out/restored.txt"
    local frame
    frame=$(xwininfo -tree -id "$window" | awk '/Parent window id/ {print $4}')
    xwininfo -id "$frame" >"$out/restored-frame.txt"
  else
    echo "no window" >"$out/maximised-state.txt"
  fi
  kill "$pid" "$wm" 2>/dev/null || true
  wait "$pid" "$wm" 2>/dev/null || true
}

# xvfb-run is a POSIX shell script that drops exported bash functions, so the
# functions travel as text.
xvfb-run -a -s "-screen 0 ${width}x${height}x24" \
  bash -c "$(declare -f find_window inside)"'; inside "$1" "$2"' _ "$program" "$out"
xvfb-run -a -s "-screen 0 ${width}x${height}x24" \
  bash -c "$(declare -f find_window managed)"'; managed "$1" "$2"' _ "$program" "$out"

# The title, with its trailing blank, in both the modern and the old property.
grep -qx '_NET_WM_NAME(UTF8_STRING) = "Diffusion Aggregation Model "' "$out/title.txt" ||
  fail "window title: $(cat "$out/title.txt")"
grep -q '^WM_NAME.* = "Diffusion Aggregation Model "$' "$out/title.txt" ||
  fail "WM_NAME: $(cat "$out/title.txt")"

field() { awk -F: -v key="$1" '$1 ~ key {gsub(/ /, "", $2); print $2; exit}' "$out/${2:-window.txt}"; }
win_x=$(field "Absolute upper-left X")
win_y=$(field "Absolute upper-left Y")
win_w=$(field "Width")
win_h=$(field "Height")

# Under the window manager.
grep -q '_NET_WM_STATE_MAXIMIZED_VERT' "$out/maximised-state.txt" &&
  grep -q '_NET_WM_STATE_MAXIMIZED_HORZ' "$out/maximised-state.txt" ||
  fail "not maximised under openbox: $(cat "$out/maximised-state.txt")"
[ "$(field Width maximised.txt)" = "$width" ] ||
  fail "maximised under openbox the window is $(field Width maximised.txt) wide, not ${width}"
! grep -q 'MAXIMIZED' "$out/restored-state.txt" || fail "still maximised after restore"
restored="$(field Width restored.txt)x$(field Height restored.txt)"
[ "$restored" = "731x460" ] || fail "restored client area is ${restored}, not 731x460"
frame_x=$(field "Absolute upper-left X" restored-frame.txt)
frame_y=$(field "Absolute upper-left Y" restored-frame.txt)
frame_w=$(field Width restored-frame.txt)
frame_h=$(field Height restored-frame.txt)
echo "restored: client ${restored}, frame ${frame_w}x${frame_h}+${frame_x}+${frame_y}"
[ "$frame_x" -ge 0 ] && [ "$frame_y" -ge 0 ] && [ $((frame_x + frame_w)) -le "$width" ] &&
  [ $((frame_y + frame_h)) -le "$height" ] || fail "the restored frame is not on the screen"
[ "$(field "Absolute upper-left Y" restored.txt)" -gt "$frame_y" ] ||
  fail "no title bar above the restored client area"

# Without one, the window fills the screen.
[ "$win_w" = "$width" ] && [ "$win_h" = "$height" ] ||
  fail "window is ${win_w}x${win_h}, not the screen's ${width}x${height}"
panel_x=$((win_x + (win_w - 684) / 2))
panel_y=$((win_y + (win_h - 420) / 2))

# Counts of the colours in a region as "count r g b" lines.
colours() {
  convert "$out/screenshot.png" -crop "$1" +repage -depth 8 -format %c histogram:info:- |
    sed -E 's/^ *([0-9]+): \( *([0-9]+), *([0-9]+), *([0-9]+).*/\1 \2 \3 \4/'
}
count_of() { awk -v r="$2" -v g="$3" -v b="$4" '$2 == r && $3 == g && $4 == b {print $1}' <<<"$1"; }

lattice=$(colours "404x404+$((panel_x + 6))+$((panel_y + 6))")
white=$(count_of "$lattice" 255 255 255)
red=$(count_of "$lattice" 255 0 0)
black=$(count_of "$lattice" 0 0 0)
others=$(awk '!(($2 == 255 && $3 == 255 && $4 == 255) || ($2 == 255 && $3 == 0 && $4 == 0) ||
               ($2 == 0 && $3 == 0 && $4 == 0)) {n += $1} END {print n + 0}' <<<"$lattice")
echo "lattice: white=${white:-0} red=${red:-0} black=${black:-0} other=$others"
[ "${white:-0}" -gt $((404 * 404 / 2)) ] || fail "the lattice is not mostly white"
[ "${red:-0}" -ge 2000 ] || fail "too few red agent pixels"
[ "${black:-0}" -ge 200 ] || fail "no black aggregate"
[ "$others" -eq 0 ] || fail "$others lattice pixels are neither white, red nor black"

chart_x=$((panel_x + 416))
chart_y=$((panel_y + 223))
chart=$(colours "257x187+${chart_x}+${chart_y}")
line=$(count_of "$chart" 255 0 0)
echo "chart: red line pixels=${line:-0}"
[ "${line:-0}" -ge 150 ] || fail "the chart shows no red line"

# The chart's title: dark text at the top, centred, as wide as "free agents"
# set in the window's font. The band searched lies between the axis labels
# at the left and right, and the red line is taken out of it.
band_left=50
band_width=157
title_box=$(convert "$out/screenshot.png" -crop "${band_width}x20+$((chart_x + band_left))+$((chart_y + 2))" \
  +repage -fuzz 25% -fill white -opaque red -threshold 50% -negate -format '%@' info:)
title_w=${title_box%%x*}
title_left=$(sed -E 's/^[0-9]+x[0-9]+\+([0-9]+)\+.*/\1/' <<<"$title_box")
font=/usr/share/wine/fonts/tahoma.ttf
[ -f "$font" ] || font=DejaVu-Sans
expected_w=$(convert -density 96 -font "$font" -pointsize 7.5 label:"free agents" -trim -format '%w' info:)
echo "chart title: ${title_box} in the band (expected width about ${expected_w})"
[ "$title_w" -ge $((expected_w - 4)) ] && [ "$title_w" -le $((expected_w + 4)) ] ||
  fail "chart title is ${title_w} pixels wide, 'free agents' is ${expected_w}"
centre=$((band_left + title_left + title_w / 2))
[ "$centre" -ge $((257 / 2 - 6)) ] && [ "$centre" -le $((257 / 2 + 6)) ] ||
  fail "chart title is not centred (centre at $centre of 257)"

if [ "$failures" -gt 0 ]; then
  echo "screenshot: $out/screenshot.png"
  exit 1
fi
echo "PASS (screenshot: $out/screenshot.png)"
