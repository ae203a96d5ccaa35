# Writing text cells into Calc: the component against direct bulk calls and
# one call per cell. spreadsheet_write_rate is for any benchmark that wants
# to print the component's own rate beside its figures.
add_library(marrowbeck_spreadsheet_bench STATIC
  ${CMAKE_CURRENT_LIST_DIR}/spreadsheet_write_rate.cpp ${CMAKE_CURRENT_LIST_DIR}/spreadsheet_write_rate.h
  ${CMAKE_CURRENT_LIST_DIR}/calc_direct_write.cpp ${CMAKE_CURRENT_LIST_DIR}/calc_direct_write.h)
target_include_directories(marrowbeck_spreadsheet_bench PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marrowbeck_spreadsheet_bench
  PUBLIC marrowbeck_spreadsheet_automation marrowbeck_calc_inspection
  PRIVATE marrowbeck_spreadsheet_automation_uno)

marrowbeck_bench(spreadsheet_write_bench
  SOURCES spreadsheet_write_bench.cpp
  LIBS marrowbeck_spreadsheet_bench)

# Starting the office as the program does, idle or with both cores busy.
marrowbeck_bench(office_start_bench
  SOURCES office_start_bench.cpp
  LIBS marrowbeck_spreadsheet_automation marrowbeck_calc_inspection)
