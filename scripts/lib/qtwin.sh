# Qt for Windows, cross-built once from Debian's own qt6-base source with
# MinGW-w64 and kept in a cache folder outside the source tree. The folder's
# name carries the qt6-base version, the compiler's version and a hash of the
# recipe below, so a change to any of them builds a fresh tree beside the old.
# shellcheck shell=bash
: "${VHB_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
VHB_CACHE="${VHB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vesk-hb}"

# What the Qt build needs beyond the MinGW-w64 leg: Debian's host Qt tools
# (moc, rcc, uic run on this machine) and dpkg-source to unpack the source.
VHB_QTWIN_PACKAGES=(qt6-base-dev qt6-base-dev-tools dpkg-dev cmake ninja-build perl)

# The recipe. Everything the program does not use is switched off; the
# bundled libraries replace system ones, which MinGW does not have. OpenGL
# must be refused through its input (FEATURE_opengl alone leaves dynamic GL
# on and the windows platform plugin then fails to build). Debian's source
# drops the tablet headers, and the program needs no tablet.
VHB_QTWIN_OPTIONS=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_icu=OFF
  -DFEATURE_openssl=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_system_png=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_system_libb2=OFF -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF
  -DFEATURE_jpeg=OFF
)

# The cross toolchain of the Qt build: the shared MinGW runtime, which the
# Qt DLLs and the program then share.
_vhb_qtwin_toolchain() {
  cat <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}

# Versions that key the cache.
vhb_qtwin_qt_version() { dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null; }
vhb_qtwin_mingw_version() {
  local gcc dev
  command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || return 1
  gcc=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix 2>/dev/null)
  dev=$(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev 2>/dev/null)
  echo "${gcc}-${dev}"
}
vhb_qtwin_recipe_hash() {
  { declare -p VHB_QTWIN_OPTIONS; declare -f _vhb_qtwin_toolchain; } | sha256sum | cut -c1-12
}

# Prints the cache's name for this machine: qt-<version>_mingw-<version>_<recipe>.
vhb_qtwin_key() {
  local qt mingw
  qt=$(vhb_qtwin_qt_version) && [ -n "$qt" ] || return 1
  mingw=$(vhb_qtwin_mingw_version) && [ -n "$mingw" ] || return 1
  echo "qt-${qt//[:~]/_}_mingw-${mingw//[:~]/_}_$(vhb_qtwin_recipe_hash)"
}

# Prints the installed Qt tree when it is complete; fails otherwise.
vhb_qtwin_prefix() {
  local key
  key=$(vhb_qtwin_key) || return 1
  [ -f "$VHB_CACHE/$key/.complete" ] || return 1
  echo "$VHB_CACHE/$key"
}

# A deb-src line for the Debian archive this machine already installs from,
# kept in the cache with apt's lists: /etc stays untouched.
_vhb_qtwin_sources_line() {
  local codename uri="" keyring=/usr/share/keyrings/debian-archive-keyring.gpg f
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    uri=$(awk -v s="$codename" '
      /^URIs:/ { u = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == s) ok = 1 }
      /^$/ { if (ok && u) { print u; done = 1; exit } ok = 0; u = "" }
      END { if (!done && ok && u) print u }' "$f")
    [ -n "$uri" ] && break
  done
  if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
    uri=$(awk -v s="$codename" '$1 == "deb" && $0 ~ " " s " " {
      for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit } }' /etc/apt/sources.list)
  fi
  [ -n "$uri" ] && [ -n "$codename" ] || return 1
  echo "deb-src [signed-by=$keyring] $uri $codename main"
}

# Unpacks Debian's qt6-base source of the installed version into $1.
_vhb_qtwin_fetch() {
  local dest=$1 version apt_dir
  version=$(vhb_qtwin_qt_version)
  apt_dir="$VHB_CACHE/apt"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$dest"
  _vhb_qtwin_sources_line >"$apt_dir/sources.list" || {
    echo "no Debian archive found in /etc/apt to fetch qt6-base from"
    return 1
  }
  local opts=(-o "Dir::Etc::sourcelist=$apt_dir/sources.list" -o Dir::Etc::sourceparts=-
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
    -o APT::Sandbox::User=root)
  echo "Fetching qt6-base $version source ($(cat "$apt_dir/sources.list"))"
  apt-get "${opts[@]}" -qq update || return 1
  (cd "$dest" && apt-get "${opts[@]}" -q source "qt6-base=$version") || return 1
}

# Prints the build's progress (ninja's [n/N]) every minute while $1 runs.
_vhb_qtwin_progress() {
  local pid=$1 log=$2 line
  while kill -0 "$pid" 2>/dev/null; do
    sleep 60
    line=$(grep -o '^\[[0-9]*/[0-9]*\]' "$log" 2>/dev/null | tail -1)
    [ -n "$line" ] && echo "  Qt build $line ($(date +%H:%M))"
  done
}

# Configures, builds and installs Qt into $VHB_CACHE/<key>; the log is
# $VHB_CACHE/<key>.log. Runs with the lock held.
_vhb_qtwin_build() {
  local key=$1 jobs=$2
  local prefix="$VHB_CACHE/$key" work="$VHB_CACHE/$key.work" log="$VHB_CACHE/$key.log"
  rm -rf "$prefix" "$work"
  mkdir -p "$work"
  : >"$log"
  echo "Building Qt for Windows into $prefix (log: $log)"
  _vhb_qtwin_fetch "$work/src" >>"$log" 2>&1 || { tail -20 "$log"; echo "fetching qt6-base failed"; return 1; }
  local src
  src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
  [ -n "$src" ] || { echo "qt6-base source not unpacked (log: $log)"; return 1; }
  _vhb_qtwin_toolchain >"$work/toolchain.cmake"
  echo "== configure" >>"$log"
  if ! cmake -S "$src" -B "$work/build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
      -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
      "${VHB_QTWIN_OPTIONS[@]}" >>"$log" 2>&1; then
    tail -30 "$log"
    echo "Qt configure failed (log: $log)"
    return 1
  fi
  echo "== build" >>"$log"
  cmake --build "$work/build" -j "$jobs" >>"$log" 2>&1 &
  local bpid=$!
  _vhb_qtwin_progress "$bpid" "$log" &
  local ppid=$!
  local rc=0
  wait "$bpid" || rc=$?
  kill "$ppid" 2>/dev/null || true
  wait "$ppid" 2>/dev/null || true
  if [ $rc -ne 0 ]; then
    grep -B2 -A10 'FAILED:' "$log" | head -40
    echo "Qt build failed (log: $log)"
    return 1
  fi
  echo "== install" >>"$log"
  cmake --install "$work/build" >>"$log" 2>&1 || { tail -20 "$log"; echo "Qt install failed"; return 1; }
  cp "$work/toolchain.cmake" "$prefix/vhb-toolchain.cmake"
  date -u +%FT%TZ >"$prefix/.complete"
  rm -rf "$work"
  echo "Qt for Windows ready: $prefix ($(du -sh "$prefix" | cut -f1))"
}

# Makes sure the Qt for Windows of this machine's key exists; builds it when
# it does not. Two callers at once wait for each other's build.
vhb_qtwin_ensure() {
  local jobs=${1:-$(nproc)} key
  key=$(vhb_qtwin_key) || { echo "qt6-base-dev or MinGW-w64 missing"; return 1; }
  mkdir -p "$VHB_CACHE"
  (
    flock 9
    if [ -f "$VHB_CACHE/$key/.complete" ]; then
      echo "Qt for Windows from the cache: $VHB_CACHE/$key"
      exit 0
    fi
    _vhb_qtwin_build "$key" "$jobs"
  ) 9>"$VHB_CACHE/$key.lock"
}
