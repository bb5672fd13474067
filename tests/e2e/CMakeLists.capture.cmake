# File > Capture in the real binary; screen_pattern paints the screen and
# checks what the program shows.
add_test(NAME e2e_capture
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/capture.sh $<TARGET_FILE:tavrin>
                 $<TARGET_FILE:screen_pattern>)
set_tests_properties(e2e_capture PROPERTIES
    ENVIRONMENT "TRANSLATORS=${TAVRIN_TRANSLATOR_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    TIMEOUT 120 RUN_SERIAL TRUE)
