# Package configuration of the Tickward SDK, for receiving applications:
#   find_package(Tickward REQUIRED)
#   target_link_libraries(myapp PRIVATE Tickward::Tickward)
# The target brings the headers (included as "mailbox/CCmdLineProcess.h" and
# so on) and the static libraries in their link order. Tickward::Reader is
# twreader.dll with its import library and "twreader/twreader.h", for an
# application of another framework, compiler or language (ship the DLL
# beside it).
include("${CMAKE_CURRENT_LIST_DIR}/TickwardTargets.cmake")
