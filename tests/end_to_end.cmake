marrowbeck_test(end_to_end_test
  SOURCES end_to_end_test.cpp database_snapshot.cpp database_snapshot.h
    firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_real_program_fixture
  LABELS e2e
  DISPLAY
  TIMEOUT 600)
