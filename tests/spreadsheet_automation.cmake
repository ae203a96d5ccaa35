# The Calc component: its rules without an office, its contract against a
# real headless Calc, its faults, and showing the workbook on a display.
marrowbeck_test(spreadsheet_rules_test
  SOURCES cell_block_buffer_test.cpp sheet_name_rules_test.cpp serial_worker_test.cpp office_profile_test.cpp
  LIBS marrowbeck_spreadsheet_automation_internals
  LIBS marrowbeck_calc_inspection
  LABELS spreadsheet unit
  TIMEOUT 60)
marrowbeck_test(calc_workbook_test
  SOURCES calc_workbook_test.cpp calc_test_office.h
  LIBS marrowbeck_calc_inspection
  LABELS spreadsheet calc
  TIMEOUT 300)
marrowbeck_test(calc_office_faults_test
  SOURCES calc_office_faults_test.cpp calc_test_office.h
  LIBS marrowbeck_calc_inspection marrowbeck_spreadsheet_automation_internals
  LABELS spreadsheet calc
  TIMEOUT 300)
marrowbeck_test(calc_visible_test
  SOURCES calc_visible_test.cpp calc_test_office.h
  LIBS marrowbeck_calc_inspection
  LABELS spreadsheet calc
  DISPLAY
  TIMEOUT 300)
target_compile_definitions(calc_workbook_test PRIVATE
  LIBREOFFICE_SOFFICE="${LIBREOFFICE_PROGRAM_DIR}/soffice")
target_compile_definitions(calc_office_faults_test PRIVATE
  LIBREOFFICE_SOFFICE="${LIBREOFFICE_PROGRAM_DIR}/soffice")
