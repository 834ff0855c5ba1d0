#!/bin/bash
# Regenerate every generated asset in assets/, the previews in docs/ and the
# README's scene pictures, then check the assets and print their figures.
# The build only embeds the files; run this by hand after changing a generator.
# Each generator is seeded, so a rerun gives byte-identical output.
set -euo pipefail
cd "$(dirname "$0")/.."

PY=/usr/bin/python3  # Debian's python, which has numpy and Pillow

# The show's facts, which the generators read (tools/facts.py), come from the
# headers through tapehiss-facts.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target tapehiss-facts -j2 >/dev/null

for gen in make_title.py make_logo.py make_icon.py make_music.py make_font_preview.py; do
    if [ -f "tools/$gen" ]; then
        echo "== $gen"
        "$PY" "tools/$gen"
    fi
done

# The scene pictures come from the intro's own drawing routines, built with
# the assets just written.
echo "== scene pictures (tapehiss-capture)"
cmake --build build/release --target tapehiss-capture -j2 >/dev/null
capture=build/release/tools/tapehiss-capture
"$capture" --out docs/scene-title.png title
"$capture" --out docs/scene-credits.png credits
"$capture" --out docs/scene-main.png main 26
"$capture" --out docs/scene-end.png end 1 30
# The logo as the main scene shows it across a logo cycle.
"$PY" tools/make_logo_sheet.py "$capture"

if [ -f tools/check_assets.py ]; then
    echo "== check_assets.py"
    "$PY" tools/check_assets.py
fi
