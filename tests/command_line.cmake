marrowbeck_test(command_line_test
  SOURCES command_line_test.cpp database_snapshot.cpp database_snapshot.h reliability_support.cpp reliability_support.h
    firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_real_program_fixture
  LABELS e2e
  TIMEOUT 900)
# The program under test is the real binary.
add_dependencies(command_line_test marrowbeck)
marrowbeck_test(csv_workbook_test
  SOURCES csv_workbook_test.cpp
  LIBS marrowbeck_csv_spreadsheet
  LABELS command_line unit
  TIMEOUT 120)
