# The Debian package, built from the install rules and started as a user.
add_test(NAME packaging_deb
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check_deb.sh ${CMAKE_BINARY_DIR})
set_tests_properties(packaging_deb PROPERTIES TIMEOUT 600 LABELS packaging RUN_SERIAL TRUE)
