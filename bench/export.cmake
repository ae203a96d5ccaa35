marrowbeck_bench(export_bench
  SOURCES export_bench.cpp generated_table.cpp generated_table.h ${PROJECT_SOURCE_DIR}/tests/support/recording_platform.cpp
  LIBS marrowbeck_windows marrowbeck_database_access marrowbeck_spreadsheet_automation marrowbeck_calc_inspection
  marrowbeck_spreadsheet_bench)
target_include_directories(export_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
