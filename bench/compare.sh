#!/usr/bin/env bash
# Our conversion side by side with ImageMagick and pngquant, in the same run
# and on the same pictures (bench/corpus, made by bench/make-corpus.sh).
# Prints, per picture and colour count: our time (conversion + write, the
# conversion alone, and with the PNG decode), the peers' times, the time
# ratios, PSNR of each, our peak memory beyond the loaded input, and the
# floor (one copy of the input's pixels plus writing the bitmap's bytes to a
# new file with fdatasync) with our conversion + write as a multiple of it.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
[[ -d bench/corpus ]] || bench/make-corpus.sh
need_packages imagemagick pngquant
build_bench
runs=${RUNS:-5}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_RUNTIME_DIR=$tmp MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1

# Median wall time in milliseconds of a command that writes OUT, over $runs
# runs. Each run writes a new file, as a numbered save does: the last run's
# file is removed first, untimed, for every program alike.
median_ms() {
  local out=$1 times=()
  shift
  for ((i = 0; i < runs; i++)); do
    rm -f "$out"
    local start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    times+=($(( ($(date +%s%N) - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v n=$runs 'NR == int(n / 2) + 1 { printf "%.1f", $1 / 1000 }'
}

field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }

# im/ours: ImageMagick's time over ours (conversion + write); im/png: the
# same with our PNG decode counted, as ImageMagick's time counts its own.
printf '%-34s %4s %9s %8s %8s %8s %8s %8s %7s %7s %7s %7s %7s %7s %8s %7s\n' \
  picture bits pixels ours_ms convert with_png im_ms pq_ms im/ours im/png ours_dB im_dB pq_dB mem_MB floor_ms x_floor
for picture in bench/corpus/${PICTURES:-*}.png; do
  name=$(basename "$picture" .png)
  for bits in ${BITS:-1 4 8}; do
    colours=$((1 << bits))
    ours=$("$bench" measure "$picture" $bits "$tmp/ours.bmp" $runs 2>/dev/null)
    im_ms=$(median_ms "$tmp/im.bmp" /usr/bin/convert "$picture" -alpha off +dither -colors $colours -type Palette BMP3:"$tmp/im.bmp")
    im_db=$("$bench" psnr "$picture" "$tmp/im.bmp" 2>/dev/null)
    pq_ms=- pq_db=-
    if ((bits > 1)); then
      pq_ms=$(median_ms "$tmp/pq.png" pngquant --nofs --speed 1 --force -o "$tmp/pq.png" $colours -- "$picture")
      pq_db=$("$bench" psnr "$picture" "$tmp/pq.png" 2>/dev/null)
    fi
    convert=$(echo "$ours" | field convert_ms) total=$(echo "$ours" | field total_ms)
    printf '%-34s %4s %9s %8s %8s %8s %8s %8s %7.1f %7.1f %7s %7s %7s %7s %8s %7s\n' "$name" $bits \
      "$(echo "$ours" | field pixels)" "$convert" "$(echo "$ours" | field conversion_ms)" "$total" "$im_ms" "$pq_ms" \
      "$(echo "$im_ms $convert" | awk '{ print $1 / $2 }')" "$(echo "$im_ms $total" | awk '{ print $1 / $2 }')" \
      "$(echo "$ours" | field psnr)" "$im_db" "$pq_db" "$(echo "$ours" | field peak_extra_mb)" \
      "$(echo "$ours" | field floor_ms)" "$(echo "$ours" | field x_floor)"
  done
done
