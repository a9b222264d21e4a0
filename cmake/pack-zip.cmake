# Packs the ZIP a user downloads, and its SHA-256 file beside it in sha256sum's format. Run by the
# zip target: cmake -DEXE=<ferrulon.exe> -DSOURCE_DIR=<source tree> -DZIP=<archive> -DZIP_TIME=<s> -P
#
# The same inputs give the same bytes from any folder on any day: the entries are files only, in a
# fixed order, each with the time ZIP_TIME (seconds since 1970, UTC) and fixed permissions. CMake's
# archive writer also records the packing user's numeric user and group IDs (CMake 3.25 cannot set
# them), so two packers compare equal when these match too.
#
# README.zh-CN.txt is README.zh-CN.md as Notepad on every Windows 10 and 11 reads it: UTF-8 with a
# byte-order mark and CRLF line ends. README.md goes in with LF line ends, however it was checked out.
cmake_minimum_required(VERSION 3.20)
set(stage "${ZIP}.files")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}/docs")

# A text file with LF line ends, or with CRLF and a UTF-8 byte-order mark for Notepad.
string(ASCII 239 187 191 bom)
function(copy_text from to)
  file(READ "${from}" text)
  string(SUBSTRING "${text}" 0 3 head)
  if(head STREQUAL bom)
    string(SUBSTRING "${text}" 3 -1 text)
  endif()
  string(REPLACE "\r\n" "\n" text "${text}")
  if(ARGN STREQUAL "FOR_NOTEPAD")
    string(REPLACE "\n" "\r\n" text "${bom}${text}")
  endif()
  file(WRITE "${to}" "${text}")
endfunction()
copy_text("${SOURCE_DIR}/README.md" "${stage}/README.md")
copy_text("${SOURCE_DIR}/README.zh-CN.md" "${stage}/README.zh-CN.txt" FOR_NOTEPAD)
file(COPY "${SOURCE_DIR}/docs/ferrulon.png" DESTINATION "${stage}/docs")
file(COPY "${EXE}" DESTINATION "${stage}")
get_filename_component(exe "${EXE}" NAME)

set(entries ${exe} README.md README.zh-CN.txt docs/ferrulon.png)
foreach(entry IN LISTS entries)
  file(CHMOD "${stage}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
file(CHMOD "${stage}/${exe}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                         WORLD_READ WORLD_EXECUTE)
# SOURCE_DATE_EPOCH, unlike --mtime, sets the access and change times that ZIP entries carry as
# well; the DOS time of an entry is local time, hence TZ.
file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env SOURCE_DATE_EPOCH=${ZIP_TIME} TZ=UTC0
                        "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip -- ${entries}
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 "${ZIP}" sha256)
get_filename_component(name "${ZIP}" NAME)
file(WRITE "${ZIP}.sha256" "${sha256}  ${name}\n")
message(STATUS "Packed ${name} (SHA-256 ${sha256})")
