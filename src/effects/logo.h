// Rotating logo: screen offsets of every logo pixel for 360 animation frames,
// computed once, then copied per frame.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int LOGO_PIXELS = 766 * 154;                  // 117,964
constexpr int LOGO_FRAME_ENTRIES = 2 * LOGO_PIXELS;     // 235,928
constexpr int LOGO_FRAME_COUNT = 360;
constexpr int64_t LOGO_TABLE_ENTRIES = int64_t(LOGO_FRAME_ENTRIES) * LOGO_FRAME_COUNT;

// 84,934,080 entries: frame, row, column, then x before y.
extern int64_t* logo_frames;

// Obtains the table once (huge pages where the system offers them). False,
// after one line on standard error, when the memory cannot be had.
bool allocate_logo_frames();

void build_logo_frames();

// Anonymous, 2 MB-aligned memory with the huge-page advice, as the table gets;
// null on failure. Release with os_unmap_big(p, bytes). Benchmarks use it for fresh
// memory on every pass.
int64_t* map_logo_memory(size_t bytes);

// Fills any table of LOGO_TABLE_ENTRIES entries the way build_logo_frames fills
// logo_frames.
void build_logo_frames_into(int64_t* table);

// Copies the non-black logo pixels to the offsets of the frame at pos, reading
// the table forwards (dir +1) or backwards (dir -1). Uses the fastest routine
// the CPU supports, chosen on the first call.
void draw_logo_frame(int32_t logo_frame_pos, int32_t logo_direction);

// The routines draw_logo_frame chooses from, exposed so tests can hold each one
// against the plain formula; all give identical screens.
void draw_logo_frame_sse2(int32_t logo_frame_pos, int32_t logo_direction);
void draw_logo_frame_avx512(int32_t logo_frame_pos, int32_t logo_direction);  // only when logo_avx512_usable()
bool logo_avx512_usable();  // AVX-512 F present
