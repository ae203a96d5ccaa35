# The windows as assistive technology reads them over the AT-SPI bus (X display).
add_test(NAME accessibility_atspi
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/accessibility/run.sh $<TARGET_FILE:marrowbeck>)
set_tests_properties(accessibility_atspi PROPERTIES TIMEOUT 120 LABELS accessibility)

marrowbeck_test(accessibility_test SOURCES accessibility_test.cpp LABELS accessibility TIMEOUT 60)
