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

# One Wine environment for every run under Wine: a throw-away prefix in
# folder $1, with HOME, the XDG folders and TMPDIR inside that folder too, so
# nothing Wine writes (the Desktop and Documents folders it maps to HOME, the
# desktop entries its menu builder makes from links) lands outside it. No
# Gecko or Mono installer and no menu builder: nothing here needs them.
vhb_wine_env() {
  local dir=$1
  export WINEPREFIX="$dir/prefix" WINEDEBUG=-all
  export HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config"
  export XDG_DATA_HOME="$dir/home/.local/share" TMPDIR="$dir/tmp"
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  mkdir -p "$HOME" "$TMPDIR"
}

# Makes the prefix. Runs inside the namespace: the Wine server it starts
# owns the sockets of the programs, so it must see only loopback as well.
_vhb_wine_boot() {
  wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; return 1; }
  wineserver -w
}

# Runs shell function $2 with the remaining arguments in the Wine
# environment of folder $1, inside a network namespace with only loopback
# (vhb_isolated): nothing a program sends, not even a name look-up, leaves
# the machine. The prefix is made first; Wine's server is stopped after.
vhb_wine_isolated() {
  local dir=$1 fn=$2
  shift 2
  (
    vhb_wine_env "$dir"
    vhb_isolated bash -c "$(declare -f _vhb_wine_boot "$fn")
      _vhb_wine_boot || exit 1
      $fn \"\$@\"
      rc=\$?
      wineserver -k 2>/dev/null
      exit \$rc" bash "$@"
  )
}

# Runs under vhb_wine_isolated: every test program, one line per test and a
# summary. $1 = the build's bin folder.
_vhb_windows_run() {
  local bin=$1
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
  echo "Windows tests: $passed passed, $failed failed${failures:+ (${failures[*]})}"
  [ $((passed + failed)) -gt 0 ] || { echo "no test programs found in $bin"; return 1; }
  [ $failed -eq 0 ]
}

# Called by scripts/test. Returns non-zero when a test fails or the cross
# build breaks; 0 with a SKIPPED line when the tools cannot be installed.
vhb_windows_tests() {
  local start=$SECONDS
  echo "== Windows leg: MinGW-w64 cross build, tests under Wine"
  if ! vhb_install_missing "${VHB_WINDOWS_PACKAGES[@]}" ||
      ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 ||
      ! command -v wine >/dev/null 2>&1; then
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
  vhb_wine_isolated "$prefix" _vhb_windows_run "$VHB_WIN_BUILD/bin" || status=1
  rm -rf "$prefix"
  echo "Windows leg took $((SECONDS - start)) s"
  return $status
}
