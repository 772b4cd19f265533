# Shared by the bench scripts, sourced from the project's root.

# Installs the Debian packages given that are not installed yet.
need_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  local sudo_=()
  [[ $(id -u) != 0 ]] && sudo_=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# Builds bench_conversion; sets build and bench.
build_bench() {
  scripts/setup run >/dev/null
  build=${QORIX_BUILD_DIR:-build}
  cmake --build "$build" --target bench_conversion >/dev/null
  bench=$build/bench/bench_conversion
}
