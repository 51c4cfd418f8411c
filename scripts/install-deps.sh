#!/usr/bin/env bash
# Installs the Debian packages that building and testing Korvalin needs.
# Idempotent: packages already present are left alone, and the package
# lists are refreshed only when something is missing.
set -euo pipefail

packages=(
    cmake g++ ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libicu-dev libtbb-dev uuid-dev libpcre2-dev
    clang libclang-rt-14-dev
    qt6-base-dev libxcb1-dev
    xvfb xdotool
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
