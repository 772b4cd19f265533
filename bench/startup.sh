#!/usr/bin/env bash
# Builds the program and the start-up benchmark, then times the start in Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup test
build=${QORIX_BUILD_DIR:-build}
cmake --build "$build" --target bench_startup
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME=$home XDG_RUNTIME_DIR=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$build/bench/bench_startup" "$PWD/$build/qorix-capture" "${1:-20}"
