# The Firebird database access component: its pure parts on their own, and
# the component against the embedded engine and a server on 127.0.0.1.
marrowbeck_test(database_pure_test
  SOURCES connection_string_test.cpp value_text_test.cpp rebuilt_copy_text_test.cpp table_name_query_test.cpp
  LIBS marrowbeck_database_access_internals marrowbeck_login
  LABELS database unit
  TIMEOUT 60)
marrowbeck_test(database_access_test
  SOURCES database_access_test.cpp firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_database_access_internals marrowbeck_login
  LABELS database firebird
  TIMEOUT 300)
add_dependencies(database_access_test marrowbeck_sample_database)
marrowbeck_test(database_server_test
  SOURCES database_server_test.cpp firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_database_access marrowbeck_login
  LABELS database firebird server
  TIMEOUT 300)
marrowbeck_test(database_files_test
  SOURCES database_files_test.cpp local_file_reading_test.cpp multi_file_database_test.cpp
    database_snapshot.cpp database_snapshot.h random_database.cpp random_database.h
    firebird_scratch_database.cpp firebird_scratch_database.h
  LIBS marrowbeck_database_access_internals marrowbeck_login
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
  LIBS marrowbeck_database_access_internals marrowbeck_login
  LABELS database firebird
  TIMEOUT 300)
add_dependencies(copies_cache_test marrowbeck_sample_database)

# The parts of the database access component include only what they link:
# the arrows are read from the links CMake was given, the includes from the
# sources.
set(database_access_parts login:login ods_reader:ods value_text:value_text table_rows:table_rows engine:engine
  private_copy:private_copy file_connection:file_connection database_access:router)
set(database_access_arrows "")
set(database_access_part_names "")
foreach(from IN LISTS database_access_parts)
  string(REPLACE ":" ";" from "${from}")
  list(GET from 0 from_target)
  list(GET from 1 from_name)
  list(APPEND database_access_part_names ${from_name})
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
# The check itself is shown to refuse a link taken away and a circle added:
# each case names its arrows and the words it must say.
set(layout_refusals "")
set(without_router_link ${database_access_arrows})
list(REMOVE_ITEM without_router_link "router>file_connection")
list(APPEND layout_refusals without_router_link)
set(layout_message_without_router_link
  "database_connection.cpp \\(router\\) includes \"ods_connection.h\" of file_connection, which router does not link")
set(with_circle ${database_access_arrows} "ods>router")
list(APPEND layout_refusals with_circle)
set(layout_message_with_circle "The parts go round in a circle")
# Joined by commas: a list passed in one argument reaches the script as a
# single element, and the check would then know no part and pass.
foreach(name database_access_part_names database_access_arrows ${layout_refusals})
  list(JOIN ${name} "," layout_joined_${name})
endforeach()
set(layout_check ${CMAKE_COMMAND} "-DROOT=${PROJECT_SOURCE_DIR}/components/database_access"
  "-DPARTS=${layout_joined_database_access_part_names}")
set(layout_script -P ${CMAKE_CURRENT_SOURCE_DIR}/support/database_access_layout.cmake)
add_test(NAME database_access_layout_test
  COMMAND ${layout_check} "-DARROWS=${layout_joined_database_access_arrows}" ${layout_script})
set_tests_properties(database_access_layout_test PROPERTIES LABELS "database unit" TIMEOUT 60)
foreach(refusal IN LISTS layout_refusals)
  add_test(NAME database_access_layout_refuses_${refusal}
    COMMAND ${layout_check} "-DARROWS=${layout_joined_${refusal}}" ${layout_script})
  set_tests_properties(database_access_layout_refuses_${refusal} PROPERTIES LABELS "database unit" TIMEOUT 60
    PASS_REGULAR_EXPRESSION "${layout_message_${refusal}}")
endforeach()
