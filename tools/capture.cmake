# The capture tool: moments of the show as PNG files and the whole show as raw
# frames for a video, drawn with the demo library on the null platform.
pkg_check_modules(LIBPNG IMPORTED_TARGET libpng)

add_library(tapehiss_moments STATIC ${CMAKE_CURRENT_LIST_DIR}/moments.cpp)
target_include_directories(tapehiss_moments PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tapehiss_moments PUBLIC tapehiss_core tapehiss_platform_null)
# Users of the moments (the golden test) keep their reference files in the tree.
target_compile_definitions(tapehiss_moments INTERFACE TAPEHISS_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

if(LIBPNG_FOUND)
  add_executable(tapehiss-capture ${CMAKE_CURRENT_LIST_DIR}/capture.cpp)
  target_link_libraries(tapehiss-capture PRIVATE tapehiss_moments tapehiss_platform_null PkgConfig::LIBPNG)
  set_target_properties(tapehiss-capture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
  target_compile_definitions(tapehiss-capture PRIVATE TAPEHISS_VERSION="${PROJECT_VERSION}")
else()
  message(STATUS "libpng not found: tapehiss-capture is not built")
endif()
