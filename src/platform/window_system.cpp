// Real driver, what SDL does not say about the window system: the part of the
// screen an X window really covers, the end of the display connection (X11
// and Wayland), and why no display could be opened; and SDL's event queue,
// which the null driver fills itself. The X11 and Wayland calls are looked up
// at run time in the libraries SDL itself loaded, so the intro links no
// window-system library of its own.
#include "platform/driver.h"
#include "platform/platform.h"
#include <SDL.h>
#include <SDL_syswm.h>
#include <cstdio>
#include <cstdlib>
#if defined(SDL_VIDEO_DRIVER_X11) && __has_include(<X11/Xlib.h>)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#define TAPEHISS_ASK_X11 1
#endif
#if __has_include(<sys/socket.h>) && __has_include(<unistd.h>) && !defined(__EMSCRIPTEN__)
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#define TAPEHISS_POSIX_FILES 1
#endif

void platform_pump_events() { SDL_PumpEvents(); }

int platform_take_events(SDL_Event* events, int max, bool peek) {
    const int taken = SDL_PeepEvents(events, max, peek ? SDL_PEEKEVENT : SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    return taken < 0 ? 0 : taken;
}

// A function of a library SDL has loaded (or that is there to load), null
// when it cannot be had.
template <class Fn>
static Fn library_function(const char* library, const char* name) {
    void* handle = SDL_LoadObject(library);
    return handle ? reinterpret_cast<Fn>(SDL_LoadFunction(handle, name)) : nullptr;
}

static SDL_SysWMinfo window_info(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info)) info.subsystem = SDL_SYSWM_UNKNOWN;
    return info;
}

#ifdef TAPEHISS_ASK_X11
// Xlib itself, which SDL's X11 driver has loaded.
static const char* const X11_LIBRARY = "libX11.so.6";

// The window's rectangle on its screen and the screen's size: without a window
// manager an X server leaves a "full-screen" window at the size and place it
// was made (partly off a small screen), while SDL draws for the display's size.
static bool x11_window_on_screen(SDL_Window* window, SDL_Rect* placed, int* screen_w, int* screen_h) {
    const SDL_SysWMinfo info = window_info(window);
    if (info.subsystem != SDL_SYSWM_X11) return false;
    using attributes_fn = int (*)(Display*, Window, XWindowAttributes*);
    using translate_fn = int (*)(Display*, Window, Window, int, int, int*, int*, Window*);
    static const auto get_attributes = library_function<attributes_fn>(X11_LIBRARY, "XGetWindowAttributes");
    static const auto translate = library_function<translate_fn>(X11_LIBRARY, "XTranslateCoordinates");
    if (!get_attributes || !translate) return false;
    Display* display = info.info.x11.display;
    XWindowAttributes own, root;
    Window child;
    if (!get_attributes(display, info.info.x11.window, &own) || !get_attributes(display, own.root, &root) ||
        !translate(display, info.info.x11.window, own.root, 0, 0, &placed->x, &placed->y, &child))
        return false;
    placed->w = own.width;
    placed->h = own.height;
    *screen_w = root.width;
    *screen_h = root.height;
    return true;
}
#endif

void platform_window_shown_area(SDL_Window* window, int drawable_w, int drawable_h, SDL_Rect* area) {
    *area = SDL_Rect{0, 0, drawable_w, drawable_h};
#ifdef TAPEHISS_ASK_X11
    SDL_Rect placed;
    int screen_w, screen_h;
    if (!x11_window_on_screen(window, &placed, &screen_w, &screen_h) || placed.w <= 0 || placed.h <= 0) return;
    // The window's part on the screen, in the window's own coordinates.
    const int x0 = SDL_max(0, -placed.x), y0 = SDL_max(0, -placed.y);
    const int x1 = SDL_min(SDL_min(placed.w, screen_w - placed.x), drawable_w);
    const int y1 = SDL_min(SDL_min(placed.h, screen_h - placed.y), drawable_h);
    if (x1 > x0 && y1 > y0) *area = SDL_Rect{x0, y0, x1 - x0, y1 - y0};
#else
    (void)window;
#endif
}

#ifdef TAPEHISS_ASK_X11
// True when a window manager runs (it marks the root window) and `window` is
// not in its full-screen state: one that started after the window was shown
// never saw SDL's request and keeps it as a small framed window.
static bool x11_managed_but_not_full_screen(Display* display, Window window, Window root, Atom fullscreen) {
    using intern_fn = Atom (*)(Display*, const char*, int);
    using property_fn = int (*)(Display*, Window, Atom, long, long, int, Atom, Atom*, int*, unsigned long*,
                                unsigned long*, unsigned char**);
    using free_fn = int (*)(void*);
    static const auto intern = library_function<intern_fn>(X11_LIBRARY, "XInternAtom");
    static const auto get_property = library_function<property_fn>(X11_LIBRARY, "XGetWindowProperty");
    static const auto x_free = library_function<free_fn>(X11_LIBRARY, "XFree");
    if (!intern || !get_property || !x_free) return false;
    // The atoms of one property: how many there are, and whether `wanted` is among them.
    auto atoms = [&](Window of, const char* property, Atom type, Atom wanted, bool* found) {
        Atom actual;
        int format;
        unsigned long count = 0, after;
        unsigned char* data = nullptr;
        *found = false;
        if (get_property(display, of, intern(display, property, False), 0, 64, False, type, &actual, &format, &count,
                         &after, &data) != Success || !data)
            return 0UL;
        for (unsigned long i = 0; i < count && format == 32; ++i) *found |= reinterpret_cast<Atom*>(data)[i] == wanted;
        x_free(data);
        return count;
    };
    bool found;
    if (atoms(root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 0, &found) == 0) return false;
    atoms(window, "_NET_WM_STATE", XA_ATOM, fullscreen, &found);
    return !found;
}
#endif

void platform_fit_window(SDL_Window* window) {
#ifdef TAPEHISS_ASK_X11
    SDL_Rect placed;
    int screen_w, screen_h;
    if (!x11_window_on_screen(window, &placed, &screen_w, &screen_h)) return;
    using intern_fn = Atom (*)(Display*, const char*, int);
    using send_fn = int (*)(Display*, Window, int, long, XEvent*);
    using move_resize_fn = int (*)(Display*, Window, int, int, unsigned, unsigned);
    using sync_fn = int (*)(Display*, int);
    static const auto intern = library_function<intern_fn>(X11_LIBRARY, "XInternAtom");
    static const auto send = library_function<send_fn>(X11_LIBRARY, "XSendEvent");
    static const auto move_resize = library_function<move_resize_fn>(X11_LIBRARY, "XMoveResizeWindow");
    static const auto sync = library_function<sync_fn>(X11_LIBRARY, "XSync");
    if (!intern || !send || !move_resize || !sync) return;
    const SDL_SysWMinfo info = window_info(window);
    Display* display = info.info.x11.display;
    const Window root = RootWindow(display, DefaultScreen(display));
    const Atom fullscreen = intern(display, "_NET_WM_STATE_FULLSCREEN", False);
    if (x11_managed_but_not_full_screen(display, info.info.x11.window, root, fullscreen)) {
        // The request a window manager takes from a shown window.
        XEvent request{};
        request.xclient.type = ClientMessage;
        request.xclient.window = info.info.x11.window;
        request.xclient.message_type = intern(display, "_NET_WM_STATE", False);
        request.xclient.format = 32;
        request.xclient.data.l[0] = 1;  // add
        request.xclient.data.l[1] = long(fullscreen);
        request.xclient.data.l[3] = 1;  // from an application
        send(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    } else if (placed.x != 0 || placed.y != 0 || placed.w != screen_w || placed.h != screen_h) {
        // No window manager: cover the screen ourselves. SDL then draws for
        // the size it believes the window has (the screen's).
        move_resize(display, info.info.x11.window, 0, 0, unsigned(screen_w), unsigned(screen_h));
    }
    sync(display, False);
#else
    (void)window;
#endif
}

#ifdef TAPEHISS_POSIX_FILES
static int saved_stderr = -1;
#endif

void platform_quiet_probing(bool quiet) {
#ifdef TAPEHISS_POSIX_FILES
    std::fflush(stderr);
    if (quiet && saved_stderr < 0) {
        // One more file (the null device takes standard error's own number),
        // which a very low limit of open files may not allow: then the lines
        // stay, and ours still says why. Nothing else runs yet to take the
        // number between the close and the open.
        saved_stderr = fcntl(2, F_DUPFD_CLOEXEC, 3);
        if (saved_stderr >= 0) {
            close(2);
            if (open("/dev/null", O_WRONLY) != 2) {
                dup2(saved_stderr, 2);
                close(saved_stderr);
                saved_stderr = -1;
            }
        }
    } else if (!quiet && saved_stderr >= 0) {
        dup2(saved_stderr, 2);
        close(saved_stderr);
        saved_stderr = -1;
    }
#else
    (void)quiet;
#endif
}

#if defined(TAPEHISS_POSIX_FILES) && defined(TAPEHISS_ASK_X11)
// SDL holds two connections to the X server and a few files more; when even
// eight cannot be opened now, the limit on open files is what stopped it.
static bool few_files_left() {
    int fds[8];
    int opened = 0;
    while (opened < 8 && (fds[opened] = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0) ++opened;
    const bool few = opened < 8 && (errno == EMFILE || errno == ENFILE);
    while (opened > 0) close(fds[--opened]);
    return few;
}

// Connects to a local X server's socket (Linux's abstract one first, then the
// file); 0 when it answers, else the error.
static int connect_local_x(long number) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    int error = 0;
    for (int abstract = 1; abstract >= 0; --abstract) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const int length = std::snprintf(address.sun_path + abstract, sizeof address.sun_path - 1,
                                         "/tmp/.X11-unix/X%ld", number);
        const auto size = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(abstract + length) + size_t(1 - abstract));
        error = connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0 ? 0 : errno;
        if (error == 0) break;
    }
    close(fd);
    return error;
}
#endif

const char* platform_x_display_trouble(const char* name) {
#if defined(TAPEHISS_POSIX_FILES) && defined(TAPEHISS_ASK_X11)
    if (few_files_left()) return "too many files are open (see ulimit -n)";
    // [unix/]:N[.S] is a server on this machine, reached through its socket.
    const char* colon = SDL_strrchr(name, ':');
    const bool local = colon && (colon == name || SDL_strncmp(name, "unix:", 5) == 0 ||
                                 SDL_strncmp(name, "unix/:", 6) == 0);
    char* end = nullptr;
    const long number = colon ? std::strtol(colon + 1, &end, 10) : -1;
    if (!local || end == colon + 1 || number < 0) return "no X server answered there, or it refused the connection";
    switch (connect_local_x(number)) {
        case 0: return "the X server there refused the connection (no authority to use it: see XAUTHORITY)";
        case EACCES: return "no permission to reach the X server there";
        case EMFILE:
        case ENFILE: return "too many files are open (see ulimit -n)";
        default: return "no X server is running there";
    }
#else
    (void)name;
    return "it cannot be reached";
#endif
}

// The watched connection: its end is the end of the run.
static SDL_SysWMinfo watched;

#ifdef TAPEHISS_ASK_X11
// Xlib calls this when the connection to the X server breaks, and ends the
// process if it returns: it must not return, nor ask the server anything.
static int on_x_connection_lost(Display*) { video_end_display_lost(); }

// An X error. Left to SDL's own handler, it would end the process with Xlib's
// lines after trying to put the display mode back (which blocks for ever when
// the server is on its way out). Errors are taken quietly instead: a server
// that goes away breaks the connection next, which ends the run.
static int on_x_error(Display*, XErrorEvent*) { return 0; }
#endif

void platform_watch_display(SDL_Window* window) {
    watched = window_info(window);
#ifdef TAPEHISS_ASK_X11
    if (watched.subsystem == SDL_SYSWM_X11) {
        using io_handler_fn = int (*)(Display*);
        using error_handler_fn = int (*)(Display*, XErrorEvent*);
        using set_io_fn = io_handler_fn (*)(io_handler_fn);
        using set_error_fn = error_handler_fn (*)(error_handler_fn);
        const auto set_io = library_function<set_io_fn>(X11_LIBRARY, "XSetIOErrorHandler");
        const auto set_error = library_function<set_error_fn>(X11_LIBRARY, "XSetErrorHandler");
        if (set_io) set_io(on_x_connection_lost);
        if (set_error) set_error(on_x_error);
    }
#endif
}

bool platform_display_lost() {
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
    // SDL only turns a broken Wayland connection into a window-close request,
    // which the show ignores; the connection's own error says what it is.
    if (watched.subsystem == SDL_SYSWM_WAYLAND) {
        using get_error_fn = int (*)(wl_display*);
        static const auto get_error = library_function<get_error_fn>("libwayland-client.so.0", "wl_display_get_error");
        return get_error && get_error(watched.info.wl.display) != 0;
    }
#endif
    return false;
}
