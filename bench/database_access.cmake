# Reading a 1,000,000-row table into text: the database access component
# against the bare Firebird client API, embedded and over loopback.
marrowbeck_bench(database_read_bench
  SOURCES database_read_bench.cpp database_failure.cpp database_failure.h
  LIBS marrowbeck_database_access_internals marrowbeck_login fbclient Qt6::Core)

# Reading on past values that cannot be computed, against a table where none
# fails.
marrowbeck_bench(failing_values_bench
  SOURCES failing_values_bench.cpp database_failure.cpp database_failure.h
  LIBS marrowbeck_database_access_internals marrowbeck_login fbclient Qt6::Core)

# A Firebird 3 file of about 400 MB: the engine on a private copy of it
# against the reader on the file, opening, listing and reading every table.
marrowbeck_bench(local_file_bench
  SOURCES local_file_bench.cpp database_failure.cpp database_failure.h
  LIBS marrowbeck_database_access_internals marrowbeck_login fbclient Qt6::Core)

# Text in no declared character set, each long value told on its own,
# against a column that declares its code page. Pure, no Firebird.
marrowbeck_bench(undeclared_text_bench
  SOURCES undeclared_text_bench.cpp
  LIBS marrowbeck_database_access_internals Qt6::Core)
