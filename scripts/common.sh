# Shared by ./scripts/run, ./scripts/test and ./scripts/package: installs
# what a command needs and builds the project. Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${DLA_BUILD_DIR:-$ROOT/build}"

# Debian packages by purpose; each command installs the groups it uses
# (./scripts/run the first, and the headless one without a display;
# ./scripts/run --web the web toolchain alone; ./scripts/test all but
# packaging; ./scripts/package the first three and packaging; the cluster
# check, scripts/check-slurm, its own). They are installed without
# recommendations, so anything that only a recommendation would bring in is
# named here.
#
# Building and running the window and the tools: Qt's OpenGL module (Qt
# Charts' CMake package needs it) and its platform plugins (xcb,
# offscreen); libxcb1-dev lets the window ask the X server for a window
# manager; FFmpeg's libraries are for dla-encode, the movie encoder; the
# fonts are those the window is drawn with.
RUN_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins libgl-dev
  libspng-dev libcli11-dev libxcb1-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  fonts-wine fonts-dejavu-core
)
# Running the window without a display: a virtual X screen (xauth for
# xvfb-run) and ImageMagick's import for the screenshot.
HEADLESS_PACKAGES=(xvfb xauth imagemagick)
# The Python module, built for Debian's python3, with the numpy and pandas
# it returns its tables in.
PYTHON_PACKAGES=(pybind11-dev python3-dev python3-numpy python3-pandas)
# The web page: emscripten compiles the engine to WebAssembly (and brings
# the python3 that serves the page).
WEB_PACKAGES=(emscripten)
# The tests and benchmarks: GoogleTest and Google Benchmark; openbox and
# wmctrl test maximise and restore under a window manager; the web page's
# test drives Debian's headless Chromium through chromium-driver and
# python3-selenium; the Python module's tests use Dask, pytest, hypothesis,
# matplotlib and Pillow (which also decodes the web test's pictures); its
# live view's tests run notebooks on Debian's kernel (nbclient, nbformat)
# and in Debian's notebook server with ipywidgets' front end.
TEST_PACKAGES=(
  "${HEADLESS_PACKAGES[@]}"
  libgtest-dev libgmock-dev libbenchmark-dev
  x11-apps x11-utils openbox wmctrl
  chromium chromium-driver python3-selenium
  python3-distributed python3-pytest python3-hypothesis python3-matplotlib python3-pil
  jupyter-notebook python3-ipywidgets jupyter-nbextension-jupyter-js-widgets python3-ipykernel
  python3-nbclient python3-nbformat
)
# The fuzzing harnesses (scripts/fuzz): Debian's clang 16 with its
# sanitizer runtimes and libFuzzer.
FUZZ_PACKAGES=(clang-16 libclang-rt-16-dev libfuzzer-16-dev)
# Making the Debian packages and the wheel (./scripts/package): git for the
# clean copy of HEAD, build-essential (which dpkg-buildpackage requires),
# debhelper with dh-python, help2man for the manual pages, lintian and the
# desktop and AppStream validators; Debian's own build, setuptools and wheel.
PACKAGING_PACKAGES=(
  git build-essential debhelper dh-python dpkg-dev fakeroot help2man lintian
  desktop-file-utils appstream
  python3-build python3-setuptools python3-wheel python3-venv
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo "$@"; else
    echo "need root (or sudo) to run: $*" >&2; return 1; fi
}

# install_missing [PACKAGE...]: installs those not installed yet (by
# default those named in PACKAGES).
install_missing() {
  local missing=() p
  [ $# -gt 0 ] || set -- "${PACKAGES[@]}"
  for p in "$@"; do
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
