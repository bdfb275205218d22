# Installing and packing Vorla. Linux: a Debian package with vorla, vorla-replay, the desktop
# entry, the icon, the AppStream metainfo, the manual pages and the docs. Windows: a zip with
# the static vorla.exe, a read-me and the licence. `scripts/package` builds both.
include(GNUInstallDirs)

# One name for the desktop entry, the icon and the metainfo, as desktops expect.
set(VORLA_APP_ID "invalid.vorla.Vorla")
if(TARGET vorla_platform_qt)
  target_compile_definitions(vorla_platform_qt PRIVATE VORLA_APP_ID="${VORLA_APP_ID}")
endif()
set(vorla_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(vorla_staged ${PROJECT_BINARY_DIR}/packaging)
option(VORLA_PACKAGE_TOOLS_REQUIRED "Fail at configure time when scdoc (manual pages) is missing" OFF)

# The newest entries of the Debian changelog and the metainfo must name this version.
file(STRINGS ${vorla_packaging}/debian/changelog changelog_head LIMIT_COUNT 1)
file(READ ${vorla_packaging}/linux/vorla.metainfo.xml.in metainfo_text)
string(REGEX MATCH "<release version=\"([^\"]*)\"" _ "${metainfo_text}")
set(metainfo_version "${CMAKE_MATCH_1}")
if(NOT changelog_head MATCHES "^vorla \\(${PROJECT_VERSION}\\) " OR
   NOT metainfo_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/debian/changelog and the newest <release> of "
                      "packaging/linux/vorla.metainfo.xml.in must both name version ${PROJECT_VERSION}")
endif()

set(CPACK_PACKAGE_NAME vorla)
set(CPACK_PACKAGE_VENDOR "the Vorla developers")
set(CPACK_PACKAGE_CONTACT "Vorla developers <dev@vorla.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time simulator of two-dimensional sound propagation")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/dist)

if(WIN32)
  if(TARGET vorla)
    install(TARGETS vorla RUNTIME DESTINATION .)
  endif()
  # Windows line ends, so that every editor shows the lines.
  configure_file(${vorla_packaging}/windows/README.txt ${vorla_staged}/README.txt @ONLY
                 NEWLINE_STYLE WIN32)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${vorla_staged}/LICENSE.txt @ONLY
                 NEWLINE_STYLE WIN32)
  install(FILES ${vorla_staged}/README.txt ${vorla_staged}/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vorla-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vorla)
set(VORLA_DOC_DIR ${CMAKE_INSTALL_FULL_DATADIR}/doc/vorla)
foreach(program vorla vorla-replay)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET vorla)
  set(VORLA_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}/vorla)
  set(VORLA_MENU_LAUNCHER ${CMAKE_INSTALL_FULL_LIBEXECDIR}/vorla/start-from-menu)
  configure_file(${vorla_packaging}/linux/start-from-menu.in ${vorla_staged}/start-from-menu @ONLY)
  configure_file(${vorla_packaging}/linux/vorla.desktop.in
                 ${vorla_staged}/${VORLA_APP_ID}.desktop @ONLY)
  configure_file(${vorla_packaging}/linux/vorla.metainfo.xml.in
                 ${vorla_staged}/${VORLA_APP_ID}.metainfo.xml @ONLY)
  install(PROGRAMS ${vorla_staged}/start-from-menu DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vorla)
  install(FILES ${vorla_staged}/${VORLA_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${vorla_staged}/${VORLA_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  set(icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${vorla_packaging}/icons/vorla.svg DESTINATION ${icon_dir}/scalable/apps
          RENAME ${VORLA_APP_ID}.svg)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${vorla_packaging}/icons/png/vorla-${size}.png
            DESTINATION ${icon_dir}/${size}x${size}/apps RENAME ${VORLA_APP_ID}.png)
  endforeach()
endif()

# Manual pages from their scdoc sources, compressed as Debian expects.
find_program(VORLA_SCDOC scdoc)
if(VORLA_SCDOC)
  set(pages "")
  foreach(page vorla.1 vorla-replay.1)
    configure_file(${PROJECT_SOURCE_DIR}/docs/${page}.scd ${vorla_staged}/${page}.scd @ONLY)
    add_custom_command(
      OUTPUT ${vorla_staged}/${page}.gz
      COMMAND sh -c "'${VORLA_SCDOC}' < '${vorla_staged}/${page}.scd' | gzip -9n > '${vorla_staged}/${page}.gz'"
      DEPENDS ${vorla_staged}/${page}.scd
      VERBATIM)
    list(APPEND pages ${vorla_staged}/${page}.gz)
  endforeach()
  add_custom_target(vorla_manual_pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
elseif(VORLA_PACKAGE_TOOLS_REQUIRED)
  message(FATAL_ERROR "scdoc is needed for the manual pages (Debian package scdoc)")
else()
  message(STATUS "scdoc not found: no manual pages")
endif()

add_custom_command(
  OUTPUT ${vorla_staged}/changelog.gz
  COMMAND sh -c "gzip -9n < '${vorla_packaging}/debian/changelog' > '${vorla_staged}/changelog.gz'"
  DEPENDS ${vorla_packaging}/debian/changelog
  VERBATIM)
add_custom_target(vorla_changelog ALL DEPENDS ${vorla_staged}/changelog.gz)
install(FILES ${vorla_staged}/changelog.gz ${vorla_packaging}/debian/copyright
              ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/replay.md
        DESTINATION ${doc_dir})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${doc_dir}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the Japanese texts need the font beside them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-vlgothic")
set(CPACK_PACKAGE_DESCRIPTION
    "Vorla shows how sound travels through a two-dimensional room: draw rigid walls
with the mouse, place a Gaussian pulse or a sine source with a right click, and
watch the pressure wave, computed by the finite-difference time-domain method,
spread, reflect from the walls and leave through the open edges of the field.
Walls and sources can also be taken from a bitmap.

The package also holds vorla-replay, which runs a scripted session without a
display and writes the pressure grids, probe recordings and images.")
include(CPack)
