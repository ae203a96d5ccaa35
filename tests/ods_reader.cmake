# The on-disk structure reader: against the embedded engine on ODS 12 files,
# and on real files of every other ODS it reads.
marrowbeck_test(ods_reader_engine_test
  SOURCES ods_reader_engine_test.cpp ods_type_change_test.cpp ods_raw_rows.cpp ods_raw_rows.h firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_ods_reader_internals marrowbeck_database_access marrowbeck_login fbclient
  LABELS database firebird ods
  TIMEOUT 600)
add_dependencies(ods_reader_engine_test marrowbeck_sample_database)

# The real files of other versions, unpacked into the build tree.
file(GLOB legacy_archives CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/legacy/*.xz)
set(legacy_files)
foreach(archive ${legacy_archives})
  get_filename_component(name ${archive} NAME_WLE)
  set(unpacked ${CMAKE_CURRENT_BINARY_DIR}/legacy/${name})
  add_custom_command(OUTPUT ${unpacked}
    COMMAND ${CMAKE_COMMAND} -E copy ${archive} ${unpacked}.xz
    COMMAND xz -d -f ${unpacked}.xz
    DEPENDS ${archive} VERBATIM)
  list(APPEND legacy_files ${unpacked})
endforeach()
add_custom_target(marrowbeck_legacy_databases DEPENDS ${legacy_files})
marrowbeck_test(ods_reader_legacy_test
  SOURCES ods_reader_legacy_test.cpp ods_record_codec_test.cpp ods_page_view_test.cpp ods_product_names_test.cpp ods_encryption_test.cpp ods_reader_interbase5_test.cpp ods_raw_rows.cpp ods_raw_rows.h firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_ods_reader_internals marrowbeck_database_access marrowbeck_login fbclient
  LABELS database ods
  TIMEOUT 300)
# Real InterBase files of ODS 13 to 19, kept next to the source tree (they
# have no licence to be in it).
marrowbeck_test(ods_reader_interbase_test
  SOURCES ods_reader_interbase_test.cpp ods_encrypted_column_test.cpp ods_raw_rows.cpp ods_raw_rows.h database_snapshot.cpp database_snapshot.h
    firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_ods_reader_internals marrowbeck_database_access_internals marrowbeck_login fbclient
  LABELS database ods
  TIMEOUT 600)
# Damaged copies of those files. It links the reader alone, so that a build
# with the address and undefined-behaviour sanitizers needs little else.
add_executable(ods_damaged_files_test ods_damaged_files_test.cpp)
target_link_libraries(ods_damaged_files_test PRIVATE marrowbeck_ods_reader_internals GTest::gtest_main)
target_compile_options(ods_damaged_files_test PRIVATE -include ${CMAKE_CURRENT_SOURCE_DIR}/support/qstring_printer.h)
target_compile_definitions(ods_damaged_files_test PRIVATE MARROWBECK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_test(NAME ods_damaged_files_test COMMAND ods_damaged_files_test)
set_tests_properties(ods_damaged_files_test PROPERTIES LABELS "database;ods" TIMEOUT 300)
# Every test program that reads them finds them there (the other two are
# defined by files read before this one).
foreach(reader ods_reader_legacy_test ods_damaged_files_test ods_reader_interbase_test database_files_test end_to_end_test command_line_test)
  target_compile_definitions(${reader} PRIVATE LEGACY_DATABASES="${CMAKE_CURRENT_BINARY_DIR}/legacy")
  add_dependencies(${reader} marrowbeck_legacy_databases)
endforeach()
