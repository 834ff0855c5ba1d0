// The process's entry: main -> SDL_main -> demo_main. On platforms where
// SDL2main supplies main (Windows), only SDL_main is ours.
#include "platform/platform.h"
#include <SDL.h>

extern "C" int SDL_main(int argc, char* argv[]) {
    (void)argc;  // the show takes no arguments
    (void)argv;
    return demo_main();
}

#if !defined(SDL_MAIN_NEEDED) && !defined(SDL_MAIN_AVAILABLE)
#undef main
int main(int argc, char* argv[]) {
    SDL_SetMainReady();
    return SDL_main(argc, argv);
}
#endif
