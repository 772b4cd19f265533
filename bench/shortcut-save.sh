#!/usr/bin/env bash
# The keyboard shortcut's save, start to file: a fresh `qorix-capture --save`
# per run with the picture held on the clipboard by xclip under Xvfb; in the
# same alternated rounds, the transfer floor (`xclip -o` into a file, then a
# file of our output's size written and synced) and a shell pipeline of two
# general tools at the same colour count (`xclip -o | convert ... bmp3:`).
# Prints the medians, the targets met or not, and the peak resident size of
# one --save of each picture. With --running, the window runs meanwhile (on a
# session bus of the bench's own), and each --save is handed to it.
#   bench/shortcut-save.sh [--running] [ROUNDS] [PICTURE.png...]
# Without pictures: the corpus's 4K desktops, a 1280x800 interface shot and
# the 640x400 crop (bench/make-corpus.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
need_packages xvfb xauth xclip imagemagick time dbus-daemon
scripts/setup run >/dev/null
program=$PWD/${QORIX_BUILD_DIR:-build}/qorix-capture
running=0
[[ ${1:-} == --running ]] && { running=1; shift; }
rounds=${1:-5}
shift || true
pictures=("$@")
((${#pictures[@]})) || pictures=(bench/corpus/screen-desktop-3840x2160.png bench/corpus/screen-text-3840x2160.png
                                 bench/corpus/ui-dark-gtk-1280x800.png bench/corpus/screen-crop-640x400.png)

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<'INNER'
set -euo pipefail
program=$1 rounds=$2 picture=$3 running=$4
home=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/config"
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=xcb
xclip -selection clipboard -t image/png -i "$picture" 2>/dev/null &
sleep 0.5
ms() { local start=$(date +%s%N); "$@" >/dev/null 2>&1; echo $(( ($(date +%s%N) - start) / 1000 )); }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.0f", v[int((NR + 1) / 2)] / 1000 }'; }
floor() {
  xclip -o -selection clipboard -t image/png >"$home/transfer.png"
  dd if=/dev/zero of="$home/floor.bin" bs="$1" count=1 conv=fsync status=none
  rm -f "$home/floor.bin"
}
# The window, started with the depth's options, once it answers on the bus.
start_window() {
  ((running)) || return 0
  "$program" >/dev/null 2>&1 &
  window=$!
  for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
      string:org.qorix.Capture 2>/dev/null | grep -q true && return 0
    sleep 0.1
  done
}
stop_window() { ((running)) && kill "$window" && wait "$window" 2>/dev/null || true; }
for depth in 16 256 display; do
  case $depth in
    16) key=16Colours convert=(-colors 16) ;;
    256) key=256Colurs convert=(-colors 256) ;;
    display) key=DisplayColours convert=() ;;
  esac
  printf '[Defaults]\nFilename=%s/out\nAutoIncrement=0\n16Colours=False\n%s=True\n' "$home" "$key" \
    >"$home/config/QORIX-Capture.conf"
  start_window
  "$program" --save --quiet >/dev/null
  size=$(stat -c %s "$home/out.BMP")
  : >"$home/save" && : >"$home/floor" && : >"$home/pipe"
  for ((r = 0; r < rounds; r++)); do
    rm -f "$home/out.BMP" "$home/pipe.bmp"
    ms "$program" --save --quiet >>"$home/save"
    ms floor "$size" >>"$home/floor"
    ms bash -c "xclip -o -selection clipboard -t image/png | convert png:- ${convert[*]} bmp3:$home/pipe.bmp" >>"$home/pipe"
  done
  peak=$( { /usr/bin/time -f %M "$program" --save --quiet >/dev/null; } 2>&1 | tail -1)
  stop_window
  echo "$depth $(median <"$home/save") $(median <"$home/floor") $(median <"$home/pipe") $size $peak"
done
INNER

printf '%-32s %7s %8s %8s %8s  %-36s %8s\n' picture depth save_ms floor_ms pipe_ms targets peak_mb
for picture in "${pictures[@]}"; do
  read -r width height < <(identify -format '%w %h\n' "$picture")
  bus=(); ((running)) && bus=(dbus-run-session --)
  xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "${bus[@]}" bash "$inner" "$program" "$rounds" "$PWD/$picture" "$running" |
    while read -r depth save floor pipe size peak; do
      # 4K: at most half the pipeline (the pipeline's time at display depth)
      # and twice the floor; smaller: within 60 ms of the floor. Handed to
      # the running window: at 4K twice the floor (the floor and 60 ms at
      # display depth), smaller within 20 ms of the floor. Memory: the
      # input's pixels, the output and 64 MB.
      verdict=$(awk -v w="$width" -v h="$height" -v d="$depth" -v s="$save" -v f="$floor" -v p="$pipe" \
                    -v size="$size" -v peak="$peak" -v running="$running" 'BEGIN {
        if (running && w * h >= 3840 * 2160) {
          target = d == "display" ? f + 60 : 2 * f
          ok = s <= target
          text = sprintf("%s<=%.0f", d == "display" ? "floor+60" : "floorx2", target)
        } else if (running) {
          ok = s <= f + 20
          text = sprintf("floor+20<=%.0f", f + 20)
        } else if (w * h >= 3840 * 2160) {
          pipeTarget = d == "display" ? p : p / 2
          ok = s <= pipeTarget && s <= 2 * f
          text = sprintf("pipe<=%.0f floorx2<=%.0f", pipeTarget, 2 * f)
        } else {
          ok = s <= f + 60
          text = sprintf("floor+60<=%.0f", f + 60)
        }
        memory = peak <= (w * h * 4 + size) / 1024 + 64 * 1024
        printf "%s %s mem %s", ok ? "met" : "MISSED", text, memory ? "met" : "MISSED"
      }')
      printf '%-32s %7s %8s %8s %8s  %-36s %8.1f\n' "$(basename "$picture")" "$depth" "$save" "$floor" "$pipe" \
        "$verdict" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')"
    done
done
