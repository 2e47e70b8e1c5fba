# The soak drives the whole program through the game tests' harness.
list(APPEND folder_helpers ${CMAKE_CURRENT_LIST_DIR}/../game/harness.cpp)
