# The harness pushes its input as the system driver's tests make their SDL events.
list(APPEND folder_helpers ${CMAKE_CURRENT_LIST_DIR}/../platform/sdl_events.cpp)
