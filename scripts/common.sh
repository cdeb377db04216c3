# Shared by ./scripts/run and ./scripts/test: installs what the build needs and
# builds the project. Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${DLA_BUILD_DIR:-$ROOT/build}"

# Debian packages the build, the tests and the screenshots need. They are
# installed without recommendations, so anything that only a recommendation
# would bring in is named here: Qt's OpenGL module (Qt Charts' CMake package
# needs it), Qt's platform plugins (xcb, offscreen), xauth for xvfb-run.
# libxcb1-dev lets the window ask the X server for a window manager;
# openbox and wmctrl test maximise and restore under one. FFmpeg's
# libraries are for dla-encode, the movie encoder, and its tests. The web
# page: emscripten compiles the engine to WebAssembly; its test drives
# Debian's headless Chromium through chromium-driver and python3-selenium.
# The Python module is built for Debian's python3 and tested with its numpy,
# pandas, Dask, pytest, hypothesis, matplotlib and Pillow (which also
# decodes the web test's pictures).
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libspng-dev libcli11-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  xvfb xauth x11-apps x11-utils imagemagick fonts-wine fonts-dejavu-core
  libxcb1-dev openbox wmctrl
  emscripten chromium chromium-driver python3-selenium
  pybind11-dev python3-dev python3-numpy python3-pandas python3-distributed
  python3-pytest python3-hypothesis python3-matplotlib python3-pil
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
    echo "need root (or sudo) to run: $*" >&2; return 1; fi
}

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# build [extra cmake args...]: everything, or only the targets named in
# BUILD_TARGETS (space-separated).
build() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
  # shellcheck disable=SC2086 # a list of target names
  cmake --build "$BUILD_DIR" --parallel "$(nproc)" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
}

# build_web [OUT]: builds the web page into OUT (default build-web/site) and
# prints the folder.
build_web() {
  "$ROOT/web/build.sh" "${1:-$ROOT/build-web/site}"
}
