# Everything a system installs beside the two programs: the AppStream
# metadata, the manual pages, shell completion and the mailcap entry. The
# version is the project's; the release notes are CHANGELOG.md's.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/ReleaseNotes.cmake)

set(PARVANE_HOMEPAGE "https://parvane.org" CACHE STRING "Parvane's web site")
set(PARVANE_SCREENSHOT_URL "${PARVANE_HOMEPAGE}/docs/screenshots" CACHE STRING
    "Where the web serves the images of docs/screenshots, for software centres")
set(PARVANE_LICENSE "" CACHE STRING
    "SPDX licence expression of Parvane; empty while none is chosen")
# zsh looks in site-functions under /usr/local, and Debian's own packages
# put theirs into vendor-completions; -DPARVANE_ZSH_COMPLETION_DIR=... chooses.
if(DEFINED PARVANE_ZSH_COMPLETION_DIR)
elseif(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(PARVANE_ZSH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
else()
  set(PARVANE_ZSH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
endif()

set(PARVANE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(PARVANE_GENERATED_DIR ${PROJECT_BINARY_DIR}/packaging)

parvane_release_notes(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_VERSION})
set(PARVANE_METAINFO_LICENSE "")
if(PARVANE_LICENSE)
  set(PARVANE_METAINFO_LICENSE "  <project_license>${PARVANE_LICENSE}</project_license>\n")
endif()

# AppStream metadata, for software centres.
configure_file(${PROJECT_SOURCE_DIR}/resources/parvane.metainfo.xml.in
               ${PARVANE_GENERATED_DIR}/${PARVANE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PARVANE_GENERATED_DIR}/${PARVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages: scdoc sources, with the version and the install folders
# filled in, made into compressed roff dated by the release. Without scdoc
# the build goes on without them.
find_program(SCDOC scdoc)
find_program(GZIP gzip)
set(PARVANE_MANUALS parvane parvane-cli)
set(PARVANE_MANUAL_DIR ${PROJECT_BINARY_DIR}/docs/man)
foreach(page ${PARVANE_MANUALS})
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1.scd ${PARVANE_MANUAL_DIR}/${page}.1.scd @ONLY)
endforeach()
if(SCDOC AND GZIP)
  set(PARVANE_MANUAL_FILES)
  foreach(page ${PARVANE_MANUALS})
    set(roff ${PARVANE_MANUAL_DIR}/${page}.1)
    add_custom_command(OUTPUT ${roff} ${roff}.gz
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${PARVANE_RELEASE_EPOCH}
              sh -c "\"$0\" < \"$1\" > \"$2\"" ${SCDOC} ${roff}.scd ${roff}
      COMMAND ${GZIP} -9nkf ${roff}
      DEPENDS ${roff}.scd
      COMMENT "Manual page ${page}(1)" VERBATIM)
    list(APPEND PARVANE_MANUAL_FILES ${roff} ${roff}.gz)
    install(FILES ${roff}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(parvane_manuals ALL DEPENDS ${PARVANE_MANUAL_FILES})
else()
  message(STATUS "scdoc or gzip not found: the manual pages are not built")
endif()

# Shell completion for parvane-cli, found by bash-completion and zsh by name.
install(FILES ${PARVANE_PACKAGING_DIR}/completion/parvane-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME parvane-cli)
install(FILES ${PARVANE_PACKAGING_DIR}/completion/_parvane-cli
        DESTINATION ${PARVANE_ZSH_COMPLETION_DIR})

# The mailcap entry that mail programs may include.
install(FILES ${PARVANE_PACKAGING_DIR}/mailcap DESTINATION ${CMAKE_INSTALL_DATADIR}/parvane)
