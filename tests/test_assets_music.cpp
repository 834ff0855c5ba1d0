// Checks on the embedded tune: the MP3 bytes (tag and frame layout) and that
// the mixer loads and plays them from memory.
#include "assets.h"
#include "platform/platform.h"
#include "platform/system_null.h"
#include "testkit.h"
#include "music/music.h"
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int TAG_END = 2121;  // 10-byte header plus the 2,111 the header announces
constexpr int MP3_FRAMES = 6940;
constexpr int MP3_FRAME_BYTES = 480;

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

struct mpeg_header {
    int version_bits, layer_bits, protection_bit, bitrate_kbps, sample_rate, padding, channel_mode;
};

// Field decode of a 32-bit MPEG audio frame header (MPEG-1 Layer III tables).
mpeg_header decode(uint32_t h) {
    static const int kbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1};
    static const int rates[4] = {44100, 48000, 32000, -1};
    return {int(h >> 19) & 3, int(h >> 17) & 3, int(h >> 16) & 1, kbps[(h >> 12) & 15],
            rates[(h >> 10) & 3], int(h >> 9) & 1, int(h >> 6) & 3};
}

// Walks ID3v2.2 frames (3-byte id, 3-byte big-endian size) from offset 10
// until the padding; returns the ids in order and where the padding starts.
// Frames must fit inside the tag; a bad id or overrun stops the walk early.
std::vector<std::string> id3v22_frames(const uint8_t* data, int tag_end, int* padding_at,
                                       std::vector<int>* encodings) {
    std::vector<std::string> ids;
    int pos = 10;
    while (pos + 6 <= tag_end && data[pos] != 0) {
        std::string id(reinterpret_cast<const char*>(data + pos), 3);
        int size = data[pos + 3] << 16 | data[pos + 4] << 8 | data[pos + 5];
        bool id_ok = true;
        for (char c : id) id_ok &= (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!id_ok || size < 1 || pos + 6 + size > tag_end) break;
        ids.push_back(id);
        encodings->push_back(data[pos + 6]);
        pos += 6 + size;
    }
    *padding_at = pos;
    return ids;
}

// start_music with what it prints on stderr caught in *err.
void start_music_capturing(std::string* err) {
    testing::internal::CaptureStderr();
    start_music();
    *err = testing::internal::GetCapturedStderr();
}

// The embedded tune's length, as the mixer's calls take it.
int mp3_bytes() { return int(music_mp3_size()); }

// Sets the audio driver the next SDL audio start-up will pick.
void use_audio_driver(const char* name) { ASSERT_EQ(setenv("SDL_AUDIODRIVER", name, 1), 0); }

}  // namespace

TEST(MusicBytes, Id3v22TagHeaderAndFrames) {
    const uint8_t header[10] = {'I', 'D', '3', 2, 0, 0, 0x00, 0x00, 0x10, 0x3F};
    ASSERT_EQ(std::memcmp(music_mp3, header, 10), 0);
    // Synchsafe: seven bits per byte.
    int size = music_mp3[6] << 21 | music_mp3[7] << 14 | music_mp3[8] << 7 | music_mp3[9];
    EXPECT_EQ(size, 2111);
    EXPECT_EQ(10 + size, TAG_END);

    int padding_at = 0;
    std::vector<int> encodings;
    auto ids = id3v22_frames(music_mp3, TAG_END, &padding_at, &encodings);
    std::map<std::string, int> count;
    for (const auto& id : ids) ++count[id];
    EXPECT_EQ(count.size(), 3u);
    EXPECT_EQ(count["TT2"], 1);
    EXPECT_EQ(count["TEN"], 1);
    EXPECT_EQ(count["COM"], 3);
    for (size_t i = 0; i < encodings.size(); ++i) EXPECT_EQ(encodings[i], 0) << ids[i];  // ISO-8859-1
    int stray = 0;
    for (int i = padding_at; i < TAG_END; ++i) stray += music_mp3[i] != 0;
    EXPECT_EQ(stray, 0) << "padding from " << padding_at;
}
TEST(MusicBytes, EveryFrameIsLayer3At160kbps48kHzAndTheyFillTheRest) {
    // Exactly filled, so nothing (no ID3v1 trailer) follows the last frame.
    ASSERT_EQ(TAG_END + MP3_FRAMES * MP3_FRAME_BYTES, music_mp3_size());
    int bad = 0;
    for (int f = 0; f < MP3_FRAMES; ++f) {
        uint32_t h = be32(music_mp3 + TAG_END + f * MP3_FRAME_BYTES);
        mpeg_header d = decode(h);
        // Sync, MPEG-1, Layer III, no CRC, 160 kbit/s, 48 kHz, no padding,
        // joint stereo; of the other bits only mid/side (bit 5) may be set.
        bool ok = h >> 21 == 0x7FFu && d.version_bits == 3 && d.layer_bits == 1 && d.protection_bit == 1 &&
                  d.bitrate_kbps == 160 && d.sample_rate == 48000 && d.padding == 0 && d.channel_mode == 1 &&
                  (h & ~0x20u) == 0xFFFBA440u;
        // A Layer III frame is 144 * bitrate / rate bytes (+ padding) and
        // holds 1,152 samples: the fixed stride and the tune's length follow.
        ok = ok && 144 * d.bitrate_kbps * 1000 / d.sample_rate + d.padding == MP3_FRAME_BYTES;
        if (!ok && bad++ < 5) ADD_FAILURE() << "frame " << f << std::hex << " header " << h;
    }
    EXPECT_EQ(bad, 0);
    EXPECT_DOUBLE_EQ(MP3_FRAMES * 1152 / 48000.0, MUSIC_SECONDS);
    // A Xing/Info frame would be a silent first frame and shift the timing.
    auto contains = [](const uint8_t* p, int n, const char* word) {
        for (int i = 0; i + 4 <= n; ++i)
            if (std::memcmp(p + i, word, 4) == 0) return true;
        return false;
    };
    EXPECT_FALSE(contains(music_mp3 + TAG_END, MP3_FRAME_BYTES, "Xing"));
    EXPECT_FALSE(contains(music_mp3 + TAG_END, MP3_FRAME_BYTES, "Info"));
}

TEST(MusicPlayback, MixerLoadsTheTuneFromMemoryAtItsLength) {
    use_audio_driver("dummy");
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024), 0) << Mix_GetError();
    // The audio frames alone: 6,940 CBR frames leave the decoder nothing to guess.
    Mix_Music* frames = Mix_LoadMUSType_RW(
        SDL_RWFromConstMem(music_mp3 + TAG_END, mp3_bytes() - TAG_END), MUS_MP3, 1);
    EXPECT_NE(frames, nullptr) << Mix_GetError();
    if (frames) {
        EXPECT_NEAR(Mix_MusicDuration(frames), 166.56, 0.05);
        Mix_FreeMusic(frames);
    }
    // The whole file, as the intro loads it.
    Mix_Music* music = Mix_LoadMUSType_RW(SDL_RWFromConstMem(music_mp3, mp3_bytes()), MUS_MP3, 1);
    EXPECT_NE(music, nullptr) << Mix_GetError();
    if (music) {
        // Without a Xing/Info frame the MP3 decoder estimates the length from
        // the byte count and counts the 2,121-byte tag as 4.4 frames of audio:
        // 166.666 s. What plays is the 6,940 frames checked above.
        double estimate = mp3_bytes() / 480.0 * 1152 / 48000;
        EXPECT_NEAR(Mix_MusicDuration(music), estimate, 0.01);
        Mix_FreeMusic(music);
    }
    Mix_CloseAudio();
    SDL_Quit();
}

TEST(MusicSound, DecodedAsTheMixerPlaysItTheTuneKeepsItsMix) {
    use_audio_driver("dummy");
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024), 0) << Mix_GetError();
    Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(music_mp3, mp3_bytes()), 1);
    ASSERT_NE(chunk, nullptr) << Mix_GetError();
    const int16_t* pcm = reinterpret_cast<const int16_t*>(chunk->abuf);
    const double fs = 44100;
    const long frames = long(chunk->alen / 4);
    ASSERT_GT(frames, long(166 * fs));
    auto at = [&](double s) { return long(s * fs); };
    // RMS in dBFS of the left (0), right (1) or both (2) channels, or of
    // their mono fold-down (3), from a to b seconds.
    auto level = [&](double a, double b, int side) {
        double sum = 0;
        for (long i = at(a); i < at(b); ++i) {
            if (side == 3) sum += 0.25 * (double(pcm[2 * i]) + pcm[2 * i + 1]) * (double(pcm[2 * i]) + pcm[2 * i + 1]);
            for (int c = 0; c < 2 && side != 3; ++c)
                if (side == 2 || side == c) sum += double(pcm[2 * i + c]) * pcm[2 * i + c];
        }
        return 10 * std::log10(sum / double((at(b) - at(a)) * (side == 2 ? 2 : 1)) / (32768.0 * 32768.0) + 1e-20);
    };
    const double end = double(frames) / fs;
    EXPECT_NEAR(level(0, end, 0), level(0, end, 1), 1.0) << "left and right over the whole tune";
    EXPECT_NEAR(level(0, 100, 0), level(0, 100, 1), 1.0) << "left and right over the first 100 s";

    // Stereo, but not two tunes: left/right correlation inside both themes
    // and over what an unattended run plays; a mono fold-down keeps the
    // level (nothing cancels).
    struct stretch {
        double from, to, lo, hi;
    };
    for (stretch s : {stretch{10, 38, 0.6, 0.9}, stretch{40, 68, 0.6, 0.9}, stretch{0, 100, 0.55, 0.9},
                      stretch{70, 77, 0.5, 0.95}}) {
        double lr = 0, ll = 0, rr = 0;
        for (long i = at(s.from); i < at(s.to); ++i) {
            double l = pcm[2 * i], r = pcm[2 * i + 1];
            lr += l * r, ll += l * l, rr += r * r;
        }
        double corr = lr / std::sqrt(ll * rr);
        EXPECT_GE(corr, s.lo) << "from " << s.from << " s";
        EXPECT_LE(corr, s.hi) << "from " << s.from << " s";
        EXPECT_GE(level(s.from, s.to, 3) - level(s.from, s.to, 2), -1.5) << "mono fold-down from " << s.from << " s";
    }
    // Theme B (38.7 s) lifts over theme A (8.0 s).
    EXPECT_GE(level(38.7, 69.4, 2) - level(8.0, 38.7, 2), 1.0);
    // The low end sits near the middle: under 150 Hz (two one-pole low-
    // passes), left and right within 5 dB in both themes.
    double lows[2] = {0, 0}, y[2][2] = {{0, 0}, {0, 0}};
    const double k = 1 - std::exp(-2 * M_PI * 150 / fs);
    for (long i = at(8.0); i < at(69.4); ++i)
        for (int c = 0; c < 2; ++c) {
            y[c][0] += k * (pcm[2 * i + c] - y[c][0]);
            y[c][1] += k * (y[c][0] - y[c][1]);
            lows[c] += y[c][1] * y[c][1];
        }
    EXPECT_NEAR(10 * std::log10(lows[0] / lows[1]), 0.0, 5.0) << "the bass is off to one side";

    // Mains hum: the steady 50 and 100 Hz lines of the whole tune (Hann-
    // windowed Goertzel), far under the hiss.
    for (double f : {50.0, 100.0}) {
        double w = 2 * std::cos(2 * M_PI * f / fs), s1 = 0, s2 = 0, wsum = 0;
        for (long i = 0; i < frames; ++i) {
            double hann = 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(frames - 1));
            double s0 = hann * (pcm[2 * i] + pcm[2 * i + 1]) / 2 / 32768.0 + w * s1 - s2;
            s2 = s1, s1 = s0, wsum += hann;
        }
        double amp = std::sqrt(s1 * s1 + s2 * s2 - w * s1 * s2) * 2 / wsum;
        EXPECT_LE(20 * std::log10(amp / std::sqrt(2.0)), -55.0) << f << " Hz";
    }

    // The break meets the end screen (68.5-69.5 s): loud before, quiet after.
    EXPECT_GE(level(65.5, 68.5, 2) - level(70, 73, 2), 3.0);

    // The cassette starts before the first note (0.3 s): silence, the play
    // click, then the hiss swelling.
    int click = 0;
    for (long i = 0; i < at(0.1); ++i) click = std::max({click, std::abs(int(pcm[2 * i])), std::abs(int(pcm[2 * i + 1]))});
    EXPECT_LT(level(0, 0.02, 2), -80.0);
    EXPECT_GT(20 * std::log10(click / 32768.0), -20.0) << "no play click";
    EXPECT_LE(level(0.1, 0.14, 2), level(0.24, 0.29, 2) - 4.0) << "the hiss does not swell in";

    // The end lands: a closing phrase, the hit at 94.38 s, its tail gone
    // into the hiss 3 s later; the recorded hiss heard alone under -30 dBFS
    // until the taper's pause key at 97.8 s ends the recording, before the
    // end screen's fade (98.5-101 s). The blank tape after it is quieter but
    // still heard through the fade (over -46 dBFS, so a capture at the
    // mixer's volume passes the fade check), until the stop click at 102 s.
    const double hit = 94.38, rec_end = 97.8, stop = 102.0;
    auto peak = [&](double a, double b) {
        int p = 0;
        for (long i = at(a); i < at(b); ++i) p = std::max({p, std::abs(int(pcm[2 * i])), std::abs(int(pcm[2 * i + 1]))});
        return 20 * std::log10(p / 32768.0 + 1e-9);
    };
    // (Decoders differ by some tens of milliseconds, so the windows keep 0.1 s clear of the keys.)
    const double hiss = level(rec_end - 0.4, rec_end - 0.1, 2), blank = level(rec_end + 0.1, stop - 0.1, 2);
    EXPECT_GT(level(hit - 2, hit, 2), -20.0) << "the closing phrase";
    EXPECT_GT(level(hit, hit + 0.5, 2), level(hit - 2, hit, 2) - 3.0) << "the hit";
    EXPECT_NEAR(level(hit + 3.0, hit + 3.15, 2), hiss, 1.0) << "the hit still rings";
    EXPECT_GE(hiss, -40.0);
    EXPECT_LE(hiss, -34.0);
    EXPECT_GT(peak(rec_end - 0.1, rec_end + 0.1), peak(rec_end - 0.4, rec_end - 0.1) + 4.0) << "no pause key";
    EXPECT_GE(blank, -46.0);
    EXPECT_LE(blank, hiss - 3.0) << "the blank tape is as loud as the recording";
    EXPECT_LT(level(stop + 0.1, end, 2), -80.0) << "sound after the stop click";
    Mix_FreeChunk(chunk);
    Mix_CloseAudio();
    SDL_Quit();
}

TEST(MusicPlayback, StartMusicPlaysWhenADeviceOpens) {
    use_audio_driver("dummy");
    std::string err;
    start_music_capturing(&err);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    EXPECT_TRUE(music_playing());
    EXPECT_EQ(err.find("running without sound"), std::string::npos) << err;
    platform_shut_down();
    EXPECT_EQ(SDL_WasInit(0), 0u) << "a device that takes samples is closed on the way out";
}

TEST(MusicPlayback, NoAudioDriverMeansOneLineAndSilence) {
    null_platform_reset();  // the silent stand-in runs on the (virtual) clock
    use_audio_driver("tapehiss-no-such-driver");
    std::string err;
    start_music_capturing(&err);
    EXPECT_TRUE(music_playing());  // the silent clock stands in for the tune
    const std::string prefix = "tapehiss: running without sound: ";
    EXPECT_EQ(err.rfind(prefix, 0), 0u) << err;
    EXPECT_GT(err.size(), prefix.size() + 1) << "no reason given: " << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.back(), '\n');
    // Silence keeps the tune's length.
    int64_t start = null_clock_us();
    EXPECT_TRUE(music_playing_at(start, start + int64_t(166.5 * 1e6)));
    EXPECT_FALSE(music_playing_at(start + int64_t(166.5 * 1e6), start + int64_t(166.6 * 1e6)));
    platform_shut_down();
}
