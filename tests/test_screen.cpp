// The screen buffer: whole-picture copies, the clear, and drawing into a
// buffer of our own when the window surface has another layout.
#include "assets.h"
#include "screen/scale.h"
#include "platform/video_screen.h"
#include "testkit.h"
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(PictureCopies, TitleCopyIsByteExactFourthBytesIncluded) {
    use_memory_screen(0x5A);
    copy_title_picture();
    EXPECT_EQ(std::memcmp(screen_pixels, title_picture, SCREEN_BYTES), 0);
}

// Black is the surface format's own: a fourth byte of 255 where it is alpha.
TEST(PictureCopies, ClearPaintsEveryPixelTheSurfaceBlack) {
    for (uint32_t format : {SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_ARGB8888}) {
        std::vector<uint8_t> memory(SCREEN_BYTES, 0xA7);
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(memory.data(), SCREEN_W, SCREEN_H, 32, SCREEN_PITCH, format);
        ASSERT_TRUE(attach_screen_to_surface(s, SDL_Rect{0, 0, SCREEN_W, SCREEN_H}));
        clear_screen();
        const uint32_t black = SDL_MapRGB(s->format, 0, 0, 0);
        for (int y = 0; y < SCREEN_H; ++y)
            for (int x = 0; x < SCREEN_W; ++x) ASSERT_EQ(screen_word(x, y), black) << x << "," << y;
        SDL_FreeSurface(s);
    }
}

TEST(PictureCopies, PictureBlockWritesExactlyItsRectangle) {
    uint8_t* screen = use_memory_screen(0x33);
    std::vector<uint8_t> before(screen, screen + SCREEN_BYTES);
    draw_picture_block(200, 200, 766, 0);
    EXPECT_EQ(std::memcmp(screen, before.data(), SCREEN_BYTES), 0) << "h = 0 draws nothing";

    draw_picture_block(200, 200, 766, 154);
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            bool inside = x >= 200 && x <= 965 && y >= 200 && y <= 353;
            const uint8_t* expected =
                inside ? logo_picture + 4 * ((x - 200) + LOGO_W * (y - 200)) : &before[4 * (x + SCREEN_W * y)];
            ASSERT_EQ(std::memcmp(screen_pixel(x, y), expected, 4), 0) << x << "," << y;
        }
}

TEST(ScreenLayout, OnlyTheExactLayoutIsDrawnIntoDirectly) {
    struct Case { int w, h, pitch; uint32_t format; bool direct; };
    const Case cases[] = {
        {1280, 720, 5120, SDL_PIXELFORMAT_RGB888, true},
        {1280, 720, 5120, SDL_PIXELFORMAT_ARGB8888, true},   // same bytes, alpha in the fourth
        {1280, 720, 5184, SDL_PIXELFORMAT_RGB888, false},    // padded rows
        {1280, 720, 5120, SDL_PIXELFORMAT_BGR888, false},    // red and blue swapped
        {1024, 768, 4096, SDL_PIXELFORMAT_RGB888, false},    // the dummy driver
        {1920, 1080, 7680, SDL_PIXELFORMAT_RGB888, false},   // a desktop that kept its mode
        {1280, 720, 3840, SDL_PIXELFORMAT_RGB24, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> memory(size_t(c.pitch) * c.h);
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(memory.data(), c.w, c.h, 32, c.pitch, c.format);
        ASSERT_NE(s, nullptr) << SDL_GetError();
        EXPECT_EQ(surface_has_screen_layout(s), c.direct) << c.w << "x" << c.h << " pitch " << c.pitch;
        EXPECT_EQ(attach_screen_to_surface(s, SDL_Rect{0, 0, c.w, c.h}), c.direct);
        EXPECT_EQ(screen_pixels == memory.data(), c.direct);
        SDL_FreeSurface(s);
    }
}

TEST(ScreenLayout, LetterboxKeepsTheAspectAndCentres) {
    auto rect = [](int w, int h) {
        const screen_rect r = letterbox_rect(w, h);
        return std::vector<int>{r.x, r.y, r.w, r.h};
    };
    EXPECT_EQ(rect(1280, 720), (std::vector<int>{0, 0, 1280, 720}));
    EXPECT_EQ(rect(1024, 768), (std::vector<int>{0, 96, 1024, 576}));
    EXPECT_EQ(rect(1920, 1080), (std::vector<int>{0, 0, 1920, 1080}));
    EXPECT_EQ(rect(1920, 1200), (std::vector<int>{0, 60, 1920, 1080}));
    EXPECT_EQ(rect(2560, 1080), (std::vector<int>{320, 0, 1920, 1080}));
}

// Presents our own screen onto a surface of another layout and returns the
// surface's pixel at (x, y) as red, green, blue.
struct Presented {
    std::vector<uint8_t> memory;
    SDL_Surface* surface;
    Presented(int w, int h, uint32_t format) : memory(size_t(w) * h * 4) {
        surface = SDL_CreateRGBSurfaceWithFormatFrom(memory.data(), w, h, 32, w * 4, format);
        std::memset(memory.data(), 0x77, memory.size());  // stale content must not survive
    }
    ~Presented() { SDL_FreeSurface(surface); }
    std::vector<int> rgb(int x, int y) const {
        uint32_t p;
        std::memcpy(&p, memory.data() + 4 * (x + surface->w * y), 4);
        uint8_t r, g, b;
        SDL_GetRGB(p, surface->format, &r, &g, &b);
        return {r, g, b};
    }
};

TEST(ScreenLayout, OwnBufferIsScaledCentredWithBlackAround) {
    Presented small(1024, 768, SDL_PIXELFORMAT_RGB888);
    ASSERT_FALSE(attach_screen_to_surface(small.surface, SDL_Rect{0, 0, 1024, 768}));
    // Left half red, right half green, in our buffer's byte order.
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            uint8_t* p = screen_pixels + 4 * (x + SCREEN_W * y);
            p[0] = 0, p[1] = x < 640 ? 0 : 255, p[2] = x < 640 ? 255 : 0, p[3] = 255;
        }
    present_screen();  // no window: it only scales
    EXPECT_EQ(small.rgb(0, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(small.rgb(1023, 95), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(small.rgb(0, 96), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(small.rgb(500, 400), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(small.rgb(530, 400), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(small.rgb(1023, 671), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(small.rgb(1023, 672), (std::vector<int>{0, 0, 0}));

    // Another byte order: the colours still come out right.
    Presented large(1920, 1080, SDL_PIXELFORMAT_BGR888);
    ASSERT_FALSE(attach_screen_to_surface(large.surface, SDL_Rect{0, 0, 1920, 1080}));
    copy_title_picture();
    present_screen();
    for (int y : {0, 400, 1079})
        for (int x : {0, 700, 1919}) {
            const uint8_t* src = title_picture + 4 * (x * 2 / 3 + SCREEN_W * (y * 2 / 3));
            EXPECT_EQ(large.rgb(x, y), (std::vector<int>{src[2], src[1], src[0]})) << x << "," << y;
        }

    // The screen is our own buffer, not the window surface.
    clear_screen();
    for (int i = 0; i < SCREEN_W * SCREEN_H; ++i) ASSERT_EQ(screen_pixels[4 * i + 2], 0);
}

// A surface of another pixel format needs a scaled copy; when its memory
// cannot be had, one line says so and nothing is written raw into the surface
// (4-byte pixels into a 3-byte layout would run past its end). An
// address-space limit and AddressSanitizer's shadow memory do not mix.
#if !defined(__SANITIZE_ADDRESS__)
[[noreturn]] void present_without_memory_for_the_scaled_copy() {
    Presented shown(1920, 1080, SDL_PIXELFORMAT_RGB24);
    rlimit tight;
    getrlimit(RLIMIT_AS, &tight);
    // Room for what is mapped now and a little more, not for a scaled picture.
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    statm >> pages;
    tight.rlim_cur = rlim_t(pages * size_t(sysconf(_SC_PAGESIZE)) + (size_t(1) << 20));
    setrlimit(RLIMIT_AS, &tight);
    attach_screen_to_surface(shown.surface, SDL_Rect{0, 0, 1920, 1080});
    copy_title_picture();
    present_screen();
    std::exit(shown.rgb(960, 540) == std::vector<int>(3, 0) ? 0 : 3);
}
#endif

TEST(ScreenLayout, NoMemoryForTheScaledCopyMeansOneLineAndNoRawWrite) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit and AddressSanitizer do not mix";
#else
    EXPECT_EXIT(present_without_memory_for_the_scaled_copy(), testing::ExitedWithCode(0),
                "tapehiss: cannot make the 1920 x 1080 picture for this display");
#endif
}

// Whole-number factors, the general path and a width past the column map all
// give exactly destination (x, y) = screen (x * 1280 / w, y * 720 / h).
TEST(ScreenLayout, ScalingIsExactlyNearestNeighbour) {
    uint8_t* screen = use_memory_screen(0);
    for (int i = 0; i < SCREEN_W * SCREEN_H; ++i) {
        const uint32_t v = uint32_t(i) * 2654435761u;  // every pixel different
        std::memcpy(screen + 4 * i, &v, 4);
    }
    const std::pair<int, int> sizes[] = {{1280, 720}, {1920, 1080}, {2560, 1440}, {3840, 2160},
                                         {1366, 768}, {1281, 721},  {SCALE_MAP_MAX_W + 3, 720}};
    // Rows packed and 16-byte aligned (the streamed way at 2x and 3x), and
    // rows that need not be.
    for (int padding : {0, 12})
    for (auto [w, h] : sizes) {
        const int pitch = 4 * w + padding;
        std::vector<uint8_t> dst(size_t(pitch) * h);
        scale_screen(screen, dst.data(), pitch, w, h);
        long off = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                off += std::memcmp(&dst[size_t(y) * pitch + 4 * size_t(x)],
                                   screen + 4 * (int64_t(x) * SCREEN_W / w + SCREEN_W * (int64_t(y) * SCREEN_H / h)),
                                   4) != 0;
        EXPECT_EQ(off, 0) << w << "x" << h << ", rows " << pitch << " bytes apart";
    }
}

// The offscreen video driver's window surface has the screen's own layout and
// is drawn into directly.
TEST(ScreenLayout, OffscreenDriverWindowIsDrawnIntoDirectly) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("test", 0, 0, SCREEN_W, SCREEN_H, SDL_WINDOW_FULLSCREEN | SDL_WINDOW_SHOWN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    ASSERT_TRUE(attach_window_screen(window));
    EXPECT_TRUE(video_draws_direct());
    EXPECT_EQ(screen_pixels, SDL_GetWindowSurface(window)->pixels);
    detach_window_screen();
    SDL_Quit();
}

// The dummy video driver's real window surface (1024 x 768): the title shows
// scaled into the middle, black above and below.
TEST(ScreenLayout, DummyDriverWindowShowsTheTitleLetterboxed) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("test", 0, 0, SCREEN_W, SCREEN_H, SDL_WINDOW_FULLSCREEN | SDL_WINDOW_SHOWN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    ASSERT_NE(surface, nullptr) << SDL_GetError();
    ASSERT_EQ(surface->w, 1024);
    ASSERT_EQ(surface->h, 768);
    ASSERT_TRUE(attach_window_screen(window));
    EXPECT_FALSE(video_draws_direct());
    copy_title_picture();
    present_screen();
    auto rgb = [&](int x, int y) {
        uint32_t p;
        std::memcpy(&p, static_cast<uint8_t*>(surface->pixels) + y * surface->pitch + 4 * x, 4);
        uint8_t r, g, b;
        SDL_GetRGB(p, surface->format, &r, &g, &b);
        return std::vector<int>{r, g, b};
    };
    for (int x : {0, 511, 1023}) {
        EXPECT_EQ(rgb(x, 0), (std::vector<int>{0, 0, 0}));
        EXPECT_EQ(rgb(x, 95), (std::vector<int>{0, 0, 0}));
        EXPECT_EQ(rgb(x, 672), (std::vector<int>{0, 0, 0}));
        EXPECT_EQ(rgb(x, 767), (std::vector<int>{0, 0, 0}));
    }
    EXPECT_EQ(rgb(0, 96), (std::vector<int>{3, 3, 3})) << "the title's near-black background";
    EXPECT_EQ(rgb(512, 96 + 288), (std::vector<int>{title_picture[4 * (640 + 1280 * 360) + 2],
                                                      title_picture[4 * (640 + 1280 * 360) + 1],
                                                      title_picture[4 * (640 + 1280 * 360)]}));
    detach_window_screen();
    SDL_Quit();
}

}  // namespace
