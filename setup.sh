#!/usr/bin/env bash
# Installs every Debian package Morvel needs to build, run and test.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  ninja-build                                 # the build's generator where installed (faster on two cores)
  ccache                                      # rebuilds of unchanged sources (several work trees share one cache)
  qt6-base-dev qt6-base-dev-tools libgl-dev   # Qt 6 Widgets and Concurrent (and the OpenGL headers its CMake files ask for)
  mdbtools-dev                                # libmdb: reading .mdb files
  mdbtools                                    # mdb-ver, mdb-export...: the independent reader in tests
  libsqlite3-dev                              # the in-memory query engine
  libjpeg62-turbo-dev                         # picture decoding: JPEG
  qt6-svg-dev libemf2svg-dev                  # EMF pictures: libemf2svg writes SVG, QtSvg draws it (and the icon's PNGs)
  libwmf-dev fonts-urw-base35                 # WMF pictures: libwmf draws them (it needs the URW fonts)
  libuemf-dev                                 # checks EMF records before drawing; writes the demo's and the tests' metafiles
  xvfb xauth                                  # a real X display for screenshots
  at-spi2-core python3-gi gir1.2-atspi-2.0   # the accessibility bus and its Python client: what a screen reader hears
  fonts-liberation fonts-dejavu-core          # Arial-like sans-serif in place of MS Sans Serif
  time                                        # /usr/bin/time -v in benchmarks
  linux-perf                                  # perf: where the benchmarks spend their time
  dpkg-dev file                               # cpack -G DEB: file and dpkg-shlibdeps find the package's dependencies
  desktop-file-utils                          # desktop-file-validate checks the desktop entry
  libnss-wrapper                              # the package's postinst runs in tests with a group of their own
  lintian                                     # Debian's checker, run on the package in the tests
  man-db groff-base                           # man -l renders the manual pages in the tests
  appstream                                   # appstreamcli validates the AppStream metadata
  tzdata                                      # the time zones the tests also run in
  clang libclang-rt-14-dev llvm               # fuzz targets: libFuzzer, ASan, UBSan, llvm-symbolizer
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${packages[@]}"
