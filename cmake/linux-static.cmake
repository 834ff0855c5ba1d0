# The self-contained Linux executable (tools/build-linux.sh): SDL2 and
# SDL2_mixer from a prefix of static libraries, libstdc++ and libgcc linked
# in, so it needs nothing but the C library. SDL loads its video and sound
# back ends itself when the show runs.
# The static link wants the mixer ahead of SDL2 and SDL2's system libraries
# after both; pkg-config's --static list gives that order.
target_link_libraries(tapehiss PRIVATE ${SDL2_STATIC_LDFLAGS})
# Only what is used is asked for (no empty libdl or libpthread of old), and
# the unwinder's one call into a newer C library goes to our own lookup.
set(TAPEHISS_STATIC_RUNTIME -static-libgcc -static-libstdc++ -Wl,--as-needed -Wl,--wrap=_dl_find_object)
target_sources(tapehiss PRIVATE ${CMAKE_SOURCE_DIR}/linux/unwind_find_object.c)
target_link_options(tapehiss PRIVATE ${TAPEHISS_STATIC_RUNTIME})

# That lookup at work: a program linked the same way throws and catches.
add_executable(unwind_check ${CMAKE_SOURCE_DIR}/linux/unwind_check.cpp ${CMAKE_SOURCE_DIR}/linux/unwind_find_object.c)
target_link_options(unwind_check PRIVATE ${TAPEHISS_STATIC_RUNTIME})
