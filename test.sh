#!/usr/bin/env bash
# Installs what the build needs (Debian 12), configures, builds and runs every test.
#
#   ./test.sh [--sanitize | --windows] [--build-only] [BUILD_DIR]
#
# BUILD_DIR defaults to "build" ("build-asan" with --sanitize, "build-windows" with
# --windows). --sanitize (or GAVRELO_SANITIZE=ON in the environment) builds everything with
# AddressSanitizer and UndefinedBehaviorSanitizer. --windows cross-builds the Windows
# configuration (mingw-w64, Release) and runs its tests under Wine. --build-only stops
# after the build. JOBS sets the parallelism of build and tests (default 2).
set -euo pipefail

sanitize=${GAVRELO_SANITIZE:-OFF}
build=""
build_only=0
windows=0
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=ON ;;
    --windows) windows=1 ;;
    --build-only) build_only=1 ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    -*) echo "test.sh: unknown option $arg" >&2; exit 2 ;;
    *) build=$arg ;;
  esac
done
case "$sanitize" in ON|on|1|yes|YES|true|TRUE) sanitize=ON ;; *) sanitize=OFF ;; esac
if [ -z "$build" ]; then
  if [ "$windows" = 1 ]; then build=build-windows
  elif [ "$sanitize" = ON ]; then build=build-asan
  else build=build; fi
fi
jobs=${JOBS:-2}
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ clang googletest libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev libcli11-dev libtinyxml2-dev libclang-rt-14-dev
          dpkg-dev file)  # the Debian package's dependencies (cpack with dpkg-shlibdeps)
if [ "$windows" = 1 ]; then
  packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 xz-utils)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "test.sh: installing ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ "$windows" = 1 ]; then
  # Release, tests included; the tests run under Wine in the prefix $build/wine.
  cmake -S . -B "$build" -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
  ninja -C "$build" -j"$jobs"
  [ "$build_only" = 1 ] && exit 0
  status=0
  ctest --test-dir "$build" --output-on-failure -j"$jobs" || status=$?
  cmake/wine-run.sh "$(cd "$build" && pwd)/wine" --stop
  exit $status
fi

cmake -S . -B "$build" -G Ninja -DGAVRELO_SANITIZE="$sanitize"
ninja -C "$build" -j"$jobs"
[ "$build_only" = 1 ] && exit 0
ctest --test-dir "$build" --output-on-failure -j"$jobs"
