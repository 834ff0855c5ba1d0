// tapehiss-capture: draws any moment of the show without a window and writes
// it as a PNG, or streams the whole show as raw RGB frames for a video.
#include "moments.h"
#include "endscreen/endscreen.h"
#include "flow/demo.h"
#include "screen/screen.h"
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static const char USAGE[] =
    "tapehiss-capture " TAPEHISS_VERSION " (Tapehiss Meets Modernity, ZVK)\n"
    "usage: tapehiss-capture [--out FILE.png] SCENE [ARGS]\n"
    "       tapehiss-capture --video-raw > frames.rgb\n"
    "       tapehiss-capture --help\n"
    "\n"
    "Draws one moment of the intro without a window and writes it as a\n"
    "1280x720 RGB PNG.\n"
    "\n"
    "Scenes:\n"
    "  title              the title picture\n"
    "  credits            the credits screen\n"
    "  main N             the main scene after N passes of its loop (0..1000000);\n"
    "                     0 is the black first frame, 1 the first drawn one\n"
    "  end CYCLE STEP     an end-screen frame: CYCLE 1..600 (odd widening, even\n"
    "                     narrowing), STEP 2..49\n"
    "\n"
    "Options:\n"
    "  --out FILE.png     where to write (default: SCENE[-ARGS].png here); - is\n"
    "                     standard output; a symbolic link is written through, a\n"
    "                     FIFO or device written into\n"
    "  --video-raw        the whole show as raw RGB24 1280x720 frames on standard\n"
    "                     output at 1000/13 frames per second; the times of the\n"
    "                     main scene's start and of the end go to standard error\n"
    "  --help             this text\n"
    "\n"
    "Examples:\n"
    "  tapehiss-capture title\n"
    "  tapehiss-capture --out docs/scene-main.png main 200\n"
    "  tapehiss-capture end 3 25\n"
    "  tapehiss-capture --video-raw | ffmpeg -f rawvideo -pix_fmt rgb24 -s 1280x720 \\\n"
    "      -framerate 1000/13 -i - out.mp4\n";

static int fail(const char* message, const char* detail = nullptr) {
    if (detail)
        std::fprintf(stderr, "tapehiss-capture: %s: %s\n", message, detail);
    else
        std::fprintf(stderr, "tapehiss-capture: %s\n", message);
    return 2;
}

// Whole decimal numbers only: no sign, no spaces, no trailing characters.
static bool parse_number(const char* text, int64_t lo, int64_t hi, int64_t* out) {
    if (*text == 0 || std::strlen(text) > 12) return false;
    int64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + (*p - '0');
    }
    if (v < lo || v > hi) return false;
    *out = v;
    return true;
}

// Colour bytes of the screen as RGB rows.
static void screen_to_rgb(uint8_t* rgb) {
    const uint8_t* p = screen_pixels;
    for (int i = 0; i < SCREEN_W * SCREEN_H; ++i, p += 4, rgb += 3) {
        rgb[0] = p[2];
        rgb[1] = p[1];
        rgb[2] = p[0];
    }
}

// libpng's own handler would print a line of its own; the caller says what
// failed, once.
static void png_quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }

static bool write_png_stream(FILE* f, const uint8_t* rgb) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_quiet_error, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, SCREEN_W, SCREEN_H, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < SCREEN_H; ++y) png_write_row(png, rgb + size_t(y) * SCREEN_W * 3);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

static int cannot_write(const std::string& path, int error) {
    return fail("cannot write", (path + ": " + (error == EPIPE ? "broken pipe" : std::strerror(error))).c_str());
}

// Straight into what is already there and is not a plain file (a FIFO, a
// device, standard output).
static int write_png_into(FILE* f, const std::string& name, const uint8_t* rgb) {
    errno = 0;
    bool ok = write_png_stream(f, rgb);
    ok = std::fflush(f) == 0 && ok;
    return ok ? 0 : cannot_write(name, errno ? errno : EIO);
}

// The temporary file being written, so a stop signal can remove it before the
// process ends. Its name and temp_exists change only while the stop signals
// are blocked, so a handler never sees a file on disk that is not recorded,
// nor a record of one that is gone.
static char temp_name[PATH_MAX + 16];
static volatile sig_atomic_t temp_exists;

// Every signal that someone may send to end a process and whose default
// action does (SIGKILL and SIGSTOP cannot be caught; SIGPIPE and SIGXFSZ are
// turned into write errors instead).
static const int stop_signals[] = {SIGINT,    SIGTERM, SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2,
                                   SIGALRM,   SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef SIGPOLL
                                   SIGPOLL,
#endif
#ifdef SIGPWR
                                   SIGPWR,
#endif
};

static sigset_t stop_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : stop_signals) sigaddset(&set, s);
    return set;
}

static void block_stop_signals(bool block) {
    const sigset_t set = stop_signal_set();
    sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

static void remove_temp_file() {
    block_stop_signals(true);
    if (temp_exists) unlink(temp_name);
    temp_exists = 0;
    block_stop_signals(false);
}

// Async-signal-safe: unlink, signal and raise only. The signal stays blocked
// until the handler returns, and then ends the process with its own status.
static void remove_temp_and_stop(int signal) {
    if (temp_exists) unlink(temp_name);
    temp_exists = 0;
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// A signal ignored when the tool started (nohup's SIGHUP, a background job's
// SIGINT) stays ignored, as its starter asked.
static void remove_temp_file_on_stop_signals() {
    struct sigaction action {};
    action.sa_handler = remove_temp_and_stop;
    action.sa_mask = stop_signal_set();  // one stop at a time
    for (int s : stop_signals) {
        struct sigaction before {};
        if (sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}

// A temporary name beside `target` that the file system takes: the target's
// own name with ".tmpXXXXXX", its name shortened first when that would pass
// the longest name a directory entry may have.
static bool make_temp_name(const std::string& target) {
    const size_t slash = target.rfind('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    constexpr size_t suffix = sizeof ".tmpXXXXXX" - 1;
    const size_t keep = std::min(target.size() - base, size_t(NAME_MAX) - suffix);
    if (base + keep + suffix >= sizeof temp_name) return false;
    std::snprintf(temp_name, sizeof temp_name, "%.*s.tmpXXXXXX", int(base + keep), target.c_str());
    return true;
}

// Where a path leads through its symbolic links, whether or not the last
// target exists yet (a dangling link names the file to create).
static std::string link_target(const std::string& path) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::vector<char> to(PATH_MAX + 1);
        const ssize_t n = readlink(at.c_str(), to.data(), PATH_MAX);
        if (n <= 0) break;
        std::string next(to.data(), size_t(n));
        const size_t slash = at.rfind('/');
        if (next[0] != '/' && slash != std::string::npos) next = at.substr(0, slash + 1) + next;
        at = next;
    }
    return at;
}

// A plain file is written beside the target under a temporary name and
// renamed into place, so a failed or stopped run leaves neither a half file
// nor a changed old one. A symbolic link is written through (its target is
// replaced or created, the link stays); a FIFO or device is written into; a
// directory, or a file we may not write, is refused.
static int write_png(const std::string& path, const uint8_t* rgb) {
    if (path == "-") {
        if (isatty(STDOUT_FILENO)) return fail("--out - writes a PNG; send standard output to a file or pipe");
        return write_png_into(stdout, "standard output", rgb);
    }
    const std::string target = link_target(path);
    struct stat st;
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return fail("--out names a directory, not a file", path.c_str());
        if (!S_ISREG(st.st_mode)) {
            FILE* f = std::fopen(target.c_str(), "wb");
            if (!f) return cannot_write(path, errno);
            int rc = write_png_into(f, path, rgb);
            return std::fclose(f) == 0 ? rc : fail("cannot write", path.c_str());
        }
        // As a shell's > would: a file we may not write is not replaced.
        if (access(target.c_str(), W_OK) != 0) return cannot_write(path, errno);
    }
    block_stop_signals(true);
    const bool named = make_temp_name(target);
    const int fd = named ? mkstemp(temp_name) : -1;
    const int open_error = named ? errno : ENAMETOOLONG;
    temp_exists = fd >= 0;
    block_stop_signals(false);
    if (fd < 0) return cannot_write(path, open_error);
    FILE* f = fdopen(fd, "wb");
    if (!f) {
        close(fd);
        remove_temp_file();
        return fail("cannot write", path.c_str());
    }
    errno = 0;
    bool ok = write_png_stream(f, rgb);
    ok = std::fflush(f) == 0 && ok;
    const int write_error = errno;
    ok = std::fclose(f) == 0 && ok;
    // mkstemp makes the file private; a picture is for everyone to read.
    if (ok) {
        mode_t mask = umask(0);
        umask(mask);
        ok = chmod(temp_name, 0666 & ~mask) == 0;
    }
    if (ok) {
        block_stop_signals(true);
        const bool renamed = std::rename(temp_name, target.c_str()) == 0;
        if (renamed) temp_exists = 0;
        block_stop_signals(false);
        if (renamed) return 0;
    }
    remove_temp_file();
    return ok ? fail("cannot write", path.c_str()) : cannot_write(path, write_error ? write_error : EIO);
}

// Output frames of the video at 13 ms each: the scenes' lengths on that grid.
struct video_plan {
    int64_t title_frames, credits_frames, main_frames, end_frames;
};

static int64_t frames_for_ms(int64_t ms) { return (ms * 2 + 13) / 26; }  // nearest whole frame

// Each whole-second wait ends half a second past its limit on average.
static video_plan plan_video() {
    constexpr int64_t title_end_ms = TITLE_SECONDS * 1000 + 500;
    constexpr int64_t credits_end_ms = title_end_ms + CREDITS_SECONDS * 1000 + 500;
    constexpr int64_t main_end_ms = title_end_ms + MAIN_SCENE_SECONDS * 1000 + 500;
    constexpr int64_t end_end_ms = main_end_ms + END_FADE_AFTER_S * 1000 + 500 + END_FADE_MS;
    video_plan p;
    p.title_frames = frames_for_ms(title_end_ms);
    p.credits_frames = frames_for_ms(credits_end_ms) - p.title_frames;
    p.main_frames = frames_for_ms(main_end_ms) - frames_for_ms(credits_end_ms);
    p.end_frames = frames_for_ms(end_end_ms) - frames_for_ms(main_end_ms);
    return p;
}

static bool put_frame(const std::vector<uint8_t>& rgb) {
    return std::fwrite(rgb.data(), 1, rgb.size(), stdout) == rgb.size();
}

static int stream_video() {
    if (isatty(STDOUT_FILENO)) return fail("--video-raw writes binary frames; send standard output to a file or pipe");
    if (!prepare_main_tables()) return 1;
    const video_plan p = plan_video();
    const int64_t main_start = p.title_frames + p.credits_frames;
    const int64_t total = main_start + p.main_frames + p.end_frames;
    std::fprintf(stderr, "main_start_ms %lld\ntotal_ms %lld\n", (long long)(main_start * 13),
                 (long long)(total * 13));
    std::vector<uint8_t> rgb(size_t(SCREEN_W) * SCREEN_H * 3);

    draw_title_moment();
    screen_to_rgb(rgb.data());
    for (int64_t i = 0; i < p.title_frames; ++i)
        if (!put_frame(rgb)) return fail("cannot write frames", std::strerror(errno));
    draw_credits_moment();
    screen_to_rgb(rgb.data());
    for (int64_t i = 0; i < p.credits_frames; ++i)
        if (!put_frame(rgb)) return fail("cannot write frames", std::strerror(errno));

    // Pass by pass, as the loop runs; output frame j shows the drawing of pass j.
    draw_main_moment(0);
    int32_t pos, dir;
    main_state s = main_state_after(0);
    apply_main_state(&s, &pos, &dir);
    for (int64_t j = 0; j < p.main_frames; ++j) {
        screen_to_rgb(rgb.data());
        if (!put_frame(rgb)) return fail("cannot write frames", std::strerror(errno));
        draw_main_pass(&pos, &dir);
    }

    // An end-screen frame lasts its 56 ms sleep and its drawing, about 56.25 ms
    // in all (END_FRAME_US); each output frame shows the one whose
    // time span it starts in.
    int64_t shown = -1;
    for (int64_t j = 0; j < p.end_frames; ++j) {
        const int64_t frame = (j * 13000) / int64_t(END_FRAME_US);
        if (frame != shown) {
            const int per_cycle = END_STEP_LIMIT - END_FIRST_STEP;
            draw_end_moment(int(frame / per_cycle) + 1, int(frame % per_cycle) + END_FIRST_STEP);
            screen_to_rgb(rgb.data());
            shown = frame;
        }
        if (!put_frame(rgb)) return fail("cannot write frames", std::strerror(errno));
    }
    if (std::fflush(stdout) != 0) return fail("cannot write frames", std::strerror(errno));
    return 0;
}

int main(int argc, char** argv) {
    // A closed pipe or a file-size limit becomes a write error we report; a
    // stop takes the temporary file with it.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    remove_temp_file_on_stop_signals();
    std::string out;
    std::vector<const char*> args;
    bool video = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (std::strcmp(a, "--out") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == 0) return fail("--out needs a file name");
            if (!out.empty()) return fail("--out given twice");
            out = argv[++i];
        } else if (std::strcmp(a, "--video-raw") == 0) {
            video = true;
        } else if (a[0] == '-' && a[1] != 0 && !(a[1] >= '0' && a[1] <= '9')) {
            return fail("unknown option (see --help)", a);
        } else {
            args.push_back(a);
        }
    }
    if (video) {
        if (!args.empty() || !out.empty()) return fail("--video-raw takes no scene and no --out");
        return stream_video();
    }
    if (args.empty()) return fail("no scene given (see --help)");

    const std::string scene = args[0];
    const size_t nums = args.size() - 1;
    std::string default_name = scene;
    int64_t n = 0, cycle = 0, step = 0;
    if (scene == "title" || scene == "credits") {
        if (nums != 0) return fail("too many arguments for this scene", args[1]);
    } else if (scene == "main") {
        if (nums != 1) return fail(nums == 0 ? "main needs a pass number N" : "main takes one number");
        if (!parse_number(args[1], 0, MAIN_PASS_MAX, &n))
            return fail("pass number must be a whole number 0..1000000", args[1]);
        default_name += "-" + std::to_string(n);
    } else if (scene == "end") {
        if (nums != 2) return fail("end needs a CYCLE and a STEP");
        if (!parse_number(args[1], 1, END_CYCLES, &cycle)) return fail("cycle must be a whole number 1..600", args[1]);
        if (!parse_number(args[2], END_FIRST_STEP, END_STEP_LIMIT - 1, &step))
            return fail("step must be a whole number 2..49", args[2]);
        default_name += "-" + std::to_string(cycle) + "-" + std::to_string(step);
    } else {
        return fail("unknown scene (title, credits, main, end)", scene.c_str());
    }
    if (out.empty()) out = default_name + ".png";

    if (scene == "title") {
        draw_title_moment();
    } else if (scene == "credits") {
        draw_credits_moment();
    } else if (scene == "main") {
        if (n > 0 && !prepare_main_tables()) return 1;
        draw_main_moment(n);
    } else {
        draw_end_moment(int(cycle), int(step));
    }
    std::vector<uint8_t> rgb(size_t(SCREEN_W) * SCREEN_H * 3);
    screen_to_rgb(rgb.data());
    return write_png(out, rgb.data());
}
