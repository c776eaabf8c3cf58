# The release notes of one version come from CHANGELOG.md, so that the
# AppStream metadata and the Debian package's changelog say what the
# changelog says instead of keeping copies of it.

# parvane_release_notes(<changelog> <version>) reads the entry
# "## [<version>] - YYYY-MM-DD" and sets, in the caller's scope:
#   PARVANE_RELEASE_DATE       YYYY-MM-DD
#   PARVANE_RELEASE_EPOCH      that day at midnight UTC, in seconds
#   PARVANE_RELEASE_NOTES_XML  one <li> line per item
#   PARVANE_RELEASE_NOTES_DEB  one "  * " bullet per item, wrapped at 78 columns
# An item starts with "- " and continues on lines indented by two spaces.
function(parvane_release_notes changelog version)
  file(READ ${changelog} text)
  # The text is split into a CMake list of lines, in which ";" separates and
  # brackets group; they wait behind place-holders until the texts are made.
  string(REPLACE ";" "@@SEMICOLON@@" text "${text}")
  string(REPLACE "[" "@@OPEN@@" text "${text}")
  string(REPLACE "]" "@@CLOSE@@" text "${text}")
  string(REPLACE "`" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  string(REPLACE "." "\\." version_pattern "${version}")

  set(date "")
  set(items)
  set(item "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^## ")
      if(NOT date STREQUAL "")
        break()
      endif()
      if(line MATCHES "^## @@OPEN@@${version_pattern}@@CLOSE@@ - ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
        set(date "${CMAKE_MATCH_1}-${CMAKE_MATCH_2}-${CMAKE_MATCH_3}")
      endif()
    elseif(date STREQUAL "")
    elseif(line MATCHES "^- (.+)$")
      if(NOT item STREQUAL "")
        list(APPEND items "${item}")
      endif()
      set(item "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^  +(.+)$" AND NOT item STREQUAL "")
      string(APPEND item " ${CMAKE_MATCH_1}")
    elseif(NOT item STREQUAL "")
      list(APPEND items "${item}")
      set(item "")
    endif()
  endforeach()
  if(NOT item STREQUAL "")
    list(APPEND items "${item}")
  endif()
  if(date STREQUAL "" OR NOT items)
    message(FATAL_ERROR "${changelog} has no entry \"## [${version}] - YYYY-MM-DD\" with items: "
                        "write one for the version that CMakeLists.txt sets.")
  endif()

  set(xml "")
  set(deb "")
  foreach(item IN LISTS items)
    set(escaped "${item}")
    string(REPLACE "&" "&amp;" escaped "${escaped}")
    string(REPLACE "<" "&lt;" escaped "${escaped}")
    string(REPLACE ">" "&gt;" escaped "${escaped}")
    string(APPEND xml "          <li>${escaped}</li>\n")

    string(REPLACE " " ";" words "${item}")
    set(row "  *")
    foreach(word IN LISTS words)
      string(REGEX REPLACE "@@[A-Z]+@@" "x" plain "${row} ${word}")
      string(LENGTH "${plain}" width)
      if(width GREATER 78 AND NOT row MATCHES "^ *\\*?$")
        string(APPEND deb "${row}\n")
        set(row "   ")
      endif()
      string(APPEND row " ${word}")
    endforeach()
    string(APPEND deb "${row}\n")
  endforeach()
  foreach(var xml deb)
    string(REPLACE "@@SEMICOLON@@" ";" ${var} "${${var}}")
    string(REPLACE "@@OPEN@@" "[" ${var} "${${var}}")
    string(REPLACE "@@CLOSE@@" "]" ${var} "${${var}}")
  endforeach()

  # Days since 1970-01-01 of a proleptic Gregorian date, years counted from
  # March so that the leap day comes last.
  string(REGEX MATCHALL "[0-9]+" parts "${date}")
  list(GET parts 0 year)
  list(GET parts 1 month)
  list(GET parts 2 day)
  string(REGEX REPLACE "^0" "" month "${month}")
  string(REGEX REPLACE "^0" "" day "${day}")
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
    math(EXPR month "${month} + 9")
  else()
    math(EXPR month "${month} - 3")
  endif()
  math(EXPR era "${year} / 400")
  math(EXPR yoe "${year} - ${era} * 400")
  math(EXPR doy "(153 * ${month} + 2) / 5 + ${day} - 1")
  math(EXPR doe "${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + ${doy}")
  math(EXPR epoch "(${era} * 146097 + ${doe} - 719468) * 86400")

  set(PARVANE_RELEASE_DATE "${date}" PARENT_SCOPE)
  set(PARVANE_RELEASE_EPOCH "${epoch}" PARENT_SCOPE)
  set(PARVANE_RELEASE_NOTES_XML "${xml}" PARENT_SCOPE)
  set(PARVANE_RELEASE_NOTES_DEB "${deb}" PARENT_SCOPE)
endfunction()
