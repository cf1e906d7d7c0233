# Installing like any Linux audio tool: sonavel in PREFIX/bin, the LV2 bundle in
# PREFIX/lib/lv2 (where hosts look when PREFIX is /usr or /usr/local), the man page in
# PREFIX/share/man/man1. `cmake --install` honours DESTDIR; CPack builds a .deb of it.

# Installing needs only what it installs, not every test: ./x install and ./x package
# build the installed targets first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(SONAVEL_INSTALLED_TARGETS sonavel sonavel_lv2_bundle sonavel_man)

set(manPage ${CMAKE_BINARY_DIR}/man/sonavel.1)
add_custom_command(OUTPUT ${manPage}
  COMMAND ${CMAKE_COMMAND} -DSONAVEL=$<TARGET_FILE:sonavel> -DOUTPUT=${manPage}
          -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
  DEPENDS sonavel ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
  COMMENT "Writing the man page from sonavel --help")
add_custom_target(sonavel_man ALL DEPENDS ${manPage})

install(TARGETS sonavel RUNTIME DESTINATION bin)
install(TARGETS sonavel_lv2 LIBRARY DESTINATION lib/lv2/sonavel.lv2)
install(FILES ${SONAVEL_LV2_BUNDLE}/manifest.ttl ${SONAVEL_LV2_BUNDLE}/sonavel.ttl
  ${SONAVEL_LV2_BUNDLE}/presets.ttl DESTINATION lib/lv2/sonavel.lv2)
install(FILES ${manPage} DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/copyright DESTINATION share/doc/sonavel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonavel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillon Sonavel developers <sonavel@quillon.audio>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "audio restoration: declip, declick and noise reduction (command line and LV2 plug-ins)")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
