#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: packages already present are skipped, and `apt-get update` runs
# only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libicu-dev libpcre2-dev libcurl4-openssl-dev qt6-base-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  nginx tinyproxy openssl curl hyperfine
  xvfb xauth xdotool x11-utils fonts-wqy-microhei
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# Debian starts the packaged services on install; the tests run their own
# instances on loopback ports, so the system-wide ones are not needed.
for service in nginx tinyproxy; do
  if command -v systemctl >/dev/null 2>&1; then $sudo systemctl stop "$service" >/dev/null 2>&1 || true; fi
  $sudo service "$service" stop >/dev/null 2>&1 || true
done
