# The connection string of the connection window: pure, no window, no database.
add_library(marrowbeck_connection_string STATIC
  ${CMAKE_CURRENT_LIST_DIR}/connection_string.cpp ${CMAKE_CURRENT_LIST_DIR}/connection_string.h)
target_include_directories(marrowbeck_connection_string PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marrowbeck_connection_string PUBLIC Qt6::Core)
