# Install rules: the intro and the capture tool under bin/, the desktop entry
# and icons at their freedesktop places, the README and licence as docs.
include(GNUInstallDirs)

install(TARGETS tapehiss RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tapehiss-capture)
  install(TARGETS tapehiss-capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(NOT WIN32)
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/tapehiss.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 256 48)
    install(FILES ${CMAKE_SOURCE_DIR}/assets/icon-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME tapehiss.png)
  endforeach()
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(TAPEHISS_TESTS AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME install_rules
    COMMAND bash ${CMAKE_SOURCE_DIR}/tools/check-install.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
  set_tests_properties(install_rules PROPERTIES LABELS unit)
  add_test(NAME user_guide COMMAND bash ${CMAKE_SOURCE_DIR}/tools/check-user-guide.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(user_guide PROPERTIES LABELS unit)
endif()
