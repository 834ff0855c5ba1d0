// tapehiss-facts: prints the show's fixed facts, taken from the headers the
// show itself is built from, as NAME=VALUE lines (the value runs to the end
// of the line, blanks included). The asset generators, the release text and
// the test scripts read them here instead of keeping copies.
#include "assets.h"
#include "endscreen/endscreen.h"
#include "flow/demo.h"
#include "flow/timing.h"
#include "music/music.h"
#include "platform/os_memory.h"
#include "screen/screen.h"
#include "text/font.h"
#include "text/scroller.h"
#include <cstdio>

int main() {
    std::printf("SCREEN_W=%d\nSCREEN_H=%d\n", SCREEN_W, SCREEN_H);
    std::printf("TITLE_W=%d\nTITLE_H=%d\nLOGO_W=%d\nLOGO_H=%d\n", TITLE_W, TITLE_H, LOGO_W, LOGO_H);
    std::printf("GLYPH_W=%d\nGLYPH_H=%d\nGLYPH_ORDER=%s\n", GLYPH_W, GLYPH_H, GLYPH_ORDER);
    std::printf("SCROLL_STRIP_W=%d\nFRAME_MS=%u\n", SCROLL_STRIP_W, FRAME_MS);
    std::printf("TITLE_SECONDS=%d\nCREDITS_SECONDS=%d\nMAIN_SCENE_SECONDS=%d\n", int(TITLE_SECONDS),
                int(CREDITS_SECONDS), int(MAIN_SCENE_SECONDS));
    std::printf("END_FADE_AFTER_S=%d\nEND_FADE_MS=%d\nMUSIC_SECONDS=%.2f\n", int(END_FADE_AFTER_S), END_FADE_MS,
                MUSIC_SECONDS);
    std::printf("SHOW_MEMORY_MB=%zu\nWEB_SHOW_MEMORY_MB=%zu\n", SHOW_MEMORY_MB, WEB_SHOW_MEMORY_MB);
    for (int i = 0; i < CREDITS_LINE_COUNT; ++i) std::printf("CREDITS_LINE_%d=%s\n", i + 1, credits_lines[i]);
    return 0;
}
