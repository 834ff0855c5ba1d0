#!/bin/bash
# Regenerate every generated asset in assets/ (and the previews in docs/).
# The build only embeds the files; run this by hand after changing a generator.
# Each generator is seeded, so a rerun gives byte-identical output.
set -euo pipefail
cd "$(dirname "$0")/.."

PY=/usr/bin/python3  # Debian's python, which has numpy and Pillow

for gen in make_title.py make_logo.py make_icon.py make_music.py make_font_preview.py; do
    if [ -f "tools/$gen" ]; then
        echo "== $gen"
        "$PY" "tools/$gen"
    fi
done

if [ -f tools/check_assets.py ]; then
    echo "== check_assets.py"
    "$PY" tools/check_assets.py
fi
