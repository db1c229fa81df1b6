#!/usr/bin/env bash
# Opens the program's window; on a machine without a display, says how to get one.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -x build/quorvane ]; then
  echo "build/quorvane is not built yet."
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display to open the window on: run it under a virtual one, e.g. 'xvfb-run -a build/quorvane'."
  exit 1
fi
exec build/quorvane
