"""Prints the README's user guide (the parts between its "user guide" and
"end of" marks) as plain text for TAPEHISS.TXT: headings in capitals,
paragraphs and table rows wrapped to 76 columns, no Markdown left.
Usage: python3 tools/user_guide.py README.md"""
import re
import sys
import textwrap

WIDTH = 76


def plain(text):
    text = re.sub(r"!\[[^\]]*\]\([^)]*\)", "", text)  # pictures
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)  # links keep their words
    return text.replace("`", "").replace("**", "").replace("×", "x").strip()


def guide_lines(markdown):
    inside = False
    for line in markdown.splitlines():
        if line.startswith("<!-- user guide"):
            inside = True
        elif line.startswith("<!-- end of"):
            inside = False
        elif inside:
            yield line


def render(lines):
    out, paragraph, table = [], [], []

    def flush():
        if paragraph:
            out.extend(textwrap.wrap(plain(" ".join(paragraph)), WIDTH, initial_indent="  ",
                                     subsequent_indent="  "))
            out.append("")
            paragraph.clear()
        if table:
            for cells in table[2:]:  # the header row and its rule go
                out.extend(textwrap.wrap(plain(cells[0]), WIDTH, initial_indent="  ", subsequent_indent="  "))
                out.extend(textwrap.wrap(plain(cells[1]), WIDTH, initial_indent="      ",
                                         subsequent_indent="      "))
            out.append("")
            table.clear()

    for line in lines:
        if line.startswith("#"):
            flush()
            out.append(plain(line.lstrip("#")).upper())
        elif line.startswith("|"):
            if paragraph:
                flush()
            table.append([c.strip() for c in line.strip().strip("|").split("|")])
        elif not line.strip():
            flush()
        else:
            if table:
                flush()
            paragraph.append(line.strip())
    flush()
    while out and not out[-1]:
        out.pop()
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    with open(sys.argv[1], encoding="utf-8") as f:
        sys.stdout.write(render(guide_lines(f.read())))
