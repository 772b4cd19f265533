#!/usr/bin/env bash
# Checks that two builds write the same files: every picture of the bench
# corpus at 2, 16 and 256 colours and at the display's depth, through
# --convert and through --save (the picture held on the clipboard by xclip in
# Xvfb). Prints one line per difference and a summary; exit 1 on any.
#   bench/same-output.sh OLD_PROGRAM NEW_PROGRAM [PICTURE...]
# Without pictures, the whole of bench/corpus (bench/make-corpus.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
(($# >= 2)) || { echo "usage: $0 OLD_PROGRAM NEW_PROGRAM [PICTURE...]" >&2; exit 2; }
old=$(realpath "$1") new=$(realpath "$2")
shift 2
pictures=("$@")
((${#pictures[@]})) || pictures=(bench/corpus/*.png)
[[ -e ${pictures[0]} ]] || { echo "no pictures: run bench/make-corpus.sh first" >&2; exit 2; }
need_packages xvfb xauth xclip

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work
depths=(2 16 256 display)
# The option key each depth is stored under.
declare -A key=([2]=2Colours [16]=16Colours [256]=256Colurs [display]=DisplayColours)

# Every file one build writes, under $work/NAME/{convert,save}/.
outputs() {
  local program=$1 name=$2 picture base depth
  mkdir -p "$work/$name/convert" "$work/$name/save" "$work/$name/home/config"
  for picture in "${pictures[@]}"; do
    base=$(basename "${picture%.*}")
    for depth in "${depths[@]}"; do
      HOME=$work/$name/home "$program" --convert --colours "$depth" \
        --output "$work/$name/convert/$base-$depth.bmp" "$picture" >/dev/null
    done
  done
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -euo pipefail
    program=$1 out=$2 home=$3; shift 3
    for picture in "$@"; do
      base=$(basename "${picture%.*}")
      xclip -selection clipboard -t image/png -i "$picture" 2>/dev/null &
      holder=$!
      sleep 0.3
      for depth in 2 16 256 display; do
        case $depth in 2) k=2Colours ;; 16) k=16Colours ;; 256) k=256Colurs ;; display) k=DisplayColours ;; esac
        printf "[Defaults]\nFilename=%s/%s-%s\nAutoIncrement=0\nSavePrompt=0\n16Colours=False\n%s=True\n" \
          "$out" "$base" "$depth" "$k" >"$home/config/QORIX-Capture.conf"
        HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=xcb "$program" --save >/dev/null
      done
      kill $holder 2>/dev/null || true
      wait $holder 2>/dev/null || true
    done' _ "$program" "$work/$name/save" "$work/$name/home" "${pictures[@]}"
}

outputs "$old" old
outputs "$new" new
files=0 differ=0
for file in "$work"/old/convert/* "$work"/old/save/*; do
  other=$work/new/${file#"$work"/old/}
  files=$((files + 1))
  if ! cmp -s "$file" "$other"; then
    differ=$((differ + 1))
    echo "differs: ${file#"$work"/old/}"
  fi
done
count=$(find "$work/new/convert" "$work/new/save" -type f | wc -l)
echo "$files files from the old build, $count from the new, $differ differ"
((differ == 0 && files == count))
