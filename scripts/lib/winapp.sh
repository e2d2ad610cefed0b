# The whole Windows program against the cached Qt for Windows: the cross
# build, the folder the program runs from (Qt DLLs, plugins and the MinGW
# runtime beside the executables), the tests under Wine and the zip.
# Sourced after common.sh and windows.sh (install, namespace, Wine).
# shellcheck shell=bash
: "${VHB_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
VHB_WIN_OUT="${VHB_WIN_OUT:-$VHB_ROOT/build-win}"
VHB_WIN_APP_BUILD="${VHB_WIN_APP_BUILD:-$VHB_WIN_OUT/whole}"
VHB_WIN_ZIP="$VHB_WIN_OUT/vesk-hb-win64.zip"
VHB_MINGW_OBJDUMP=x86_64-w64-mingw32-objdump
VHB_MINGW_STRIP=x86_64-w64-mingw32-strip
# The zip step's helpers run on Debian's Python, which has pefile; a python3
# earlier on PATH (a pyenv, say) may lack it.
VHB_PYTHON=/usr/bin/python3

# Debian packages of the zip step, beside the leg's (windows.sh).
VHB_WINAPP_PACKAGES=(python3 python3-pefile unzip)

# Configures the cross build of the whole program against Qt in $1.
vhb_winapp_configure() {
  local qt=$1
  cmake -S "$VHB_ROOT" -B "$VHB_WIN_APP_BUILD" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$VHB_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DVHB_QT_WIN_PREFIX="$qt" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DVHB_BUILD_BENCH=OFF \
    -DVHB_WERROR="$([ "${CI:-}" = "true" ] && echo ON || echo OFF)" >/dev/null
}

# Builds the given targets (all when none) of the whole program's build.
# $1 = parallel jobs.
vhb_winapp_build() {
  local jobs=$1
  shift
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  if ! nice -n 5 cmake --build "$VHB_WIN_APP_BUILD" -j "$jobs" "${targets[@]}" \
      >"$VHB_WIN_APP_BUILD/build.log" 2>&1; then
    grep -A12 'FAILED:' "$VHB_WIN_APP_BUILD/build.log" | head -60
    echo "Windows program: build failed (log: $VHB_WIN_APP_BUILD/build.log)"
    return 1
  fi
}

# The MinGW runtime DLL of that name, where the compiler has one.
_vhb_winapp_runtime_dll() {
  local path
  path=$(x86_64-w64-mingw32-g++-posix -print-file-name="$1" 2>/dev/null) || return 1
  [ -f "$path" ] && echo "$path"
}

# Copies $1 (an executable or DLL) and every DLL it needs from Qt ($2) or the
# MinGW runtime into folder $3 (the DLLs at its top); system DLLs stay out.
_vhb_winapp_copy_closure() {
  local qt=$2 dest=$3
  local queue=("$1") seen=" " file dll src
  while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    for dll in $("$VHB_MINGW_OBJDUMP" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
      case $seen in *" $dll "*) continue ;; esac
      seen="$seen$dll "
      if [ -f "$qt/bin/$dll" ]; then
        src="$qt/bin/$dll"
      elif src=$(_vhb_winapp_runtime_dll "$dll"); then
        :
      else
        continue
      fi
      cp "$src" "$dest/$dll"
      chmod 644 "$dest/$dll"
      queue+=("$src")
    done
  done
}

# The plugins the program loads: the platform, and the style Qt picks on
# Windows; the offscreen platform only for the tests.
VHB_WINAPP_PLUGINS=(platforms/qwindows.dll styles/qwindowsvistastyle.dll)

# Puts the DLLs and plugins that the executables in folder $2 need beside
# them, from Qt in $1. Extra plugins (for example platforms/qoffscreen.dll)
# follow.
vhb_winapp_deploy() {
  local qt=$1 dir=$2
  shift 2
  local exe plugin
  for plugin in "${VHB_WINAPP_PLUGINS[@]}" "$@"; do
    [ -f "$qt/plugins/$plugin" ] || { echo "Qt plugin missing: $qt/plugins/$plugin"; return 1; }
    mkdir -p "$dir/$(dirname "$plugin")"
    cp "$qt/plugins/$plugin" "$dir/$plugin"
    _vhb_winapp_copy_closure "$dir/$plugin" "$qt" "$dir"
  done
  for exe in "$dir"/*.exe; do
    _vhb_winapp_copy_closure "$exe" "$qt" "$dir"
  done
}

# Writes the zip from the program's build folder: the executables, the DLLs
# they need, the plugins and the README (scripts/lib/zip-readme.txt, with
# Windows line ends), stripped and without link time stamps (the cached Qt
# DLLs carry the time of their build), in a fixed order with fixed times, so
# that two builds of one commit give the same bytes. Then checks the
# program file's icon, version and manifest. $1 = Qt, $2 = the zip to write.
vhb_winapp_zip() {
  local qt=$1 zip=$2 bin="$VHB_WIN_APP_BUILD/bin" lib="$VHB_ROOT/scripts/lib"
  local stage="$VHB_WIN_OUT/zip/vesk-hb"
  rm -rf "$VHB_WIN_OUT/zip"
  mkdir -p "$stage"
  cp "$bin/vesk-hb.exe" "$bin/vesk-hb-device.exe" "$stage/"
  vhb_winapp_deploy "$qt" "$stage" || return 1
  local pe=()
  mapfile -t pe < <(find "$stage" -name '*.dll' -o -name '*.exe')
  "$VHB_MINGW_STRIP" --strip-unneeded "${pe[@]}" || return 1
  "$VHB_PYTHON" "$lib/pe_clear_stamps.py" "${pe[@]}" || return 1
  sed 's/$/\r/' "$lib/zip-readme.txt" >"$stage/README.txt"
  local epoch
  epoch=$(git -C "$VHB_ROOT" log -1 --format=%ct 2>/dev/null || echo 315532800)
  rm -f "$zip"
  "$VHB_PYTHON" "$lib/write_zip.py" "$VHB_WIN_OUT/zip" "$zip" "$epoch" || return 1
  echo "Wrote $zip ($(du -k "$zip" | cut -f1) KiB, $(unzip -Z1 "$zip" | wc -l) files)"
  "$VHB_PYTHON" "$lib/check_zip_exe.py" "$zip" "$VHB_ROOT"
}

# Runs under vhb_wine_isolated: the tests of the whole program through
# ctest, on no display (the component tests draw offscreen). $1 = build
# folder, then ctest arguments.
_vhb_winapp_run_tests() {
  local build=$1
  shift
  unset DISPLAY WAYLAND_DISPLAY
  local out="$WINEPREFIX.ctest.log" rc=0
  ctest --test-dir "$build" --timeout 180 --output-on-failure "$@" >"$out" 2>&1 || rc=$?
  # The code page run below starts a server of its own, in its locale.
  wineserver -k 2>/dev/null || true
  grep -E '^ *[0-9]+/[0-9]+ Test' "$out" | sed 's/^ */  /'
  if [ $rc -ne 0 ]; then
    grep -vE '^\[ *(RUN|OK) *\]' "$out" | grep -v 'Test *#' | tail -120 | sed 's/^/        /'
  fi
  local passed failed
  passed=$(grep -cE '^ *[0-9]+/[0-9]+ Test .* Passed' "$out")
  failed=$(grep -cE '^ *[0-9]+/[0-9]+ Test .*(\*\*\*|Failed|Not Run|Timeout|Exception)' "$out")
  # The program's texts in a code page that has their characters: Japanese.
  if [ -n "${VHB_JA_LOCPATH:-}" ] && [ -f "$build/bin/unit_win_ini.exe" ]; then
    if LOCPATH="$VHB_JA_LOCPATH" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 timeout 120 \
        wine "$build/bin/unit_win_ini.exe" --gtest_filter='WinSystemText*' >"$out.932" 2>&1; then
      passed=$((passed + 1))
      echo "  unit_win_ini in code page 932 ... Passed"
    else
      failed=$((failed + 1)) rc=1
      echo "  unit_win_ini in code page 932 ... Failed"
      tail -30 "$out.932" | sed 's/^/        /'
    fi
  fi
  echo "Windows program tests under Wine: $passed passed, $failed failed"
  [ $rc -eq 0 ] && [ "$passed" -gt 0 ]
}

# Runs the whole program's tests under Wine in a throw-away prefix, inside a
# network namespace with only loopback. Extra arguments go to ctest.
vhb_winapp_tests() {
  local prefix status=0
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/vhb-winapp.XXXXXX")
  # A Japanese locale of our own (no change to the system's), for Wine to
  # take its code page 932 from.
  mkdir -p "$prefix/locale"
  if [ -f "$VHB_WIN_APP_BUILD/bin/unit_win_ini.exe" ] &&
      localedef -i ja_JP -f UTF-8 "$prefix/locale/ja_JP.UTF-8" >/dev/null 2>&1; then
    export VHB_JA_LOCPATH="$prefix/locale"
  fi
  vhb_wine_isolated "$prefix" _vhb_winapp_run_tests "$VHB_WIN_APP_BUILD" "$@" || status=1
  rm -rf "$prefix"
  unset VHB_JA_LOCPATH
  return $status
}

# The leg of scripts/test, with Qt for Windows in $1: the program, the
# simulator and the component tests built (the core's unit tests run in the
# core leg already), the component tests under Wine, the zip, and the
# end-to-end cases with the unzipped program under Wine (as root).
vhb_winapp_leg() {
  local qt=$1 start=$SECONDS status=0
  vhb_install_missing "${VHB_WINAPP_PACKAGES[@]}" ||
    { echo "Windows program: cannot install ${VHB_WINAPP_PACKAGES[*]}"; return 1; }
  mkdir -p "$VHB_WIN_APP_BUILD"
  vhb_winapp_configure "$qt" || { echo "Windows program: configure failed"; return 1; }
  local tests
  tests=$(ctest --test-dir "$VHB_WIN_APP_BUILD" -N -R '^component_' | sed -n 's/^ *Test *#[0-9]*: //p')
  # shellcheck disable=SC2086
  vhb_winapp_build "$(nproc)" vesk-hb vesk-hb-device vhb-pdh-standin $tests || return 1
  vhb_winapp_deploy "$qt" "$VHB_WIN_APP_BUILD/bin" platforms/qoffscreen.dll || return 1
  vhb_winapp_tests -R '^component_' || status=1
  vhb_winapp_zip "$qt" "$VHB_WIN_ZIP" || status=1
  if [ "$(id -u)" -eq 0 ] && [ -x "$VHB_BUILD/bin/vesk-hb-device" ]; then
    local unzipped
    unzipped=$(mktemp -d "${TMPDIR:-/tmp}/vhb-winzip.XXXXXX")
    unzip -q "$VHB_WIN_ZIP" -d "$unzipped"
    echo "== end-to-end under Wine: the unzipped program in the network namespaces"
    VHB_E2E_SIM="$VHB_BUILD/bin/vesk-hb-device" \
      VHB_E2E_PDH="$VHB_WIN_APP_BUILD/bin/pdh-standin/pdh.dll" "$VHB_ROOT/tests/e2e/run.sh" \
      "$unzipped/vesk-hb" || status=1
    rm -rf "$unzipped"
  else
    echo "end-to-end under Wine SKIPPED: needs root and the Linux simulator in $VHB_BUILD/bin"
  fi
  echo "Windows program leg took $((SECONDS - start)) s"
  return $status
}
