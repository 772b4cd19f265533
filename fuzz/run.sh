#!/usr/bin/env bash
# Builds the fuzz targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each one for a while on a copy of its seed corpus. Any crash,
# sanitizer report or broken property fails the run; its input is kept in
# the build folder.
#   fuzz/run.sh [SECONDS_EACH]     (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${QORIX_FUZZ_BUILD_DIR:-build-sanitize}
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DQORIX_SANITIZE=ON -DQORIX_FUZZ=ON -DQORIX_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target pcx_fuzz png_fuzz picture_fuzz vcard_fuzz conversions_fuzz roundtrip_fuzz
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
status=0
for target in pcx png picture vcard conversions roundtrip; do
  work="$build/fuzz-runs/$target"
  rm -rf "$work" && mkdir -p "$work/corpus"
  cp fuzz/corpus/$target/* "$work/corpus/"
  echo "== $target: $seconds s"
  if ! (cd "$work" && "../../fuzz/${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 corpus >log 2>&1); then
    echo "$target failed:"; tail -40 "$work/log"; status=1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/log" || true
done
exit $status
