# The command line's export to .xlsx against Calc's own ingest and store, and
# against its export to .csv; its peak memory at two sizes of table.
marrowbeck_bench(command_line_bench
  SOURCES command_line_bench.cpp generated_table.cpp generated_table.h
  LIBS marrowbeck_windows marrowbeck_database_access marrowbeck_spreadsheet_bench)
add_dependencies(command_line_bench marrowbeck)
