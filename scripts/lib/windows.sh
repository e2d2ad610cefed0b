# The Windows leg: the core and the Windows platform layer cross-built with
# MinGW-w64, and their tests run under Wine in a throw-away prefix.
# shellcheck shell=bash
: "${VHB_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
VHB_WIN_BUILD="${VHB_WIN_BUILD:-$VHB_ROOT/build-win}"

# Debian packages of the leg (the posix thread model gives std::thread).
VHB_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine64 wine
)

# Installs what is missing; fails quietly when apt cannot install it.
_vhb_windows_install() {
  local missing=() p
  for p in "${VHB_WINDOWS_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
      command -v sudo >/dev/null 2>&1 || return 1
      sudo="sudo -n"
    fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq >/dev/null 2>&1 || true
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null || return 1
  fi
  command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 && command -v wine >/dev/null 2>&1
}

# Runs inside the network namespace: makes the prefix, runs every test
# program, prints one line per test and a summary. $1 = the build's bin folder.
_vhb_windows_run() {
  local bin=$1
  ip link set lo up 2>/dev/null || true
  # The prefix maps its Desktop and Documents folders to HOME, and Wine's menu
  # builder turns links into desktop entries: both stay inside the temporary
  # folder. No Gecko or Mono installer either: the tests need neither.
  export HOME="$WINEPREFIX.home" XDG_CONFIG_HOME="$WINEPREFIX.home/.config"
  export XDG_DATA_HOME="$WINEPREFIX.home/.local/share"
  # Wine keeps its server's socket folder under TMPDIR.
  export TMPDIR="$WINEPREFIX.tmp"
  mkdir -p "$HOME" "$TMPDIR"
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; return 1; }
  wineserver -w

  local exe name log passed=0 failed=0 t0 rc
  local failures=()
  for exe in "$bin"/*.exe; do
    [ -e "$exe" ] || continue
    name=$(basename "$exe" .exe)
    log="$WINEPREFIX/$name.log"
    t0=$SECONDS
    rc=0
    timeout 180 wine "$exe" >"$log" 2>&1 || rc=$?
    if [ $rc -eq 0 ]; then
      passed=$((passed + 1))
      printf '  PASS  %-32s %3ds  %s\n' "$name" $((SECONDS - t0)) \
        "$(grep -Eo '\[  PASSED  \] [0-9]+ tests?' "$log" | tail -1 | sed 's/\[  PASSED  \] //')"
    else
      failed=$((failed + 1))
      failures+=("$name")
      printf '  FAIL  %-32s %3ds  (exit %d)\n' "$name" $((SECONDS - t0)) $rc
      sed 's/^/        /' "$log" | grep -v '^        \[ *\(RUN\|OK\) ' | tail -80
    fi
  done
  wineserver -k 2>/dev/null || true
  echo "Windows tests: $passed passed, $failed failed${failures:+ (${failures[*]})}"
  [ $((passed + failed)) -gt 0 ] || { echo "no test programs found in $bin"; return 1; }
  [ $failed -eq 0 ]
}

# Called by scripts/test. Returns non-zero when a test fails or the cross
# build breaks; 0 with a SKIPPED line when the tools cannot be installed.
vhb_windows_tests() {
  local start=$SECONDS
  echo "== Windows leg: MinGW-w64 cross build, tests under Wine"
  if ! _vhb_windows_install; then
    echo "Windows tests SKIPPED: MinGW-w64 or Wine cannot be installed (${VHB_WINDOWS_PACKAGES[*]})"
    return 0
  fi
  if ! cmake -S "$VHB_ROOT" -B "$VHB_WIN_BUILD" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$VHB_ROOT/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DVHB_BUILD_SHELL=OFF -DVHB_BUILD_BENCH=OFF \
      -DVHB_WERROR="$([ "${CI:-}" = "true" ] && echo ON || echo OFF)" >/dev/null; then
    echo "Windows cross build: configure failed"
    return 1
  fi
  if ! cmake --build "$VHB_WIN_BUILD" -j "$(nproc)" >"$VHB_WIN_BUILD/build.log" 2>&1; then
    tail -40 "$VHB_WIN_BUILD/build.log"
    echo "Windows cross build: build failed (log: $VHB_WIN_BUILD/build.log)"
    return 1
  fi

  local prefix status=0
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/vhb-wine.XXXXXX")
  # The prefix lives for this run only; Wine wants it owned by the caller.
  export WINEPREFIX="$prefix/prefix" WINEDEBUG=-all
  local fn
  fn="$(declare -f _vhb_windows_run); _vhb_windows_run \"\$1\""
  # Only loopback inside: nothing a test sends, not even a name look-up,
  # leaves the machine.
  if [ "$(id -u)" -eq 0 ]; then
    unshare --net -- bash -c "$fn" bash "$VHB_WIN_BUILD/bin" || status=1
  else
    unshare --user --map-root-user --net -- bash -c "$fn" bash "$VHB_WIN_BUILD/bin" || status=1
  fi
  rm -rf "$prefix"
  unset WINEPREFIX WINEDEBUG
  echo "Windows leg took $((SECONDS - start)) s"
  return $status
}
