# A short seeded pass of each fuzz target (clang, libFuzzer, ASan and UBSan),
# built in a folder of its own under this build.
add_test(NAME fuzz_smoke
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/fuzz-smoke.sh ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR}/fuzz-smoke)
set_tests_properties(fuzz_smoke PROPERTIES LABELS "reliability" TIMEOUT 600)
