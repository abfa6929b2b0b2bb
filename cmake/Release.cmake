# A release of Tickward, from the one version in project(): the version
# resource of every shipped program.

# A version resource holds four numbers: the project version, filled up with 0.
string(REGEX MATCH "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+" TW_RC_VERSION ${PROJECT_VERSION}.0.0.0)
string(REPLACE "." "," TW_RC_VERSION_COMMAS ${TW_RC_VERSION})

# tickward_program(TARGET DESCRIPTION): TARGET is shipped. It gets a version
# resource with the project version (DESCRIPTION is the one Windows shows in
# the file's properties). The list of shipped programs is the global property
# TICKWARD_PROGRAMS.
function(tickward_program TARGET DESCRIPTION)
    set(TW_RC_NAME ${TARGET})
    set(TW_RC_FILE ${TARGET}.exe)
    set(TW_RC_DESCRIPTION ${DESCRIPTION})
    set(rc ${CMAKE_BINARY_DIR}/res/${TARGET}.version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/res/version.rc.in ${rc} @ONLY)
    target_sources(${TARGET} PRIVATE ${rc})
    set_property(GLOBAL APPEND PROPERTY TICKWARD_PROGRAMS ${TARGET})
endfunction()

# Every shipped program, one line each.
tickward_program(tickward "Tickward scheduled actions for the Korvix receiver")
tickward_program(twsched "Creates and removes Task Scheduler tasks for Tickward jobs")
tickward_program(dbgrun "Runs a program and shows its debugger output")
tickward_program(receiver "Example receiving application of Tickward jobs")
