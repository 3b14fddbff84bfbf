#!/usr/bin/env bash
# Builds the program for two demo mirrors on this machine's loopback (127.0.0.1 and 127.0.0.2) and starts it.
# On a desktop it opens on your display; the mirrors stop when you close it. Without a display it runs under
# Xvfb, drives one download by clicking the pictures and saves screenshots of its pages (pass --headless to
# ask for that on a desktop too).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
exec python3 scripts/run_demo.py "$@"
