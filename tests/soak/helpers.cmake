# The soak drives the whole program through the game tests' harness and its SDL events.
list(APPEND folder_helpers ${CMAKE_CURRENT_LIST_DIR}/../game/harness.cpp ${CMAKE_CURRENT_LIST_DIR}/../platform/sdl_events.cpp)
