"""The show's fixed facts (screen and picture sizes, glyph order, scene lengths,
credits), printed by tapehiss-facts from the headers the show is built from.
The tool is taken from $TAPEHISS_FACTS, else build/release/tools; the scripts
that import this build it first (tools/make_assets.sh, the test command)."""
import os
import subprocess
import sys

_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def _load():
    tool = os.environ.get("TAPEHISS_FACTS") or os.path.join(_ROOT, "build", "release", "tools", "tapehiss-facts")
    if not os.access(tool, os.X_OK):
        sys.exit(f"facts: no {tool}: build it first (cmake --build build/release --target tapehiss-facts), "
                 "or name it in TAPEHISS_FACTS")
    out = subprocess.run([tool], check=True, capture_output=True, text=True).stdout
    return dict(line.split("=", 1) for line in out.splitlines())


FACTS = _load()
LOGO_W, LOGO_H = int(FACTS["LOGO_W"]), int(FACTS["LOGO_H"])
TITLE_W, TITLE_H = int(FACTS["TITLE_W"]), int(FACTS["TITLE_H"])
SCREEN_W, SCREEN_H = int(FACTS["SCREEN_W"]), int(FACTS["SCREEN_H"])
GLYPH_W, GLYPH_H = int(FACTS["GLYPH_W"]), int(FACTS["GLYPH_H"])
GLYPH_ORDER = FACTS["GLYPH_ORDER"]
