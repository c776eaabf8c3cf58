# Everything a system installs beside the two programs, and the Debian
# package: the AppStream metadata, the manual pages, shell completion, the
# mailcap entry, the package's copyright and changelog, and CPack's DEB
# settings. The version is the project's; the release notes are CHANGELOG.md's.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/ReleaseNotes.cmake)

set(PARVANE_HOMEPAGE "https://parvane.org" CACHE STRING "Parvane's web site")
set(PARVANE_SCREENSHOT_URL "${PARVANE_HOMEPAGE}/docs/screenshots" CACHE STRING
    "Where the web serves the images of docs/screenshots, for software centres")
set(PARVANE_MAINTAINER "The Parvane developers <maintainers@parvane.org>" CACHE STRING
    "Name and address of the package's maintainer")
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
set(PARVANE_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/parvane)

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

# The wrappers that mail filters run by name: unwrap as a plain filter, and
# as a Postfix content filter that hands the mail back to Postfix.
foreach(script parvane-unwrap parvane-unwrap-sendmail)
  configure_file(${PARVANE_PACKAGING_DIR}/${script}.in ${PARVANE_GENERATED_DIR}/${script} @ONLY)
  install(PROGRAMS ${PARVANE_GENERATED_DIR}/${script} DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/parvane)
endforeach()

# The copyright and changelog files a Debian system keeps for each package;
# the changelog in Debian's own format, from CHANGELOG.md's entry.
if(DEFINED PARVANE_COPYRIGHT)
  string(REGEX REPLACE "^Copyright *(©|\\([Cc]\\))? *" "" PARVANE_COPYRIGHT_HOLDERS "${PARVANE_COPYRIGHT}")
else()
  set(PARVANE_COPYRIGHT_HOLDERS "The Parvane developers")
endif()
if(PARVANE_LICENSE)
  set(PARVANE_LICENSE_FIELD "${PARVANE_LICENSE}\n See the licence file of Parvane's sources.")
else()
  set(PARVANE_LICENSE_FIELD "LicenseRef-unchosen\n The Parvane developers have not yet chosen a licence for Parvane.")
endif()
set(_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${PARVANE_RELEASE_EPOCH})
string(TIMESTAMP PARVANE_RELEASE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${_epoch}")
file(WRITE ${PARVANE_GENERATED_DIR}/changelog.new
     "parvane (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "${PARVANE_RELEASE_NOTES_DEB}\n"
     " -- ${PARVANE_MAINTAINER}  ${PARVANE_RELEASE_RFC2822}\n")
configure_file(${PARVANE_GENERATED_DIR}/changelog.new ${PARVANE_GENERATED_DIR}/changelog COPYONLY)
configure_file(${PARVANE_PACKAGING_DIR}/copyright.in ${PARVANE_GENERATED_DIR}/copyright @ONLY)
if(GZIP)
  add_custom_command(OUTPUT ${PARVANE_GENERATED_DIR}/changelog.gz
    COMMAND ${GZIP} -9nkf ${PARVANE_GENERATED_DIR}/changelog
    DEPENDS ${PARVANE_GENERATED_DIR}/changelog VERBATIM)
  add_custom_target(parvane_changelog ALL DEPENDS ${PARVANE_GENERATED_DIR}/changelog.gz)
  install(FILES ${PARVANE_GENERATED_DIR}/changelog.gz DESTINATION ${PARVANE_PACKAGE_DOCDIR})
endif()
install(FILES ${PARVANE_GENERATED_DIR}/copyright DESTINATION ${PARVANE_PACKAGE_DOCDIR})

# The Debian package. The desktop, MIME, icon and manual caches are brought
# up to date by the triggers that their own packages declare on these
# folders, so the package needs no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Parvane developers")
set(CPACK_PACKAGE_CONTACT ${PARVANE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PARVANE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for TNEF mail attachments (winmail.dat)")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[Some mail programs send a message's attachments inside a single TNEF file,
which arrives as winmail.dat or ATT00001.dat instead of the files that were
attached. Parvane opens such files, lists the attachments and the message's
attributes, and saves the attachments under their real names, byte for byte,
never overwriting an existing file.

The package holds the desktop application, parvane, and the command-line
tool, parvane-cli, which lists, traces and extracts from a terminal, a
script or a mail program (a mailcap entry is included).]=])
include(CPack)
