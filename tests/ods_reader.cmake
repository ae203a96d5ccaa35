# The on-disk structure reader: against the embedded engine on ODS 12 files,
# and on real files of every other ODS it reads.
marrowbeck_test(ods_reader_engine_test
  SOURCES ods_reader_engine_test.cpp ods_raw_rows.cpp ods_raw_rows.h firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_ods_reader marrowbeck_database_access marrowbeck_connection_string fbclient
  LABELS database firebird ods
  TIMEOUT 600)
add_dependencies(ods_reader_engine_test marrowbeck_sample_database)
