# The show for web browsers (tools/build-web.sh): the same sources compiled to
# WebAssembly by emscripten, tapehiss.js to load it, and our own page.
#
# The waits stay loops that nap: asyncify suspends the run in each nap and
# resumes it after. Calls through function pointers never nap (the drawing
# routines are picked at run time), so they are left uninstrumented and stay
# fast. The logo table takes most of the heap (the page says how much the
# show needs): the memory grows on demand. The page starts the run on its start click and learns its end and
# exit status from the promise of an asynchronous call (ccall): emscripten
# calls no exit handler when main returns after its first nap. SDL's audio code names two library routines that
# only a static link leaves out; they are named in a file, since a `$` on the
# command line does not survive CMake's quoting for make.
file(WRITE ${CMAKE_BINARY_DIR}/generated/web-library-funcs.txt "$autoResumeAudioContext\n$dynCall\n")
target_link_options(tapehiss PRIVATE
  -sASYNCIFY -sASYNCIFY_IGNORE_INDIRECT -sASYNCIFY_STACK_SIZE=65536
  -sINITIAL_MEMORY=64MB -sALLOW_MEMORY_GROWTH -sMAXIMUM_MEMORY=2GB
  -sENVIRONMENT=web -sINVOKE_RUN=0 -sEXPORTED_RUNTIME_METHODS=ccall
  -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${CMAKE_BINARY_DIR}/generated/web-library-funcs.txt)
# The page beside them (copied again whenever it changes).
configure_file(${CMAKE_SOURCE_DIR}/web/index.html ${CMAKE_BINARY_DIR}/index.html COPYONLY)

# The golden-frame test runs under node, reading its reference file from the
# source tree.
if(TARGET test_golden)
  target_link_options(test_golden PRIVATE
    -sENVIRONMENT=node -sNODERAWFS -sEXIT_RUNTIME -sALLOW_MEMORY_GROWTH -sMAXIMUM_MEMORY=2GB)
endif()
