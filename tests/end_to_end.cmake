marrowbeck_test(end_to_end_test
  SOURCES end_to_end_test.cpp database_snapshot.cpp database_snapshot.h
  LIBS marrowbeck_real_program_fixture
  LABELS e2e
  DISPLAY
  TIMEOUT 600)
