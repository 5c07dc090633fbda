# The Debian 12 packages Springdrop needs, one list per purpose, kept here only; scripts/setup
# installs the lists of the purpose it is asked for. Sourced, not run.

# demo: building and running the two programs (scripts/run). SDL2, FreeType and fontconfig
# for the window and its text, a font that covers Hangul, libpng for --png.
packages_demo=(build-essential cmake pkg-config
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-nanum libpng-dev libfast-float-dev)

# test, on top of demo: the unit and program tests, the window tests under Xvfb, video
# recording (ffmpeg), the installed-tree checks, the benchmarks with their peer libraries,
# the fuzz targets and sanitizer builds (clang), valgrind, and the page in headless
# Chromium (scripts/test), and Facet's Python module with its pytest suite.
packages_test=(clang libclang-rt-14-dev valgrind
  libgtest-dev libgmock-dev libmeshoptimizer-dev
  libbenchmark-dev libglm-dev libeigen3-dev libopenmesh-dev libassimp-dev
  libcgal-demo python3-numpy python3-dev python3-pybind11 python3-pytest
  xvfb xdotool x11-apps imagemagick ffmpeg desktop-file-utils
  emscripten chromium)
# Node.js and npm come from Debian unless the machine has them already: a Node.js from
# elsewhere brings its own npm, with which Debian's npm package conflicts.
command -v node >/dev/null || packages_test+=(nodejs)
command -v npm >/dev/null || packages_test+=(npm)
