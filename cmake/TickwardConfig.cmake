# Package configuration of the Tickward SDK, for receiving applications:
#   find_package(Tickward REQUIRED)
#   target_link_libraries(myapp PRIVATE Tickward::Tickward)
# The target brings the headers (included as "mailbox/CCmdLineProcess.h" and
# so on) and the static libraries in their link order.
include("${CMAKE_CURRENT_LIST_DIR}/TickwardTargets.cmake")
