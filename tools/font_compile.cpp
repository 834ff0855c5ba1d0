// Build-time converter: reads the font drawn with '#' and '.' in assets/font.txt
// and writes the glyph table as C++ source. Any malformed glyph stops the build.
#include "assets.h"
#include "text/font.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

constexpr int W = GLYPH_W, H = GLYPH_H, SLOT = FONT_GLYPH_SLOT, COUNT = FONT_GLYPH_COUNT;

static void fail(const std::string& path, int line, const std::string& why) {
    std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), line, why.c_str());
    std::exit(1);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: font_compile FONT.txt OUT.cpp\n");
        return 2;
    }
    std::string in_path = argv[1];
    std::ifstream in(in_path);
    if (!in) fail(in_path, 0, "cannot open");
    std::vector<unsigned char> table(COUNT * SLOT, 0);
    std::vector<bool> seen(COUNT, false);
    std::string line;
    int line_no = 0, glyph = -1, row = 0;
    while (std::getline(in, line)) {
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (glyph < 0 || row == H) {
            if (line.empty() || line[0] == ';') continue;
            if (line.size() != 3 || line[0] != '[' || line[2] != ']')
                fail(in_path, line_no, "expected a glyph header like [A]");
            const char* at = std::strchr(GLYPH_ORDER, line[1]);
            if (!at || line[1] == 0) fail(in_path, line_no, "no glyph slot for this character");
            glyph = int(at - GLYPH_ORDER);
            if (seen[glyph]) fail(in_path, line_no, "glyph defined twice");
            seen[glyph] = true;
            row = 0;
            continue;
        }
        if (int(line.size()) != W) fail(in_path, line_no, "a glyph row must be " + std::to_string(W) + " characters");
        for (int x = 0; x < W; ++x) {
            if (line[x] == '#')
                table[glyph * SLOT + row * 2 + x / 8] |= (unsigned char)(1u << (x % 8));
            else if (line[x] != '.')
                fail(in_path, line_no, "only '#' and '.' may draw a glyph");
        }
        ++row;
    }
    if (glyph >= 0 && row != H) fail(in_path, line_no, "last glyph has fewer than " + std::to_string(H) + " rows");
    for (int g = 0; g < COUNT; ++g)
        if (!seen[g]) fail(in_path, line_no, std::string("missing glyph ") + GLYPH_ORDER[g]);

    FILE* out = std::fopen(argv[2], "w");
    if (!out) fail(argv[2], 0, "cannot write");
    std::fprintf(out, "// Generated from assets/font.txt by tools/font_compile.cpp; do not edit.\n");
    std::fprintf(out, "#include \"assets.h\"\n\nalignas(64) const uint8_t font_glyphs[FONT_GLYPH_COUNT * FONT_GLYPH_SLOT] = {\n");
    for (int g = 0; g < COUNT; ++g) {
        std::fprintf(out, "    // '%c'\n   ", GLYPH_ORDER[g]);
        for (int i = 0; i < SLOT; ++i) {
            std::fprintf(out, " 0x%02x,", table[g * SLOT + i]);
            if (i % 16 == 15 && i != SLOT - 1) std::fprintf(out, "\n   ");
        }
        std::fprintf(out, "\n");
    }
    std::fprintf(out, "};\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
