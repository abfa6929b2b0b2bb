# A release of Tickward, from the one version in project(): the version
# resource of every shipped program, the install rules and the packaging.
#
# `cmake --install` and every archive of `make dist` (CPack) hold the same
# tree:
#   <programs>.exe, README.md, LICENSE, docs/, scheduler/   component programs
#   sdk/include/<folder>/*.h, sdk/lib/*.a, sdk/cmake/       component sdk
#   sdk/bin/twreader.dll, sdk/lib/twreader.def
# A receiving application points CMAKE_PREFIX_PATH at sdk/ and writes
# find_package(Tickward); it links the target Tickward::Tickward (the C++
# libraries) or Tickward::Reader (twreader.dll). The
# package files lie in sdk/cmake/, where find_package looks in a prefix
# when it builds for Windows.

include(CMakePackageConfigHelpers)

# Installed folders get the same permissions whatever the umask, so that the
# archive entries do not depend on who built them.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# A version resource holds four numbers: the project version, filled up with 0.
string(REGEX MATCH "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+" TW_RC_VERSION ${PROJECT_VERSION}.0.0.0)
string(REPLACE "." "," TW_RC_VERSION_COMMAS ${TW_RC_VERSION})

# tickward_version_resource(TARGET FILE TYPE DESCRIPTION): TARGET, built as
# FILE (VFT_APP or VFT_DLL), gets a version resource with the project
# version; DESCRIPTION is the one Windows shows in the file's properties.
# It is linked stripped (no symbol table: nothing reads one on an
# operator's machine, and the symbols are most of an unstripped file's
# size).
function(tickward_version_resource TARGET FILE TYPE DESCRIPTION)
    target_link_options(${TARGET} PRIVATE -s)
    set(TW_RC_NAME ${TARGET})
    set(TW_RC_FILE ${FILE})
    set(TW_RC_FILETYPE ${TYPE})
    set(TW_RC_DESCRIPTION ${DESCRIPTION})
    set(rc ${CMAKE_BINARY_DIR}/res/${TARGET}.version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/res/version.rc.in ${rc} @ONLY)
    target_sources(${TARGET} PRIVATE ${rc})
endfunction()

# tickward_program(TARGET DESCRIPTION): TARGET is shipped, with its version
# resource, at the top of the install tree. The list of shipped programs is
# the global property TICKWARD_PROGRAMS.
function(tickward_program TARGET DESCRIPTION)
    tickward_version_resource(${TARGET} ${TARGET}.exe VFT_APP "${DESCRIPTION}")
    target_compile_definitions(${TARGET} PRIVATE TICKWARD_VERSION="${PROJECT_VERSION}")
    install(TARGETS ${TARGET} RUNTIME DESTINATION . COMPONENT programs)
    set_property(GLOBAL APPEND PROPERTY TICKWARD_PROGRAMS ${TARGET})
endfunction()

# Every shipped program, one line each.
tickward_program(tickward "Tickward scheduled actions for the Korvix receiver")
tickward_program(twsched "Creates and removes Task Scheduler tasks for Tickward jobs")
tickward_program(dbgrun "Runs a program and shows its debugger output")
tickward_program(twstatus "Shows the receiving applications alive, the mailbox and Tickward's last runs")
tickward_program(receiver "Example receiving application of Tickward jobs")

# The list for the scripts (scripts/bench.sh gives the size of each).
get_property(TICKWARD_SHIPPED GLOBAL PROPERTY TICKWARD_PROGRAMS)
string(REPLACE ";" "\n" TICKWARD_SHIPPED "${TICKWARD_SHIPPED}")
file(WRITE ${CMAKE_BINARY_DIR}/programs.txt "${TICKWARD_SHIPPED}\n")

install(FILES README.md LICENSE DESTINATION . COMPONENT programs)
install(DIRECTORY docs/ DESTINATION docs COMPONENT programs FILES_MATCHING PATTERN "*.md")
install(DIRECTORY scheduler/ DESTINATION scheduler COMPONENT programs FILES_MATCHING PATTERN "*.xml")

# The SDK: what a receiving application links (the framework layer, the
# diagnostic channels, the thread classes, the command record, the
# heartbeat, the recordings, the mailbox reader, the scheduling of Tickward's
# tasks), each library with the headers of its folder, under one target.
# What only Tickward's programs need stays out: the aborting operator new
# (afx_new) and the run journal (tw_journal).
set(TICKWARD_SDK_LIBRARIES afx tw_log tw_thread tw_cmdline tw_instance tw_recording tw_mailbox tw_schedule)
add_library(tickward_sdk INTERFACE)
set_target_properties(tickward_sdk PROPERTIES EXPORT_NAME Tickward)
target_link_libraries(tickward_sdk INTERFACE ${TICKWARD_SDK_LIBRARIES})
install(TARGETS tickward_sdk ${TICKWARD_SDK_LIBRARIES} EXPORT TickwardTargets
    ARCHIVE DESTINATION sdk/lib COMPONENT sdk
    INCLUDES DESTINATION sdk/include)
foreach(lib ${TICKWARD_SDK_LIBRARIES})
    get_target_property(dir ${lib} SOURCE_DIR)
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${dir})
    install(DIRECTORY ${folder}/ DESTINATION sdk/include/${folder} COMPONENT sdk
        FILES_MATCHING PATTERN "*.h")
endforeach()
# The same receiving side as twreader.dll with a C interface, for
# applications of other frameworks, compilers and languages: the DLL in
# sdk/bin, its header in sdk/include/twreader, its import library and .def
# in sdk/lib; the target Tickward::Reader.
tickward_version_resource(twreader twreader.dll VFT_DLL "Tickward's mailbox reader and heartbeat for receiving applications")
install(TARGETS twreader EXPORT TickwardTargets
    RUNTIME DESTINATION sdk/bin COMPONENT sdk
    ARCHIVE DESTINATION sdk/lib COMPONENT sdk
    INCLUDES DESTINATION sdk/include)
install(FILES twreader/twreader.h DESTINATION sdk/include/twreader COMPONENT sdk)
install(FILES ${CMAKE_BINARY_DIR}/twreader/twreader.def DESTINATION sdk/lib COMPONENT sdk)

install(EXPORT TickwardTargets NAMESPACE Tickward::
    DESTINATION sdk/cmake COMPONENT sdk)
# A 32-bit application finds only the 32-bit SDK, a 64-bit one the 64-bit.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/TickwardConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES cmake/TickwardConfig.cmake ${CMAKE_BINARY_DIR}/TickwardConfigVersion.cmake
    DESTINATION sdk/cmake COMPONENT sdk)

# One ZIP archive per architecture: Tickward-<version>-win32.zip for the
# 32-bit release build, -win64 for the 64-bit one. CPack stages the install
# tree; cmake/CPackZip.cmake packs it so that the same commit gives the same
# bytes.
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/CPackZip.cmake)
set(CPACK_MONOLITHIC_INSTALL ON)
set(CPACK_PACKAGE_NAME Tickward)
set(CPACK_PACKAGE_VENDOR "the Tickward authors")
set(CPACK_TICKWARD_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
