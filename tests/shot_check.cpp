// Checks screenshots of the running intro (X window dumps from xwd, or PNG
// files from a browser) against what the demo's own routines draw, and the
// captured audio of a run.
// Usage: shot_check title|credits|main|end SHOT.xwd|SHOT.png
//        (a screenshot of a larger display is first checked to be the exact
//        nearest-neighbour scaling of a 1280 x 720 picture, which is checked)
//        shot_check classify SHOT.xwd         (prints the scene shown)
//        shot_check poll SHOT.xwd             (the scene and the scroller offset)
//        shot_check main-moment SHOT.xwd      (the main-scene pass drawn exactly as shown)
//        shot_check end-moment SHOT.xwd       (the end-screen frame drawn exactly as shown)
//        shot_check audio FILE.raw SECONDS    (S16LE stereo 44.1 kHz from SDL's disk driver)
//        shot_check fade FILE.raw             (the capture ends in a fade to silence)
//        shot_check routines                  (the plasma and logo passes this machine runs)
#include "assets.h"
#include "effects/logo.h"
#include "effects/plasma.h"
#include "endscreen/endscreen.h"
#include "flow/demo.h"
#include "screen/scale.h"
#include "text/font.h"
#include "text/scroller.h"
#include "moments.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>
#ifdef TAPEHISS_PNG
#include <png.h>
#endif

// A pixel of the picture that a smaller screen does not show (the scaling
// skipped its row or column): every check lets it pass.
constexpr uint32_t UNSEEN = 0xffffffffu;

struct shot {
    int w = 0, h = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB per pixel, or UNSEEN
    uint32_t at(int x, int y) const { return rgb[size_t(y) * w + x]; }
    bool shows(int x, int y, uint32_t want) const { return at(x, y) == want || at(x, y) == UNSEEN; }
};

static uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

static bool read_xwd(const char* path, shot* out) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (d.size() < 100) return false;
    uint32_t header_size = be32(&d[0]), width = be32(&d[16]), height = be32(&d[20]);
    uint32_t byte_order = be32(&d[28]), bpp = be32(&d[44]), bpl = be32(&d[48]);
    uint32_t rmask = be32(&d[56]), gmask = be32(&d[60]), bmask = be32(&d[64]), ncolors = be32(&d[76]);
    // 8 bits a colour, or 10 on a 30-bit screen (of which the top 8 are the
    // 8-bit value: widening v to 10 bits gives 4v + (0 to 3)).
    const bool ten_bits = bpp == 32 && rmask == 0x3ff00000 && gmask == 0xffc00 && bmask == 0x3ff;
    if (!ten_bits && ((bpp != 32 && bpp != 24) || rmask != 0xff0000 || gmask != 0xff00 || bmask != 0xff)) {
        std::fprintf(stderr, "unexpected XWD pixel layout (bpp %u)\n", bpp);
        return false;
    }
    size_t offset = header_size + size_t(ncolors) * 12;
    if (d.size() < offset + size_t(bpl) * height) return false;
    out->w = int(width), out->h = int(height);
    out->rgb.resize(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = &d[offset + size_t(y) * bpl + bpp / 8 * x];
            uint32_t v = bpp == 24 ? (byte_order == 0 ? uint32_t(p[0]) | p[1] << 8 | p[2] << 16
                                                      : uint32_t(p[0]) << 16 | p[1] << 8 | p[2])
                                   : byte_order == 0 ? uint32_t(p[0]) | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24
                                                     : be32(p);
            out->rgb[size_t(y) * width + x] =
                ten_bits ? (v >> 22 & 0xff) << 16 | (v >> 12 & 0xff) << 8 | (v >> 2 & 0xff) : v & 0xffffff;
        }
    return true;
}

// A PNG screenshot (a browser's), read as RGBA whatever it holds.
static bool read_png(const char* path, shot* out) {
#ifdef TAPEHISS_PNG
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return false;
    out->w = int(image.width), out->h = int(image.height);
    out->rgb.resize(size_t(image.width) * image.height);
    for (size_t i = 0; i < out->rgb.size(); ++i)
        out->rgb[i] = uint32_t(rgba[4 * i]) << 16 | uint32_t(rgba[4 * i + 1]) << 8 | rgba[4 * i + 2];
    return true;
#else
    std::fprintf(stderr, "%s: this shot_check was built without libpng\n", path);
    return false;
#endif
}

static uint32_t rgb_of(const uint8_t* bgra) { return uint32_t(bgra[2]) << 16 | bgra[1] << 8 | bgra[0]; }

// A screenshot of a display other than 1280 x 720 holds the picture scaled
// into a rectangle: the letterbox of the whole display (the window covers the
// screen) or, at 1:1, a 1280 x 720 window in the middle (no window manager
// made it full screen). Returns the 1280 x 720 picture it was scaled from,
// after checking that every pixel of the rectangle is exactly the
// nearest-neighbour scaling of it, destination (x, y) from source
// (x * 1280 / w, y * 720 / h), and everything around it is black; false when
// neither rectangle holds such a picture. On a smaller display the pixels
// the scaling skips are UNSEEN.
static bool unscale(shot* s, bool quiet) {
    if (s->w == SCREEN_W && s->h == SCREEN_H) return true;
    const screen_rect candidates[] = {letterbox_rect(s->w, s->h),
                                   {(s->w - SCREEN_W) / 2, (s->h - SCREEN_H) / 2, SCREEN_W, SCREEN_H}};
    long best_bad = -1;
    screen_rect best{};
    int best_first_x = -1, best_first_y = -1;
    for (const screen_rect& r : candidates) {
        if (r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0) continue;
        shot picture;
        picture.w = SCREEN_W, picture.h = SCREEN_H;
        picture.rgb.assign(size_t(SCREEN_W) * SCREEN_H, UNSEEN);
        // Each destination pixel shows its source pixel: the first one seen
        // gives the colour, every other must repeat it.
        long bad = 0;
        int first_x = -1, first_y = -1;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) {
                bool inside = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
                uint32_t want = 0;
                if (inside) {
                    uint32_t& source = picture.rgb[size_t(int64_t(y - r.y) * SCREEN_H / r.h) * SCREEN_W +
                                                   size_t(int64_t(x - r.x) * SCREEN_W / r.w)];
                    if (source == UNSEEN) source = s->at(x, y);
                    want = source;
                }
                if (s->at(x, y) != want && bad++ == 0) first_x = x, first_y = y;
            }
        if (bad == 0) {
            if (!quiet)
                std::fprintf(stderr, "unscaled: %dx%d display, picture at (%d, %d) %dx%d, every pixel in place\n", s->w,
                         s->h, r.x, r.y, r.w, r.h);
            *s = std::move(picture);
            return true;
        }
        if (best_bad < 0 || bad < best_bad) best_bad = bad, best = r, best_first_x = first_x, best_first_y = first_y;
    }
    std::fprintf(stderr,
                 "unscale: %dx%d display: no exactly scaled picture (best: %ld pixels off at (%d, %d) %dx%d, the "
                 "first at (%d, %d))\n",
                 s->w, s->h, best_bad, best.x, best.y, best.w, best.h, best_first_x, best_first_y);
    return false;
}

static std::vector<uint8_t> memory_screen() {
    std::vector<uint8_t> m(SCREEN_BYTES, 0);
    screen_pixels = m.data();
    return m;
}

// Compares the whole screenshot with a screen drawn in memory, except where
// skip(x, y) says so; prints the first differences.
template <class Skip>
static int compare(const shot& s, const std::vector<uint8_t>& expected, const char* what, Skip skip) {
    if (s.w != SCREEN_W || s.h != SCREEN_H) {
        std::fprintf(stderr, "%s: screenshot is %dx%d, not 1280x720\n", what, s.w, s.h);
        return 1;
    }
    long bad = 0;
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            if (skip(x, y)) continue;
            uint32_t want = rgb_of(&expected[4 * (x + SCREEN_W * y)]);
            if (!s.shows(x, y, want) && bad++ < 5)
                std::fprintf(stderr, "%s: pixel (%d, %d) is %06x, expected %06x\n", what, x, y, s.at(x, y), want);
        }
    if (bad) std::fprintf(stderr, "%s: %ld pixels differ\n", what, bad);
    else std::printf("%s: every pixel as drawn\n", what);
    return bad ? 1 : 0;
}

static int check_title(const shot& s) {
    std::vector<uint8_t> m = memory_screen();
    copy_title_picture();
    return compare(s, m, "title", [](int, int) { return false; });
}

static int check_credits(const shot& s) {
    std::vector<uint8_t> m = memory_screen();
    draw_credits();
    int bad = compare(s, m, "credits", [](int, int) { return false; });
    // Text there to be seen, not just a picture that matches where it is
    // blank: red ink in the lines, for the part of them the display shows
    // (a small one skips pixels).
    long red = 0, seen = 0;
    for (int y = 500; y < 644; ++y)
        for (int x = 250; x < 1000; ++x) {
            red += s.at(x, y) == 0xff0000;
            seen += s.at(x, y) != UNSEEN;
        }
    std::printf("credits: %ld red ink pixels in the text lines\n", red);
    return bad || red < 2000 * seen / (144 * 750);
}

static int check_main(const shot& s) {
    if (s.w != SCREEN_W || s.h != SCREEN_H) return 1;
    build_plasma_palette();
    build_plasma_field();
    std::set<uint32_t> logo_colours;
    for (int i = 0; i < LOGO_W * LOGO_H; ++i) {
        const uint8_t* p = logo_picture + 4 * i;
        if (p[0] | p[1] | p[2]) logo_colours.insert(rgb_of(p));
    }
    // One phase must explain every pixel above the band that is not a logo pixel.
    int best_phase = -1;
    long best_other = -1, best_logo = 0;
    for (int phase = 0; phase < 256; ++phase) {
        long other = 0, logo = 0;
        for (int x = 0; x < SCREEN_W && (best_other < 0 || other < best_other); ++x)
            for (int y = 0; y < SCROLL_BAND_Y; ++y) {
                const int32_t* c = plasma_palette[(phase + plasma_field8[PLASMA_FIELD_W * y + x]) & 255];
                uint32_t want = uint32_t(c[2] & 255) << 16 | uint32_t(c[1] & 255) << 8 | uint32_t(c[0] & 255);
                uint32_t got = s.at(x, y);
                if (s.shows(x, y, want)) continue;
                if (logo_colours.count(got)) ++logo;
                else ++other;
            }
        if (best_other < 0 || other < best_other) best_phase = phase, best_other = other, best_logo = logo;
    }
    std::printf("main: plasma phase %d (mod 256) explains all but %ld logo-coloured and %ld other pixels\n",
                best_phase, best_logo, best_other);
    // The band shows the scroll strip at some offset.
    obtain_scroll_strip();
    render_scroll_strip(scroll_text);
    int band_offset = -1;
    for (int s0 = 0; s0 < SCROLL_STRIP_W && band_offset < 0; ++s0) {
        bool same = true;
        for (int x = 0; x < SCREEN_W && same; x += 3)
            for (int y = 0; y < 28 && same; ++y)
                same = s.shows(x, SCROLL_BAND_Y + y,
                               rgb_of(scroll_strip + 4 * ((s0 + x) % SCROLL_STRIP_W) + 4 * SCROLL_STRIP_W * y));
        if (same) band_offset = s0;
    }
    std::printf("main: scroller band shows strip offset %d\n", band_offset);
    return best_other == 0 && band_offset >= 0 ? 0 : 1;
}

// Offset into the scroll strip that the scroller band shows, -1 if none.
static int band_offset(const shot& s) {
    obtain_scroll_strip();
    render_scroll_strip(scroll_text);
    for (int s0 = 0; s0 < SCROLL_STRIP_W; ++s0) {
        bool same = true;
        for (int x = 0; x < SCREEN_W && same; ++x)
            for (int y = 0; y < 28 && same; ++y)
                same = s.shows(x, SCROLL_BAND_Y + y,
                               rgb_of(scroll_strip + 4 * ((s0 + x) % SCROLL_STRIP_W) + 4 * SCROLL_STRIP_W * y));
        if (same) return s0;
    }
    return -1;
}

static int check_end(const shot& s) {
    std::vector<uint8_t> m = memory_screen();
    draw_end_screen_text();
    auto in_bars = [](int x, int y) { return x >= 750 && x <= 867 && y >= 5 && y <= 600; };
    int bad = compare(s, m, "end screen outside the ribbons", in_bars);
    long green = 0, violet = 0, other = 0;
    for (int y = 5; y <= 600; ++y)
        for (int x = 750; x <= 867; ++x) {
            uint32_t p = s.at(x, y), want = rgb_of(&m[4 * (x + SCREEN_W * y)]);
            if ((p & 0xff00ff) == 0 && (p & 0xff00)) ++green;
            else if ((p & 0xffff00) == 0x800000 && (p & 0xff)) ++violet;
            else if (!s.shows(x, y, want)) ++other;
        }
    std::printf("end screen: %ld green and %ld violet ribbon pixels, %ld others\n", green, violet, other);
    return bad || other || green == 0 || violet == 0;
}

// Prints the RMS level of every second of the capture and the longest run of
// silence; fails when the first `seconds` are not all audible.
static int check_audio(const char* path, int seconds) {
    std::ifstream f(path, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    size_t frames = raw.size() / 4;
    const int16_t* pcm = reinterpret_cast<const int16_t*>(raw.data());
    int bad = 0;
    std::printf("audio: %.2f s captured\n", double(frames) / 44100.0);
    if (int(frames / 44100) < seconds) bad = 1;
    for (int sec = 0; sec < seconds && size_t(sec + 1) * 44100 <= frames; ++sec) {
        double sum = 0;
        for (size_t i = size_t(sec) * 44100; i < size_t(sec + 1) * 44100; ++i)
            sum += double(pcm[2 * i]) * pcm[2 * i] + double(pcm[2 * i + 1]) * pcm[2 * i + 1];
        double rms = std::sqrt(sum / (2 * 44100.0)) / 32768.0;
        double db = rms > 0 ? 20 * std::log10(rms) : -200;
        std::printf("audio: second %d at %.1f dBFS\n", sec, db);
        if (db < -40) bad = 1;
    }
    return bad;
}

// Names the scene a screenshot shows: title, credits, main, end, black or
// other. Cheap enough to run several times a second.
static const char* classify(const shot& s) {
    const char* scene = "other";
    if (s.w == SCREEN_W && s.h == SCREEN_H) {
        auto matches = [&](const std::vector<uint8_t>& m, int step) {
            for (int y = 0; y < SCREEN_H; y += step)
                for (int x = 0; x < SCREEN_W; x += step)
                    if (!s.shows(x, y, rgb_of(&m[4 * (x + SCREEN_W * y)]))) return false;
            return true;
        };
        static std::vector<uint8_t> title, credits, black, text;
        if (title.empty()) {
            title = memory_screen();
            copy_title_picture();
            credits = memory_screen();
            draw_credits();
            black = memory_screen();
            text = memory_screen();
            draw_end_screen_text();
        }
        bool band_blue = true;  // rows 692-700 of the scroller band are always plain blue
        for (int y = 692; y <= 700 && band_blue; ++y)
            for (int x = 0; x < SCREEN_W && band_blue; x += 7) band_blue = s.shows(x, y, 0x0000ff);
        bool end_text = true;   // the greetings left of the ribbons
        for (int y = 60; y < 530 && end_text; y += 2)
            for (int x = 90; x < 740 && end_text; x += 3) end_text = s.shows(x, y, rgb_of(&text[4 * (x + SCREEN_W * y)]));
        if (matches(title, 5)) scene = "title";
        else if (matches(credits, 5)) scene = "credits";
        else if (matches(black, 5)) scene = "black";
        else if (end_text) scene = "end";
        else if (band_blue) scene = "main";
    }
    return scene;
}

// The capture must end in a fade-out: heard a second before the sound stops
// (the quietest the tune gets before the end screen fades is its blank tape,
// about -45 dBFS at the mixer's volume), falling steadily over roughly the
// last half second, silent afterwards.
static int check_fade(const char* path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    size_t frames = raw.size() / 4;
    const int16_t* pcm = reinterpret_cast<const int16_t*>(raw.data());
    // Where the sound stops: the last sample over -66 dBFS, low enough that
    // a fade of the blank tape's hiss has all but closed there.
    size_t last = 0;
    for (size_t i = 0; i < frames; ++i)
        if (std::abs(pcm[2 * i]) > 16 || std::abs(pcm[2 * i + 1]) > 16) last = i;
    auto level = [&](double from_s, double to_s) {  // dBFS between two times before `last`
        long a = long(last) - long(from_s * 44100), b = long(last) - long(to_s * 44100);
        if (a < 0) return -200.0;
        double sum = 0;
        for (long i = a; i < b; ++i) sum += double(pcm[2 * i]) * pcm[2 * i] + double(pcm[2 * i + 1]) * pcm[2 * i + 1];
        double rms = std::sqrt(sum / (2.0 * double(b - a))) / 32768.0;
        return rms > 0 ? 20 * std::log10(rms) : -200.0;
    };
    double before = level(1.2, 0.7);
    std::printf("fade: %.2f s captured, sound until %.2f s; level %.1f dBFS before the fade, then", double(frames) / 44100.0,
                double(last) / 44100.0, before);
    double windows[5];
    for (int k = 0; k < 5; ++k) {
        windows[k] = level(0.5 - 0.1 * k, 0.4 - 0.1 * k);
        std::printf(" %.1f", windows[k]);
    }
    std::printf(" dBFS per 100 ms\n");
    bool falling = windows[4] < windows[0] - 10 && windows[4] < before - 12;
    return before > -50 && falling ? 0 : 1;
}

// Pixels of the shot that differ from a 1280 x 720 screen in memory, counted
// only up to `limit` (the search below needs no more than that).
static long differing(const shot& s, const uint8_t* screen, long limit) {
    long bad = 0;
    for (int y = 0; y < SCREEN_H && bad <= limit; ++y)
        for (int x = 0; x < SCREEN_W; ++x) bad += !s.shows(x, y, rgb_of(screen + 4 * (x + SCREEN_W * y)));
    return bad;
}

// Searches the moments the capture tool draws (main-scene passes or end-screen
// frames, in order) for one the shot equals pixel for pixel; prints it, or the
// closest one and how far off it is.
static int match_moment(const shot& s, bool main_scene) {
    if (s.w != SCREEN_W || s.h != SCREEN_H) return 1;
    if (main_scene && !prepare_main_tables()) return 2;
    const int64_t limit = main_scene ? 6000 : 2000;  // beyond the longest run of either scene
    long best = long(SCREEN_W) * SCREEN_H + 1;
    int64_t best_at = -1;
    int32_t pos = 0, dir = 0;
    if (main_scene) draw_main_moment(0);
    main_state st = main_state_after(0);
    apply_main_state(&st, &pos, &dir);
    for (int64_t n = 0; n < limit && best > 0; ++n) {
        const int per_cycle = END_STEP_LIMIT - END_FIRST_STEP;
        if (main_scene && n > 0) draw_main_pass(&pos, &dir);
        if (!main_scene) draw_end_moment(int(n / per_cycle) + 1, int(n % per_cycle) + END_FIRST_STEP);
        const long bad = differing(s, screen_pixels, best);
        if (bad < best) best = bad, best_at = n;
    }
    const char* what = main_scene ? "main scene after pass" : "end screen frame";
    if (best == 0) std::printf("%s %lld: every pixel as drawn\n", what, (long long)best_at);
    else std::fprintf(stderr, "no %s matches; closest %lld, %ld pixels differ\n", what, (long long)best_at, best);
    return best == 0 ? 0 : 1;
}

// The passes the intro picks on this machine (the first of each list), so a
// measurement can say what it measured.
static int print_routines() {
    return std::printf("plasma %s, logo %s\n", running_routines(plasma_routine_table())[0].name, running_routines(logo_routine_table())[0].name) < 0;
}

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "audio") == 0) return check_audio(argv[2], std::atoi(argv[3]));
    if (argc == 3 && std::strcmp(argv[1], "fade") == 0) return check_fade(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "routines") == 0) return print_routines();
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: shot_check title|credits|main|end|classify|poll|main-moment|end-moment SHOT.xwd|SHOT.png\n"
                     "       shot_check audio FILE.raw SECONDS | fade FILE.raw | routines\n");
        return 2;
    }
    shot s;
    const std::string file = argv[2];
    const bool png = file.size() > 4 && file.compare(file.size() - 4, 4, ".png") == 0;
    if (!(png ? read_png(argv[2], &s) : read_xwd(argv[2], &s))) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    std::string what = argv[1];
    // Larger displays: every check looks at the picture the screenshot was
    // scaled from. Polls run several times a second: quiet, and no failure
    // status for "other".
    const bool polled = what == "classify" || what == "poll";
    if (!unscale(&s, polled)) {
        if (what == "classify") std::printf("other\n");
        if (what == "poll") std::printf("other -1\n");
        return polled ? 0 : 1;
    }
    if (what == "title") return check_title(s);
    if (what == "credits") return check_credits(s);
    if (what == "main") return check_main(s);
    if (what == "end") return check_end(s);
    if (what == "classify") return std::printf("%s\n", classify(s)) < 0;
    if (what == "poll") {  // the scene and, in the main scene, the band's offset
        const char* scene = classify(s);
        return std::printf("%s %d\n", scene, std::strcmp(scene, "main") == 0 ? band_offset(s) : -1) < 0;
    }
    if (what == "main-moment") return match_moment(s, true);
    if (what == "end-moment") return match_moment(s, false);
    std::fprintf(stderr, "unknown check %s\n", argv[1]);
    return 2;
}
