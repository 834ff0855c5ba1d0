# Windows: one static executable (SDL2, SDL2_mixer, the C++ runtime and
# winpthread all inside, so it runs on a bare system), a GUI program with the
# logo as its icon and the version in its file properties.
enable_language(RC)
pkg_check_modules(SDL2_STATIC REQUIRED sdl2 SDL2_mixer)

configure_file(${CMAKE_SOURCE_DIR}/cmake/tapehiss.rc.in ${CMAKE_BINARY_DIR}/generated/tapehiss.rc @ONLY)
target_sources(tapehiss PRIVATE ${CMAKE_BINARY_DIR}/generated/tapehiss.rc)
# The static link wants the mixer ahead of SDL2 and SDL2's system libraries
# after both; pkg-config's --static list gives that order.
target_link_libraries(tapehiss PRIVATE ${SDL2_STATIC_LDFLAGS})
target_link_options(tapehiss PRIVATE -static -static-libgcc -static-libstdc++)
