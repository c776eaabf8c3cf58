# Compares the commands and options that `PROGRAM --help` names with those
# that its manual page (MANUAL, the scdoc source) names, and prints each one
# that only one side has.
#
# PENDING lists, separated by commas, what the manual describes before the
# program has it: those may be missing from --help. One that --help shows
# fails the check, so the list shrinks as the program catches up and the
# check is whole again.
#
# With SANDBOX, the program runs with its home, configuration, runtime and
# temporary folders there, so that it cannot reach a running instance or the
# user's settings.

string(REPLACE "," ";" PENDING "${PENDING}")
if(SANDBOX)
  foreach(dir home config runtime tmp)
    file(MAKE_DIRECTORY ${SANDBOX}/${dir})
  endforeach()
  file(CHMOD ${SANDBOX}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  set(ENV{HOME} ${SANDBOX}/home)
  set(ENV{XDG_CONFIG_HOME} ${SANDBOX}/config)
  set(ENV{XDG_RUNTIME_DIR} ${SANDBOX}/runtime)
  set(ENV{TMPDIR} ${SANDBOX}/tmp)
endif()
execute_process(COMMAND ${PROGRAM} --help TIMEOUT 20
                OUTPUT_VARIABLE help ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message("${PROGRAM} --help: ${status}\n${errors}")
  set(help "")
endif()
file(READ ${MANUAL} manual)

# An option is -x or --word where it does not continue a word (read-only,
# parvane-cli, UTF-8 are not options).
function(options_in text out)
  string(REGEX REPLACE "[][;]" " " text "${text}")
  string(REGEX MATCHALL "(^|[^A-Za-z0-9_-])--?[A-Za-z][A-Za-z0-9-]*" found "${text}")
  list(TRANSFORM found REPLACE "^[^-]" "")
  list(REMOVE_DUPLICATES found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The text of the manual's sections NAMES, as one string.
function(manual_sections out)
  set(text "")
  foreach(name ${ARGN})
    if(manual MATCHES "\n# ${name}\n(.*)")
      string(REGEX REPLACE "\n# .*" "" section "${CMAKE_MATCH_1}")
      string(APPEND text "${section}\n")
    endif()
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Commands: in --help, the words that start the lines indented by two spaces
# under "Commands:"; in the manual, the bold words that start the lines of
# its COMMANDS section.
string(REPLACE ";" "," help_lines "${help}")
string(REPLACE "\n" ";" help_lines "${help_lines}")
set(help_commands)
set(in_commands FALSE)
foreach(line IN LISTS help_lines)
  if(line MATCHES "^Commands:")
    set(in_commands TRUE)
  elseif(line STREQUAL "")
    set(in_commands FALSE)
  elseif(in_commands AND line MATCHES "^  ([a-z][a-z-]*)( |$)")
    list(APPEND help_commands ${CMAKE_MATCH_1})
  endif()
endforeach()
manual_sections(commands_text COMMANDS)
string(REGEX MATCHALL "(^|\n)\\*[a-z][a-z-]*\\*" manual_commands "${commands_text}")
list(TRANSFORM manual_commands REPLACE "[\n*]" "")

options_in("${help}" help_options)
manual_sections(options_text SYNOPSIS OPTIONS)
options_in("${options_text}" manual_options)

set(faults 0)
function(report what list)
  if(${list})
    list(JOIN ${list} " " words)
    message("${what}: ${words}")
  endif()
endfunction()
set(help_words ${help_commands} ${help_options})
set(manual_words ${manual_commands} ${manual_options})
set(only_help ${help_words})
list(REMOVE_ITEM only_help ${manual_words})
set(only_manual ${manual_words})
list(REMOVE_ITEM only_manual ${help_words} ${PENDING})
set(pending_missing ${PENDING})
list(REMOVE_ITEM pending_missing ${help_words})
set(pending_done ${PENDING})
list(REMOVE_ITEM pending_done ${pending_missing})

message("--help names: ${help_words}")
message("the manual names: ${manual_words}")
report("PENDING (in the manual, not yet in --help)" pending_missing)
report("FAULT: in --help but not in the manual" only_help)
report("FAULT: in the manual but not in --help" only_manual)
report("FAULT: --help has these now; take them off the pending list in tests/packaging/CMakeLists.txt" pending_done)
if(NOT manual_words)
  message(FATAL_ERROR "found no command or option in ${MANUAL}")
endif()
if(only_help OR only_manual OR pending_done)
  message(FATAL_ERROR "--help and the manual page disagree")
endif()
