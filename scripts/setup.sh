#!/usr/bin/env bash
# Installs the Debian packages the build needs, but only those that are missing,
# so that a machine that already has them never touches the network.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev
          libbenchmark-dev qt6-base-dev liberfa-dev
          clang libclang-rt-14-dev  # the fuzz targets (tests/fuzz)
          libindi-dev indi-bin  # INDI mounts (src/indi) and their end-to-end test
          libcpp-httplib-dev  # the web status server (src/web)
          libhowardhinnant-date-dev tzdata  # named time zones (src/tzdb)
          chromium            # the browser test of the status page
          dpkg-dev file man-db lintian)  # the Debian package and its test

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
