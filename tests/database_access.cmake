# The Firebird database access component: its pure parts on their own, and
# the component against the embedded engine and a server on 127.0.0.1.
marrowbeck_test(database_pure_test
  SOURCES connection_string_test.cpp value_text_test.cpp rebuilt_copy_text_test.cpp table_name_query_test.cpp
  LIBS marrowbeck_database_access_internals marrowbeck_connection_string
  LABELS database unit
  TIMEOUT 60)
marrowbeck_test(database_access_test
  SOURCES database_access_test.cpp firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_database_access_internals marrowbeck_connection_string
  LABELS database firebird
  TIMEOUT 300)
add_dependencies(database_access_test marrowbeck_sample_database)
marrowbeck_test(database_server_test
  SOURCES database_server_test.cpp firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_database_access marrowbeck_connection_string
  LABELS database firebird server
  TIMEOUT 300)
marrowbeck_test(database_files_test
  SOURCES database_files_test.cpp local_file_reading_test.cpp multi_file_database_test.cpp
    database_snapshot.cpp database_snapshot.h random_database.cpp random_database.h
    firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_database_access_internals marrowbeck_connection_string
  LABELS database firebird
  TIMEOUT 600)
add_dependencies(database_files_test marrowbeck_sample_database)
# Text in no declared character set reads the same in the user's language,
# in a plain C.UTF-8 one and with no environment at all, as cron runs it.
foreach(environment "c_utf8;LANG=C.UTF-8" "empty_environment")
  list(POP_FRONT environment name)
  add_test(NAME database_files_test_undeclared_text_${name}
    COMMAND env -i ${environment} $<TARGET_FILE:database_files_test> --gtest_filter=DatabaseFiles.UndeclaredText*)
  set_tests_properties(database_files_test_undeclared_text_${name} PROPERTIES TIMEOUT 120 LABELS "database;firebird")
endforeach()
marrowbeck_test(copies_cache_test
  SOURCES copies_cache_test.cpp kept_open_test.cpp firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_database_access_internals marrowbeck_connection_string
  LABELS database firebird
  TIMEOUT 300)
add_dependencies(copies_cache_test marrowbeck_sample_database)

# The parts of the database access component include only what they link:
# the arrows are read from the links CMake was given, the includes from the
# sources.
set(database_access_parts ods_reader:ods value_text:value_text table_rows:table_rows engine:engine
  private_copy:private_copy file_connection:file_connection database_access:router)
set(database_access_arrows "")
foreach(from IN LISTS database_access_parts)
  string(REPLACE ":" ";" from "${from}")
  list(GET from 0 from_target)
  list(GET from 1 from_name)
  get_target_property(links marrowbeck_${from_target} LINK_LIBRARIES)
  foreach(to IN LISTS database_access_parts)
    string(REPLACE ":" ";" to "${to}")
    list(GET to 0 to_target)
    list(GET to 1 to_name)
    if(marrowbeck_${to_target} IN_LIST links)
      list(APPEND database_access_arrows "${from_name}>${to_name}")
    endif()
  endforeach()
endforeach()
string(REPLACE ";" "\\;" database_access_arrows "${database_access_arrows}")
add_test(NAME database_access_layout_test
  COMMAND ${CMAKE_COMMAND} "-DROOT=${PROJECT_SOURCE_DIR}/components/database_access"
    "-DARROWS=${database_access_arrows}" -P ${CMAKE_CURRENT_SOURCE_DIR}/support/database_access_layout.cmake)
set_tests_properties(database_access_layout_test PROPERTIES LABELS "database unit" TIMEOUT 60)
