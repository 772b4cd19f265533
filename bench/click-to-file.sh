#!/usr/bin/env bash
# A save as a person makes it: the picture on the real clipboard (xclip, as
# PNG), Ctrl+S in the main window under Xvfb, until the numbered file is
# there (it appears complete). Median of RUNS saves per picture at 256
# colours; then each picture's PNG decode by Qt's reader, by libspng and by
# ours, and the whole save's speed-up from ours against Qt's reader.
#   bench/click-to-file.sh [RUNS] [PICTURE.png...]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
need_packages xvfb xauth xclip xdotool libspng-dev pkg-config
build_bench
cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target qorix-capture bench_decode >/dev/null
runs=${1:-5}
shift || true
pictures=("$@")
((${#pictures[@]})) || pictures=(bench/corpus/*3840x2160.png)

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<'INNER'
set -euo pipefail
program=$1 runs=$2 picture=$3
home=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/config" "$home/out"
printf '[Defaults]\nFilename=%s/out/cap\nAutoIncrement=1\n16Colours=False\n256Colurs=True\n' "$home" \
  >"$home/config/QORIX-Capture.conf"
HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=xcb "$program" 2>/dev/null &
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^QORIX Screen capture to bitmap$' | head -1)
xclip -selection clipboard -t image/png -i "$picture" 2>/dev/null &
sleep 0.5
xdotool windowfocus --sync "$window"
times=()
for ((i = 1; i <= runs; i++)); do
  file=$(printf '%s/out/cap%03d.BMP' "$home" "$i")
  start=$(date +%s%N)
  xdotool key ctrl+s
  until [[ -e $file ]]; do sleep 0.002; done
  times+=($(( ($(date +%s%N) - start) / 1000000 )))
done
printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
INNER

printf '%-40s %9s %8s %8s %8s %9s\n' picture click_ms qt_ms spng_ms ours_ms speed-up
for picture in "${pictures[@]}"; do
  click=$(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$inner" "$PWD/$build/qorix-capture" "$runs" "$picture")
  read -r _ _ qt spng ours < <("$build/bench/bench_decode" "$picture" --runs "$runs" | tail -1)
  speedup=$(awk -v t="$click" -v q="$qt" -v o="$ours" 'BEGIN { printf "%.2f", (t - o + q) / t }')
  printf '%-40s %9s %8s %8s %8s %9s\n' "$(basename "$picture")" "$click" "$qt" "$spng" "$ours" "$speedup"
done
