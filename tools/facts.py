"""The show's fixed facts (screen and picture sizes, glyph order, scene lengths,
credits), printed by tapehiss-facts from the headers the show is built from.
The tool is taken from $TAPEHISS_FACTS, else build/release/tools, and built
there when missing."""
import os
import subprocess

_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def _load():
    tool = os.environ.get("TAPEHISS_FACTS") or os.path.join(_ROOT, "build", "release", "tools", "tapehiss-facts")
    if not os.access(tool, os.X_OK):
        build = os.path.dirname(os.path.dirname(tool))
        subprocess.run(["cmake", "-S", _ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release"], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "--target", "tapehiss-facts"], check=True,
                       stdout=subprocess.DEVNULL)
    out = subprocess.run([tool], check=True, capture_output=True, text=True).stdout
    return dict(line.split("=", 1) for line in out.splitlines())


FACTS = _load()
LOGO_W, LOGO_H = int(FACTS["LOGO_W"]), int(FACTS["LOGO_H"])
TITLE_W, TITLE_H = int(FACTS["TITLE_W"]), int(FACTS["TITLE_H"])
SCREEN_W, SCREEN_H = int(FACTS["SCREEN_W"]), int(FACTS["SCREEN_H"])
GLYPH_W, GLYPH_H = int(FACTS["GLYPH_W"]), int(FACTS["GLYPH_H"])
GLYPH_ORDER = FACTS["GLYPH_ORDER"]
