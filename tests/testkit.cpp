#include "testkit.h"
#include "music/music.h"
#include "platform/system_null.h"
#include "screen/screen.h"
#include <cstddef>
#include <cstring>
#include <vector>

static std::vector<uint8_t>& memory_screen() {
    static std::vector<uint8_t> bytes(SCREEN_BYTES);
    return bytes;
}

uint8_t* use_memory_screen(uint8_t fill) {
    std::vector<uint8_t>& bytes = memory_screen();
    std::memset(bytes.data(), fill, bytes.size());
    screen_pixels = bytes.data();
    screen_black = 0;
    return bytes.data();
}

uint8_t* screen_pixel(int x, int y) { return screen_pixels + 4 * (x + SCREEN_W * y); }

uint32_t screen_word(int x, int y) {
    uint32_t w;
    std::memcpy(&w, screen_pixel(x, y), 4);
    return w;
}

uint64_t hash_bytes(const uint8_t* bytes, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

bool music_playing_at(int64_t from_us, int64_t to_us) {
    constexpr int64_t step = 500000;
    for (int64_t t = from_us; t < to_us; t += step) {
        null_clock_set(t, 0);
        music_playing();
    }
    null_clock_set(to_us, 0);
    return music_playing();
}
