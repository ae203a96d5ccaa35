# Reading a 1,000,000-row ODS 12 table through the on-disk structure reader
# against the embedded engine on the bare client API.
marrowbeck_bench(ods_read_bench
  SOURCES ods_read_bench.cpp reader_bench_table.cpp reader_bench_table.h
  LIBS marrowbeck_ods_reader_internals marrowbeck_database_access_internals fbclient Qt6::Core)
target_compile_definitions(ods_read_bench PRIVATE MARROWBECK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# A table whose pointer pages are damaged (its data pages searched for)
# against the same file undamaged.
marrowbeck_bench(ods_damaged_read_bench
  SOURCES ods_damaged_read_bench.cpp reader_bench_table.cpp reader_bench_table.h
  LIBS marrowbeck_ods_reader_internals marrowbeck_database_access_internals fbclient Qt6::Core)
