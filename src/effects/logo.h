// Rotating logo: screen offsets of every logo pixel for 360 animation frames,
// computed once, then copied per frame.
#pragma once
#include "assets.h"
#include "effects/routines.h"
#include <cstddef>
#include <cstdint>

constexpr int LOGO_PIXELS = LOGO_W * LOGO_H;            // 117,964
constexpr int LOGO_FRAME_ENTRIES = 2 * LOGO_PIXELS;     // 235,928
constexpr int LOGO_FRAME_COUNT = 360;
constexpr int64_t LOGO_TABLE_ENTRIES = int64_t(LOGO_FRAME_ENTRIES) * LOGO_FRAME_COUNT;
// The animation runs forwards while its position (counted in table entries)
// is at most this, and turns back once it has passed it: the limit lies
// between frame 266 (62,756,848) and frame 267 (62,992,776), so frames 0..266
// are drawn forwards and 267..1 backwards.
constexpr int32_t LOGO_TURN_POS = 62758079;
static_assert(int64_t(266) * LOGO_FRAME_ENTRIES <= LOGO_TURN_POS && LOGO_TURN_POS < int64_t(267) * LOGO_FRAME_ENTRIES,
              "the turn falls between frames 266 and 267");

// 84,934,080 entries: frame, row, column, then x before y.
extern int64_t* logo_frames;
constexpr size_t LOGO_TABLE_BYTES = size_t(LOGO_TABLE_ENTRIES) * sizeof(int64_t);

// Obtains the table once (huge pages where the system offers them). False,
// after one line on standard error, when the memory cannot be had.
bool allocate_logo_frames();

// Fills frames [first, end) of a table of LOGO_TABLE_ENTRIES entries (the
// start-up builds logo_frames in blocks, reporting progress in between).
void build_logo_frames_range(int64_t* table, int first, int end);

// One way of drawing a frame: copies the non-black pixels of the picture set
// by prepare_logo_drawing to the offsets of the frame at pos, reading the
// table forwards (dir +1) or backwards (dir -1).
using logo_pass = void (*)(int32_t logo_frame_pos, int32_t logo_direction);
using logo_routine = effect_routine<logo_pass>;

// Every logo routine built in (routines.h: all_routines, and
// running_routines for those this machine runs, fastest first).
const routine_table<logo_pass>& logo_routine_table();

// Sets the picture the routines draw (logo_picture in the show; LOGO_W x
// LOGO_H pixels), lists its non-black pixels and picks the fastest routine
// for draw_logo_frame. Part of the start-up work.
void prepare_logo_drawing(const uint8_t* picture);

// Draws the frame at pos with the routine prepare_logo_drawing picked.
void draw_logo_frame(int32_t logo_frame_pos, int32_t logo_direction);
