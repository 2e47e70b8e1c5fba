# Real SDL events for the display, as the system driver's tests make them.
list(APPEND folder_helpers ${CMAKE_CURRENT_LIST_DIR}/../platform/sdl_events.cpp)
