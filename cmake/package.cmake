# The .deb (cpack -G DEB in a build folder), made from the install rules:
# the intro, its desktop entry and icons, the docs. dpkg-shlibdeps finds the
# libraries it depends on: for the self-contained build, the C library alone.
set(CPACK_PACKAGE_NAME tapehiss)
set(CPACK_PACKAGE_VENDOR ZVK)
set(CPACK_PACKAGE_CONTACT "ZVK")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tapehiss Meets Modernity, a full-screen audiovisual intro")
set(CPACK_PACKAGE_DESCRIPTION "An intro by ZVK for Moxbar Twenty Five: a title picture, credits, a plasma\nwith a rotating and zooming logo and a scroller to a sampled Speccy tune,\nand an end screen of greetings beside two twisting ribbons.\nWarning: flashing lights.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL aarch64)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
include(CPack)
