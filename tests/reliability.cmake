# Faults against the real parts: a server the test kills, an office it kills,
# damaged database files, large inputs and many exports in one run. It kills
# only the processes it starts, but it measures the whole machine's pace and
# its own process: it runs alone.
marrowbeck_test(reliability_test
  SOURCES reliability_test.cpp reliability_support.cpp reliability_support.h
          firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_real_program_fixture marrowbeck_login
  LABELS reliability
  DISPLAY
  TIMEOUT 600)
set_tests_properties(reliability_test PROPERTIES RUN_SERIAL TRUE)
