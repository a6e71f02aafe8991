#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, only those missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev libcairo2-dev libpango1.0-dev libx11-dev libxtst-dev libasound2-dev
  xvfb xauth fonts-liberation fonts-dejavu-core
  libnotify4
  libgsf-1-dev libgsf-bin libcups2-dev poppler-utils
)
# The asan preset builds with clang, whose runtime also carries libFuzzer.
if [ "${1:-}" = "asan" ]; then
  packages+=(clang libclang-rt-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
