# Packs the ZIP a user downloads, and its SHA-256 file beside it in sha256sum's format. Run by the
# zip target: cmake -DEXE=<ferrulon.exe> -DSOURCE_DIR=<source tree> -DZIP=<archive> -DZIP_TIME=<s>
# [-DZIP_REQUIRED=ON: fail rather than pack without zip] -DMINIMUM_CMAKE=<the project's> -P
#
# The ZIP holds ferrulon.exe and the two guides as plain text for Notepad: README.zh-CN.txt from
# README.zh-CN.md and README.txt from README.md, each up to its line "<!-- The guide in the ZIP ends
# here. -->", without Markdown (headings, emphasis, code marks, links, tables and pictures made
# plain), in UTF-8 with a byte-order mark and CRLF line ends.
#
# The same inputs give the same bytes from any folder, on any day, packed by any user: the entries
# are files only, in a fixed order, each with the time ZIP_TIME (seconds since 1970, UTC) and fixed
# permissions, and Info-ZIP's zip -X records no user or group. Where zip is missing (on Windows),
# CMake's own archive writer packs it instead; it records the packer's user and group, and such a
# ZIP is never released. A cross build (the released one) requires zip.
cmake_minimum_required(VERSION ${MINIMUM_CMAKE})
set(stage "${ZIP}.files")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}")

string(ASCII 239 187 191 bom)
# The guide in `from` made plain text in `to`; CHINESE also ends a line after each full stop or
# semicolon inside a paragraph, so that no line runs far beyond a window's width.
function(plain_guide from to)
  file(READ "${from}" text)
  string(SUBSTRING "${text}" 0 3 head)
  if(head STREQUAL bom)
    string(SUBSTRING "${text}" 3 -1 text)
  endif()
  string(REPLACE "\r\n" "\n" text "\n${text}")
  string(FIND "${text}" "\n<!-- The guide in the ZIP ends here. -->" end)
  if(end LESS 0)
    message(FATAL_ERROR "${from} has no line \"<!-- The guide in the ZIP ends here. -->\"")
  endif()
  string(SUBSTRING "${text}" 0 ${end} text)
  string(REGEX REPLACE "\n<!--[^\n]*-->" "" text "${text}")           # comments
  string(REGEX REPLACE "\n!\\[[^\n]*" "" text "${text}")               # lines of pictures
  string(REGEX REPLACE "\n```[^\n]*" "" text "${text}")                 # code fences
  string(REGEX REPLACE "\n# ([^\n]*)" "\n\\1\n==========" text "${text}")
  string(REGEX REPLACE "\n## ([^\n]*)" "\n== \\1 ==" text "${text}")
  string(REGEX REPLACE "\n### ([^\n]*)" "\n-- \\1 --" text "${text}")
  string(REGEX REPLACE "\n> ?" "\n" text "${text}")                     # quotes
  string(REGEX REPLACE "\n\\|[-| :]*\\|" "" text "${text}")              # a table's rule
  string(REGEX REPLACE "\n\\| ([^\n]*) \\|" "\n\\1" text "${text}")      # a table's rows
  string(REPLACE " | " " — " text "${text}")
  string(REGEX REPLACE "\\[([^]\n]*)\\]\\((https?://[^)\n]*)\\)" "\\1 (\\2)" text "${text}")
  string(REGEX REPLACE "\\[([^]\n]*)\\]\\([^)\n]*\\)" "\\1" text "${text}")   # links within the guides
  string(REGEX REPLACE "\\*\\*([^*]+)\\*\\*" "\\1" text "${text}")       # bold, over a line end too
  string(REGEX REPLACE "\\*([^*\n ][^*\n]*)\\*" "\\1" text "${text}")
  string(REPLACE "`" "" text "${text}")
  string(REPLACE "README.zh-CN.md" "README.zh-CN.txt" text "${text}")  # the guides by their names in the ZIP
  string(REPLACE " README.md" " README.txt" text "${text}")
  if(ARGN STREQUAL "CHINESE")
    string(REGEX REPLACE "(。|；) ?([^\n])" "\\1\n  \\2" text "${text}")
  endif()
  string(REGEX REPLACE "\n\n\n+" "\n\n" text "${text}")
  string(STRIP "${text}" text)
  string(APPEND text "\n")
  string(REPLACE "\n" "\r\n" text "${bom}${text}")
  file(WRITE "${to}" "${text}")
endfunction()
plain_guide("${SOURCE_DIR}/README.zh-CN.md" "${stage}/README.zh-CN.txt" CHINESE)
plain_guide("${SOURCE_DIR}/README.md" "${stage}/README.txt")
file(COPY "${EXE}" DESTINATION "${stage}")
get_filename_component(exe "${EXE}" NAME)

set(entries ${exe} README.zh-CN.txt README.txt)
foreach(entry IN LISTS entries)
  file(CHMOD "${stage}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
file(CHMOD "${stage}/${exe}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                         WORLD_READ WORLD_EXECUTE)
file(REMOVE "${ZIP}")
find_program(ZIP_PROGRAM zip)
find_program(TOUCH_PROGRAM touch)
if(ZIP_REQUIRED AND NOT (ZIP_PROGRAM AND TOUCH_PROGRAM))
  message(FATAL_ERROR "Info-ZIP's zip and touch are needed to pack a ZIP that records no packer (Debian: zip)")
endif()
if(ZIP_PROGRAM AND TOUCH_PROGRAM)
  # An entry's DOS time is local time, hence TZ.
  execute_process(COMMAND "${TOUCH_PROGRAM}" -d "@${ZIP_TIME}" -- ${entries}
                  WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC0 "${ZIP_PROGRAM}" -X -D -q "${ZIP}" -- ${entries}
                  WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
else()
  # SOURCE_DATE_EPOCH, unlike --mtime, sets the access and change times that ZIP entries carry as well.
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env SOURCE_DATE_EPOCH=${ZIP_TIME} TZ=UTC0
                          "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip -- ${entries}
                  WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
endif()
file(SHA256 "${ZIP}" sha256)
get_filename_component(name "${ZIP}" NAME)
file(WRITE "${ZIP}.sha256" "${sha256}  ${name}\n")
message(STATUS "Packed ${name} (SHA-256 ${sha256})")
