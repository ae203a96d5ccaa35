marrowbeck_test(end_to_end_test
  SOURCES end_to_end_test.cpp
  LIBS marrowbeck_windows marrowbeck_database_access marrowbeck_spreadsheet_automation
  LABELS e2e
  DISPLAY
  TIMEOUT 600)
