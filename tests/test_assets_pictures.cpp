// Checks on the two embedded pictures as the executable sees them: the title
// and the logo. The generators check their own outputs; these catch a stale or
// mangled file getting built in, and layout slips between the tools and the code.
#include "assets.h"
#include "effects/plasma.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

struct bgr {
    int b, g, r;
};

bgr pixel(const uint8_t* pic, int w, int x, int y) {
    const uint8_t* p = pic + (size_t(y) * w + x) * 4;
    return {p[0], p[1], p[2]};
}

bool is_exact(bgr c, int b, int g, int r) { return c.b == b && c.g == g && c.r == r; }
bool is_white(bgr c) { return is_exact(c, 255, 255, 255); }

// The X's paint, full strength or lightly blended.
bool is_red(bgr c) { return c.r >= 180 && c.g <= 70 && c.b <= 70; }

// Paint over the plate, down to the faintest anti-aliased edge: green and
// blue move together and red stays above them.
bool is_paint_blend(bgr c) { return std::abs(c.g - c.b) <= 1 && c.r >= 180 && c.r > c.g; }

// Lettering colour: blue leads, red trails, green in between; not white.
bool is_blue_grey(bgr c) { return c.b > c.r + 20 && c.b < 200 && c.g >= c.r && c.g <= c.b; }

bool fourth_bytes_all(const uint8_t* pic, size_t pixels, uint8_t value) {
    for (size_t i = 0; i < pixels; ++i)
        if (pic[i * 4 + 3] != value) return false;
    return true;
}

bool title_on_plate(int x, int y) { return x >= 440 && x <= 839 && y >= 248 && y <= 471; }

// Share of red pixels in the (2r+1)^2 window around (x, y), clipped to the picture.
double red_share(int x, int y, int r) {
    int red = 0, all = 0;
    for (int yy = y - r; yy <= y + r; ++yy)
        for (int xx = x - r; xx <= x + r; ++xx) {
            if (xx < 0 || yy < 0 || xx >= TITLE_W || yy >= TITLE_H) continue;
            ++all;
            red += is_red(pixel(title_picture, TITLE_W, xx, yy));
        }
    return double(red) / all;
}

// Exact-black pixels that cannot be reached from the picture border through
// other exact-black pixels (4-neighbour steps): holes enclosed by artwork.
int enclosed_black(const uint8_t* pic, int w, int h) {
    std::vector<uint8_t> black(size_t(w) * h), seen(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) black[size_t(y) * w + x] = is_exact(pixel(pic, w, x, y), 0, 0, 0);
    std::vector<int> stack;
    auto push = [&](int x, int y) {
        size_t i = size_t(y) * w + x;
        if (black[i] && !seen[i]) {
            seen[i] = 1;
            stack.push_back(int(i));
        }
    };
    for (int x = 0; x < w; ++x) push(x, 0), push(x, h - 1);
    for (int y = 0; y < h; ++y) push(0, y), push(w - 1, y);
    while (!stack.empty()) {
        int i = stack.back();
        stack.pop_back();
        int x = i % w, y = i / w;
        if (x > 0) push(x - 1, y);
        if (x < w - 1) push(x + 1, y);
        if (y > 0) push(x, y - 1);
        if (y < h - 1) push(x, y + 1);
    }
    int holes = 0;
    for (size_t i = 0; i < black.size(); ++i) holes += black[i] && !seen[i];
    return holes;
}

// Mean structural similarity of two w x h luma pictures (0..255): Gaussian
// window of sigma 1.5 over 11 x 11 pixels, the usual constants, over the
// part where the whole window fits.
double ssim(const std::vector<double>& a, const std::vector<double>& b, int w, int h) {
    double k[11], sum = 0;
    for (int i = 0; i < 11; ++i) sum += k[i] = std::exp(-0.5 * (i - 5) * (i - 5) / (1.5 * 1.5));
    auto blur_at = [&](auto f, int x0, int y0) {
        double s = 0;
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 11; ++x) s += k[x] * k[y] * f(size_t(y0 + y) * w + x0 + x);
        return s / (sum * sum);
    };
    const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    double total = 0;
    int n = 0;
    for (int y = 0; y + 11 <= h; ++y)
        for (int x = 0; x + 11 <= w; ++x, ++n) {
            double ma = blur_at([&](size_t i) { return a[i]; }, x, y);
            double mb = blur_at([&](size_t i) { return b[i]; }, x, y);
            double va = blur_at([&](size_t i) { return a[i] * a[i]; }, x, y) - ma * ma;
            double vb = blur_at([&](size_t i) { return b[i] * b[i]; }, x, y) - mb * mb;
            double cov = blur_at([&](size_t i) { return a[i] * b[i]; }, x, y) - ma * mb;
            total += (2 * ma * mb + c1) * (2 * cov + c2) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
        }
    return total / n;
}

}  // namespace

// ------------------------------------------------------------ title picture

TEST(TitlePicture, IsOpaque) {
    EXPECT_TRUE(fourth_bytes_all(title_picture, size_t(TITLE_W) * TITLE_H, 255));
}

TEST(TitlePicture, BorderAndCornersAreTheDarkBackground) {
    // The X and the plate keep clear of a 16-pixel frame and of the corners.
    int wrong = 0;
    for (int y = 0; y < TITLE_H; ++y)
        for (int x = 0; x < TITLE_W; ++x) {
            bool frame = x < 16 || y < 16 || x >= TITLE_W - 16 || y >= TITLE_H - 16;
            bool corner = (x < 80 || x >= TITLE_W - 80) && (y < 40 || y >= TITLE_H - 40);
            if ((frame || corner) && !is_exact(pixel(title_picture, TITLE_W, x, y), 3, 3, 3)) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(TitlePicture, WhitePlateHasExactEdges) {
    struct edge {
        const char* name;
        int x0, y0, dx, dy;  // first pixel inside and the step along the edge
        int ox, oy;          // offset to the pixel just outside
        int length;
    };
    const edge edges[] = {{"top", 440, 248, 1, 0, 0, -1, 400},
                          {"bottom", 440, 471, 1, 0, 0, 1, 400},
                          {"left", 440, 248, 0, 1, -1, 0, 224},
                          {"right", 839, 248, 0, 1, 1, 0, 224}};
    for (const edge& e : edges) {
        int white = 0, other_inside = 0, white_outside = 0;
        for (int i = 0; i < e.length; ++i) {
            int x = e.x0 + e.dx * i, y = e.y0 + e.dy * i;
            bgr in = pixel(title_picture, TITLE_W, x, y);
            if (is_white(in)) ++white;
            else if (!is_paint_blend(in)) ++other_inside;  // only the X may cover the rim
            white_outside += is_white(pixel(title_picture, TITLE_W, x + e.ox, y + e.oy));
        }
        EXPECT_GT(white, e.length / 4) << e.name;
        EXPECT_EQ(other_inside, 0) << e.name;
        EXPECT_EQ(white_outside, 0) << e.name;
    }
    int white_off_plate = 0;
    for (int y = 0; y < TITLE_H; ++y)
        for (int x = 0; x < TITLE_W; ++x)
            white_off_plate += !title_on_plate(x, y) && is_white(pixel(title_picture, TITLE_W, x, y));
    EXPECT_EQ(white_off_plate, 0);
}

TEST(TitlePicture, RedXRunsCornerToCornerThroughTheMiddle) {
    struct arm {
        int x0, y0, x1, y1;
    };
    const arm arms[] = {{194, 84, 1212, 640}, {1212, 84, 194, 640}};
    for (const arm& a : arms) {
        // Paint near both ends (the brush thins out there) ...
        EXPECT_GT(red_share(a.x0, a.y0, 40), 0.0) << a.x0 << "," << a.y0;
        EXPECT_GT(red_share(a.x1, a.y1, 40), 0.0) << a.x1 << "," << a.y1;
        // ... and a solid stroke along the way, across the plate too.
        for (double t : {0.1, 0.25, 0.4, 0.5, 0.6, 0.75}) {
            int x = int(a.x0 + (a.x1 - a.x0) * t), y = int(a.y0 + (a.y1 - a.y0) * t);
            EXPECT_GT(red_share(x, y, 12), 0.5) << "arm from " << a.x0 << "," << a.y0 << " at t=" << t;
        }
    }
    // Where the diagonals cross, near the centre of the picture.
    EXPECT_GT(red_share(703, 362, 12), 0.8);
    EXPECT_GT(red_share(640, 360, 10), 0.5);

    // Unblended paint: green = blue = 20 and red about 237, deeper where it
    // lies thick and lighter where thin, but never far off and never one
    // flat red; two long thick strokes of it,
    // shining wet in glints (3 to 12 % of the paint lightened towards white).
    std::vector<long> reds(256, 0);
    long full = 0, paint = 0, shine = 0;
    for (int y = 0; y < TITLE_H; ++y)
        for (int x = 0; x < TITLE_W; ++x) {
            bgr c = pixel(title_picture, TITLE_W, x, y);
            // (with its four neighbours paint too: a blend of shine and
            // background can average to green and blue of 20)
            bool inner = x > 0 && y > 0 && x < TITLE_W - 1 && y < TITLE_H - 1;
            for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
                if (inner) {
                    bgr n = pixel(title_picture, TITLE_W, x + dx, y + dy);
                    inner = n.g == n.b && n.g >= 20 && n.r >= 180;
                }
            if (c.g == 20 && c.b == 20 && inner) ++full, ++reds[c.r];
            if (is_paint_blend(c)) ++paint, shine += c.g >= 60;
        }
    ASSERT_GT(full, 45000);  // the strokes' dry-brush ends are mostly broken paint
    EXPECT_GE(shine * 100, paint * 3);
    EXPECT_LE(shine * 100, paint * 12);
    long below = 0, seen = 0;
    int median = 0;
    for (int r = 0; r < 256; ++r) {
        if (r < 237 - 45) below += reds[r];
        if (seen < full / 2 && (seen += reds[r]) >= full / 2) median = r;
    }
    EXPECT_LE(below * 200, full) << "paint much darker than the nominal red";  // but a stray edge blend
    EXPECT_NEAR(median, 237, 20);
    long near_median = 0;
    for (int r = std::max(0, median - 5); r <= std::min(255, median + 5); ++r) near_median += reds[r];
    EXPECT_LE(near_median * 100, full * 52) << "the paint is one flat red";
}

TEST(TitlePicture, BlueGreyLetteringSitsOnThePlate) {
    // The sign's field lies inside its navy border band and pinstripe.
    auto in_field = [](int x, int y) { return x >= 461 && x <= 818 && y >= 269 && y <= 450; };
    int on = 0, off = 0;
    for (int y = 0; y < TITLE_H; ++y)
        for (int x = 0; x < TITLE_W; ++x)
            if (is_blue_grey(pixel(title_picture, TITLE_W, x, y))) {
                if (in_field(x, y)) ++on;
                else if (!title_on_plate(x, y)) ++off;
            }
    // Enough of it reads past the X for the mark to be known.
    EXPECT_GT(on, 8500);
    EXPECT_EQ(off, 0);
    // The band shows at the middle of each side, where the X leaves it.
    for (auto [x, y] : {std::pair{640, 259}, {640, 460}, {451, 360}, {828, 360}}) {
        bgr c = pixel(title_picture, TITLE_W, x, y);
        EXPECT_TRUE(c.b > c.r + 25 && std::max({c.r, c.g, c.b}) < 130) << x << "," << y;
    }
}

// ------------------------------------------------------------- logo picture

TEST(LogoPicture, FourthByteIs255ButForAShadeInTheBottomRow) {
    EXPECT_TRUE(fourth_bytes_all(logo_picture, size_t(LOGO_W) * (LOGO_H - 1), 255));
    int shaded = 0, outside = 0, out_of_range = 0;
    for (int x = 0; x < LOGO_W; ++x) {
        int v = logo_picture[(size_t(LOGO_H - 1) * LOGO_W + x) * 4 + 3];
        if (v == 255) continue;
        ++shaded;
        outside += x < 54 || x > 645;
        out_of_range += v < 223 || v > 251;
    }
    EXPECT_EQ(shaded, 582);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(out_of_range, 0);
}

TEST(LogoPicture, LeftColumnIsBlack) {
    for (int y = 0; y < LOGO_H; ++y)
        EXPECT_TRUE(is_exact(pixel(logo_picture, LOGO_W, 0, y), 0, 0, 0)) << "row " << y;
}

TEST(LogoPicture, ExactBlackIsOnlyTheOpenBackground) {
    // The logo is drawn with black as the see-through colour: a black pixel
    // walled in by artwork would punch a hole into the letters.
    EXPECT_EQ(enclosed_black(logo_picture, LOGO_W, LOGO_H), 0);
    long art = 0;
    for (int y = 0; y < LOGO_H; ++y)
        for (int x = 0; x < LOGO_W; ++x) art += !is_exact(pixel(logo_picture, LOGO_W, x, y), 0, 0, 0);
    EXPECT_GT(art * 2, long(LOGO_W) * LOGO_H);
}

TEST(LogoPicture, LightBlueLettersWarmGroundAndWhiteFlare) {
    // Light-blue chrome that mirrors a warm ground under its horizon, and a
    // flare whose white core (32 x 32 around the middle) holds at 1/8.
    int light = 0, warm = 0;
    for (int y = 0; y < LOGO_H; ++y)
        for (int x = 0; x < LOGO_W; ++x) {
            bgr c = pixel(logo_picture, LOGO_W, x, y);
            light += c.b > 200 && c.g > 140 && c.r < c.b;
            warm += c.r > 200 && c.b < 160 && c.r > c.g;
        }
    EXPECT_GT(light, 5000);
    EXPECT_GT(warm, 2000);
    int flare = 0;
    for (int y = 77 - 16; y < 77 + 16; ++y)
        for (int x = 383 - 16; x < 383 + 16; ++x) {
            bgr c = pixel(logo_picture, LOGO_W, x, y);
            flare += c.b >= 240 && c.g >= 240 && c.r >= 240;
        }
    EXPECT_GT(flare, 400);
}

TEST(LogoPicture, LettersFillTheWidthAndSurviveOneSixth) {
    // Shown at a median of 1/6 of its size, each logo pixel drawn forward to
    // one screen spot: the letters must fill the picture, and what every 6th
    // pixel shows must look like the area-averaged picture (SSIM).
    std::vector<double> luma(size_t(LOGO_W) * LOGO_H);
    std::vector<int> black_below(size_t(LOGO_W + 1) * (LOGO_H + 1), 0);  // 2-D prefix sums of black
    for (int y = 0; y < LOGO_H; ++y)
        for (int x = 0; x < LOGO_W; ++x) {
            bgr c = pixel(logo_picture, LOGO_W, x, y);
            luma[size_t(y) * LOGO_W + x] = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
            black_below[size_t(y + 1) * (LOGO_W + 1) + x + 1] = is_exact(c, 0, 0, 0) +
                black_below[size_t(y) * (LOGO_W + 1) + x + 1] + black_below[size_t(y + 1) * (LOGO_W + 1) + x] -
                black_below[size_t(y) * (LOGO_W + 1) + x];
        }
    // Letter columns: a bright pixel with no background within 8 px (the rim
    // of the smoke is bright too, but lies at its edge).
    auto blacks = [&](int x0, int y0, int x1, int y1) {  // black pixels in [x0, x1) x [y0, y1)
        auto at = [&](int x, int y) { return black_below[size_t(y) * (LOGO_W + 1) + x]; };
        return at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0);
    };
    int letter_columns = 0;
    for (int x = 8; x < LOGO_W - 8; ++x) {
        bool letter = false;
        for (int y = 8; y < LOGO_H - 8 && !letter; ++y)
            letter = luma[size_t(y) * LOGO_W + x] > 140 && blacks(x - 8, y - 8, x + 9, y + 9) == 0;
        letter_columns += letter;
    }
    EXPECT_GE(letter_columns * 10, LOGO_W * 8) << letter_columns << " letter columns";

    constexpr int RW = LOGO_W / 6, RH = LOGO_H / 6;
    std::vector<double> near(RW * RH), box(RW * RH, 0.0);
    for (int j = 0; j < RH; ++j)
        for (int i = 0; i < RW; ++i) {
            near[j * RW + i] = luma[size_t(6 * j + 3) * LOGO_W + 6 * i + 3];
            for (int y = 6 * j; y < 6 * j + 6; ++y)
                for (int x = 6 * i; x < 6 * i + 6; ++x) box[j * RW + i] += luma[size_t(y) * LOGO_W + x] / 36;
        }
    // The 4 px outline alone breaks up at 1/6; everything else is drawn on
    // a 6 px grid.
    EXPECT_GE(ssim(near, box, RW, RH), 0.85);
    // As it spins, the pixel that lands on a screen spot moves through the
    // cell, so the picture must hold at every phase: flat areas, no thin
    // contrasts. Mean over the phases of the cell's diagonal, at 1/6 and 1/8.
    for (int k : {6, 8}) {
        const int cw = (LOGO_W - k) / k, ch = (LOGO_H - k) / k;
        std::vector<double> point(size_t(cw) * ch), area(size_t(cw) * ch, 0.0);
        for (int j = 0; j < ch; ++j)
            for (int i = 0; i < cw; ++i)
                for (int y = k * j; y < k * j + k; ++y)
                    for (int x = k * i; x < k * i + k; ++x) area[size_t(j) * cw + i] += luma[size_t(y) * LOGO_W + x] / (k * k);
        double mean = 0;
        for (int phase = 0; phase < k; ++phase) {
            for (int j = 0; j < ch; ++j)
                for (int i = 0; i < cw; ++i) point[size_t(j) * cw + i] = luma[size_t(k * j + phase) * LOGO_W + k * i + phase];
            mean += ssim(point, area, cw, ch) / k;
        }
        EXPECT_GE(mean, 0.77) << "at 1/" << k;
    }
}

TEST(LogoPicture, RimStandsOutOnEveryPlasmaColourAndOutlinesCloseEachLetter) {
    // Over the spinning plasma the silhouette's edge must never melt into
    // it: every art pixel within 8 steps of the see-through black has a
    // contrast of 3:1 or more against every colour of the plasma's palette
    // (no near-black colour can: the palette itself goes black).
    build_plasma_palette();
    auto linear = [](int v) {
        double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    auto luminance = [&](int r, int g, int b) { return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b); };
    auto worst_contrast = [&](bgr c) {
        double l = luminance(c.r, c.g, c.b), worst = 21;
        for (const auto& p : plasma_palette) {
            double q = luminance(p[2], p[1], p[0]);
            worst = std::min(worst, (std::max(l, q) + 0.05) / (std::min(l, q) + 0.05));
        }
        return worst;
    };
    const int N = LOGO_W * LOGO_H;
    std::vector<int> steps(N, 99);  // 4-neighbour steps to the nearest black pixel
    std::vector<int> queue;
    for (int i = 0; i < N; ++i)
        if (is_exact(pixel(logo_picture, LOGO_W, i % LOGO_W, i / LOGO_W), 0, 0, 0)) steps[i] = 0, queue.push_back(i);
    for (size_t q = 0; q < queue.size(); ++q) {
        int i = queue[q], x = i % LOGO_W, y = i / LOGO_W;
        for (int j : {x > 0 ? i - 1 : -1, x < LOGO_W - 1 ? i + 1 : -1, y > 0 ? i - LOGO_W : -1, y < LOGO_H - 1 ? i + LOGO_W : -1})
            if (j >= 0 && steps[j] > steps[i] + 1) steps[j] = steps[i] + 1, queue.push_back(j);
    }
    double rim_worst = 21;
    for (int i = 0; i < N; ++i)
        if (steps[i] >= 1 && steps[i] <= 8) rim_worst = std::min(rim_worst, worst_contrast(pixel(logo_picture, LOGO_W, i % LOGO_W, i / LOGO_W)));
    EXPECT_GE(rim_worst, 3.0);

    // Inside the rim, near-black outlines (never exact black) close every
    // letter: the art that the outlines wall off from the rim is exactly
    // three pieces, Z, V and a K whose arm and leg join its upright, and
    // together they cover about half of the picture.
    std::vector<uint8_t> outline(N), seen(N, 0);
    long outlined = 0;
    for (int i = 0; i < N; ++i) {
        bgr c = pixel(logo_picture, LOGO_W, i % LOGO_W, i / LOGO_W);
        outline[i] = steps[i] > 8 && std::max({c.r, c.g, c.b}) <= 40;
        outlined += outline[i];
    }
    EXPECT_GT(outlined * 20, long(N)) << "outline pixels";
    // The outline is backed by a dark navy inside the letters: together a
    // dark edge of 8 px or more (the median of each dark pixel's shorter
    // run across it), so at 1/8 every letter keeps its line.
    std::vector<int> across;
    for (int i = 0; i < N; ++i) {
        bgr c = pixel(logo_picture, LOGO_W, i % LOGO_W, i / LOGO_W);
        if (steps[i] <= 8 || 0.299 * c.r + 0.587 * c.g + 0.114 * c.b >= 60) continue;
        int run[2] = {1, 1};
        for (int axis = 0; axis < 2; ++axis)
            for (int dir : {-1, 1})
                for (int j = i + dir * (axis ? LOGO_W : 1);; j += dir * (axis ? LOGO_W : 1), ++run[axis]) {
                    if (j < 0 || j >= N || (!axis && j / LOGO_W != i / LOGO_W) || steps[j] <= 8) break;
                    bgr d = pixel(logo_picture, LOGO_W, j % LOGO_W, j / LOGO_W);
                    if (0.299 * d.r + 0.587 * d.g + 0.114 * d.b >= 60) break;
                }
        across.push_back(std::min(run[0], run[1]));
    }
    ASSERT_FALSE(across.empty());
    std::nth_element(across.begin(), across.begin() + long(across.size() / 2), across.end());
    EXPECT_GE(across[across.size() / 2], 8) << "dark edge";
    auto flood = [&](int start) {  // art pixels reachable without crossing an outline
        long n = 0;
        std::vector<int> stack{start};
        seen[start] = 1;
        while (!stack.empty()) {
            int i = stack.back(), x = i % LOGO_W, y = i / LOGO_W;
            stack.pop_back();
            ++n;
            for (int j : {x > 0 ? i - 1 : -1, x < LOGO_W - 1 ? i + 1 : -1, y > 0 ? i - LOGO_W : -1, y < LOGO_H - 1 ? i + LOGO_W : -1})
                if (j >= 0 && !seen[j] && steps[j] > 0 && !outline[j]) seen[j] = 1, stack.push_back(j);
        }
        return n;
    };
    for (int i = 0; i < N; ++i)
        if (steps[i] == 1 && !seen[i]) flood(i);  // the rim and the smoke behind the letters
    std::vector<long> letters;
    for (int i = 0; i < N; ++i)
        if (steps[i] > 8 && !outline[i] && !seen[i]) letters.push_back(flood(i));
    std::sort(letters.rbegin(), letters.rend());
    long big = 0, total = 0;
    for (long n : letters) big += n * 20 >= N, total += n;
    EXPECT_EQ(big, 3) << letters.size() << " walled-off pieces";
    EXPECT_GE(total * 10, long(N) * 4);
    EXPECT_LE(total * 10, long(N) * 6);
}
