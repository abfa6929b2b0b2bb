# Packs the tree that CPack staged (CPACK_EXTERNAL_PACKAGE_SCRIPT) into
# <package file name>.zip with CMake's own archiver. The same commit must
# pack to the same bytes wherever and whenever it is built, so:
# - the entries go in sorted order (CPack's ZIP generator of CMake 3.25
#   takes them in the order the file system lists them, which differs from
#   one machine to the next);
# - every time in them is the last commit's: SOURCE_DATE_EPOCH when it is
#   set, else the commit's time from git, else (a tree that is no git
#   checkout) a fixed time; the time zone is UTC, as ZIP also records
#   local time;
# - the owner recorded for each entry is the one cpack runs as:
#   scripts/dist.sh runs it under fakeroot, so it is root everywhere.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct
        WORKING_DIRECTORY "${CPACK_TICKWARD_SOURCE_DIR}"
        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE result ERROR_QUIET)
    if(NOT result EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
        set(epoch 1767225600)   # 2026-01-01 00:00 UTC
    endif()
    set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()
set(ENV{TZ} UTC0)

# The staged tree is <top>/<package file name>/; its name is the archive's
# top folder.
file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE "${CPACK_TOPLEVEL_DIRECTORY}"
    "${CPACK_TEMPORARY_DIRECTORY}/*")
list(SORT entries)
set(zip "${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip -- ${entries}
    WORKING_DIRECTORY "${CPACK_TOPLEVEL_DIRECTORY}" COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_EXTERNAL_BUILT_PACKAGES "${zip}")
