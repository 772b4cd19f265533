#!/usr/bin/env bash
# The conversion bench of two builds, alternated round by round on the same
# pictures, so that both meet the same load of the machine: per picture and
# depth, the median over the rounds of each build's median conversion time
# (conversion_ms) and conversion + write (convert_ms).
#   bench/conversion-pair.sh OLD_BENCH NEW_BENCH [PICTURE...]
# OLD_BENCH and NEW_BENCH are bench_conversion programs; without pictures,
# the 4K screens and a 1280x800 one of bench/corpus. ROUNDS (5) and RUNS (5).
set -euo pipefail
cd "$(dirname "$0")/.."
(($# >= 2)) || { echo "usage: $0 OLD_BENCH NEW_BENCH [PICTURE...]" >&2; exit 2; }
old=$(realpath "$1") new=$(realpath "$2")
shift 2
pictures=("$@")
((${#pictures[@]})) || pictures=(bench/corpus/screen-*-3840x2160.png bench/corpus/wallpaper-kay-3840x2160.png
                                 bench/corpus/ui-dark-gtk-1280x800.png)
rounds=${ROUNDS:-5} runs=${RUNS:-5}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export XDG_RUNTIME_DIR=$out

field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] }'; }

printf '%-40s %4s %10s %10s %10s %10s\n' picture bits old_conv new_conv old_save new_save
for picture in "${pictures[@]}"; do
  for bits in 1 4 8; do
    : >"$out/old" && : >"$out/new"
    for ((r = 0; r < rounds; r++)); do
      for build in old new; do
        program=$old
        [[ $build == new ]] && program=$new
        "$program" measure "$picture" "$bits" "$out/out.bmp" "$runs" 2>/dev/null >>"$out/$build"
      done
    done
    printf '%-40s %4s %10s %10s %10s %10s\n' "$(basename "$picture")" "$bits" \
      "$(field conversion_ms <"$out/old" | median)" "$(field conversion_ms <"$out/new" | median)" \
      "$(field convert_ms <"$out/old" | median)" "$(field convert_ms <"$out/new" | median)"
  done
done
