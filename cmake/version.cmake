# Everything that names the version is made from project(VERSION) in the top
# CMakeLists.txt, so a release edits that line and packaging/changelog:
#   ORVANE_RELEASE          the first three numbers: the package, AppStream,
#                           the Windows archive and installer names;
#   PROJECT_VERSION         all four (the fourth is the executable's build
#                           number): the version resource and record;
#   ORVANE_RELEASE_DATE     the changelog's date of that release (AppStream);
#   ORVANE_COPYRIGHT        LICENSE's copyright line (version resource).
# The generated header is ${ORVANE_GENERATED_DIR}/orvane_version.h.
set(ORVANE_RELEASE ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(ORVANE_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)

# The changelog's top entry must be this release: it is the release's notes
# and date, and Debian reads the package's version from it too.
# (";" would split the lines, which are read as a list: kept as @SEMI@.)
file(READ ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_text)
string(REPLACE ";" "@SEMI@" changelog_text "${changelog_text}")
string(REPLACE "\n" ";" changelog_lines "${changelog_text}")
list(GET changelog_lines 0 changelog_head)
if(NOT changelog_head MATCHES "^orvane \\(([^)]+)\\)")
  message(FATAL_ERROR "packaging/changelog: no entry at the top")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL ORVANE_RELEASE)
  message(FATAL_ERROR "packaging/changelog's top entry is ${CMAKE_MATCH_1}, the project's version "
                      "${PROJECT_VERSION}: add an entry for ${ORVANE_RELEASE} at the top")
endif()

# The entry's lines up to its trailer: the notes and the date.
set(ORVANE_RELEASE_NOTES "")
set(item "")
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ")
    set(day ${CMAKE_MATCH_1})
    set(month_name ${CMAKE_MATCH_2})
    set(year ${CMAKE_MATCH_3})
    break()
  elseif(line MATCHES "^  \\* (.*)")
    list(APPEND ORVANE_RELEASE_NOTES "${item}")
    set(item "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^    (.*)")
    string(APPEND item " ${CMAKE_MATCH_1}")
  endif()
endforeach()
list(APPEND ORVANE_RELEASE_NOTES "${item}")
list(FILTER ORVANE_RELEASE_NOTES EXCLUDE REGEX "^$")
if(NOT DEFINED year)
  message(FATAL_ERROR "packaging/changelog: the top entry has no trailer line with a date")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${month_name} month)
math(EXPR month "${month} + 1")
string(LENGTH "${day}" n)
if(n EQUAL 1)
  set(day 0${day})
endif()
if(month LESS 10)
  set(month 0${month})
endif()
set(ORVANE_RELEASE_DATE ${year}-${month}-${day})

# AppStream's release description: the changelog's items, XML-escaped.
set(ORVANE_RELEASE_NOTES_XML "")
foreach(item IN LISTS ORVANE_RELEASE_NOTES)
  string(REPLACE "&" "&amp;" item "${item}")
  string(REPLACE "<" "&lt;" item "${item}")
  string(REPLACE ">" "&gt;" item "${item}")
  string(APPEND ORVANE_RELEASE_NOTES_XML "\n          <li>${item}</li>")
endforeach()
string(REPLACE "@SEMI@" ";" ORVANE_RELEASE_NOTES_XML "${ORVANE_RELEASE_NOTES_XML}")

file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE ORVANE_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
string(REPLACE "," ", " ORVANE_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
configure_file(${PROJECT_SOURCE_DIR}/res/orvane_version.h.in ${ORVANE_GENERATED_DIR}/orvane_version.h @ONLY)
