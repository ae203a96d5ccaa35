# The .xlsx writer: the cells and sheets it is given, read back from the file
# by a real headless Calc and from the file's own XML.
marrowbeck_test(xlsx_spreadsheet_test
  SOURCES xlsx_spreadsheet_test.cpp calc_test_office.h
  LIBS marrowbeck_xlsx_spreadsheet marrowbeck_calc_inspection
  LABELS spreadsheet calc
  TIMEOUT 300)
