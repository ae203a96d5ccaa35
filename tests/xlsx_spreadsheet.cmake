# The .xlsx writer: the cells and sheets it is given, read back from the file
# by a real headless Calc and from the file's own XML; its rows beside what
# libxlsxwriter writes for the same cells.
find_package(PkgConfig REQUIRED)
pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
marrowbeck_test(xlsx_spreadsheet_test
  SOURCES xlsx_spreadsheet_test.cpp calc_test_office.h
  LIBS marrowbeck_xlsx_spreadsheet_internals marrowbeck_calc_inspection PkgConfig::XLSXWRITER
  LABELS spreadsheet calc
  TIMEOUT 300)
