# File > Capture in the real binary; screen_pattern paints the screen and
# checks what the program shows.
add_test(NAME e2e_capture
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/capture.sh $<TARGET_FILE:tavrin>
                 $<TARGET_FILE:screen_pattern>)
set_tests_properties(e2e_capture PROPERTIES
    ENVIRONMENT "TRANSLATORS=${TAVRIN_TRANSLATOR_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    TIMEOUT 120 RUN_SERIAL TRUE)

# Region, window and delayed captures from the command line, at scale 1 and 2.
add_test(NAME e2e_capture_modes
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/capture_modes.sh $<TARGET_FILE:tavrin>
                 $<TARGET_FILE:screen_pattern>)
set_tests_properties(e2e_capture_modes PROPERTIES
    ENVIRONMENT "TRANSLATORS=${TAVRIN_TRANSLATOR_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    TIMEOUT 180 RUN_SERIAL TRUE)

# The same at the desktop's scale factors: capture, display, crop and zoom
# exact to the device pixel.
add_test(NAME e2e_hidpi
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/hidpi.sh $<TARGET_FILE:tavrin>
                 $<TARGET_FILE:screen_pattern>)
set_tests_properties(e2e_hidpi PROPERTIES
    ENVIRONMENT "TRANSLATORS=${TAVRIN_TRANSLATOR_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    TIMEOUT 180 RUN_SERIAL TRUE)

# A Wayland session: a headless compositor, the desktop portal on a session
# bus of the tests' own, and the program as a native Wayland client (and as
# an X client of XWayland). The tests skip only where packages are missing.
find_program(WAYLAND_SCANNER wayland-scanner)
pkg_check_modules(E2E_WAYLAND IMPORTED_TARGET wayland-client)
if(WAYLAND_SCANNER AND E2E_WAYLAND_FOUND)
    set(POINTER_XML ${CMAKE_CURRENT_SOURCE_DIR}/wayland_virtual_pointer.xml)
    add_custom_command(
        OUTPUT wayland_virtual_pointer.h wayland_virtual_pointer.c
        COMMAND ${WAYLAND_SCANNER} client-header ${POINTER_XML} wayland_virtual_pointer.h
        COMMAND ${WAYLAND_SCANNER} private-code ${POINTER_XML} wayland_virtual_pointer.c
        DEPENDS ${POINTER_XML})
    add_executable(wayland_pointer wayland_pointer.cpp
                   ${CMAKE_CURRENT_BINARY_DIR}/wayland_virtual_pointer.c)
    target_include_directories(wayland_pointer PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
    target_link_libraries(wayland_pointer PRIVATE PkgConfig::E2E_WAYLAND)

    add_executable(wayland_pattern wayland_pattern.cpp)
    target_link_libraries(wayland_pattern PRIVATE tavrinxserver Qt6::Gui)

    add_test(NAME e2e_wayland_capture
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wayland_capture.sh $<TARGET_FILE:tavrin>
                     $<TARGET_FILE:wayland_pointer> $<TARGET_FILE:wayland_pattern>
                     $<TARGET_FILE:screen_pattern>)
    # Mesa's EGL driver, which Qt's Wayland platform loads, is unloaded before
    # the leak check: only full stacks still name it.
    set_tests_properties(e2e_wayland_capture PROPERTIES
        ENVIRONMENT "TRANSLATORS=${TAVRIN_TRANSLATOR_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0:fast_unwind_on_malloc=0"
        SKIP_RETURN_CODE 77 TIMEOUT 180 RUN_SERIAL TRUE)

    # The same at an output scale of 2.
    add_test(NAME e2e_wayland_hidpi
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wayland_hidpi.sh $<TARGET_FILE:tavrin>
                     $<TARGET_FILE:wayland_pointer> $<TARGET_FILE:wayland_pattern>)
    set_tests_properties(e2e_wayland_hidpi PROPERTIES
        ENVIRONMENT "TRANSLATORS=${TAVRIN_TRANSLATOR_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0:fast_unwind_on_malloc=0"
        SKIP_RETURN_CODE 77 TIMEOUT 180 RUN_SERIAL TRUE)

    # Drag and drop between native Wayland clients, with the same session.
    add_test(NAME e2e_wayland_dnd
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wayland_dnd.sh $<TARGET_FILE:tavrin>
                     $<TARGET_FILE:wayland_pointer> $<TARGET_FILE:drop_target>)
    set_tests_properties(e2e_wayland_dnd PROPERTIES
        ENVIRONMENT "TRANSLATORS=${TAVRIN_TRANSLATOR_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0:fast_unwind_on_malloc=0"
        SKIP_RETURN_CODE 77 TIMEOUT 180 RUN_SERIAL TRUE)

    # Copy and paste against wl-clipboard, and the copy after quit.
    add_test(NAME e2e_wayland_clipboard
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wayland_clipboard.sh $<TARGET_FILE:tavrin>
                     $<TARGET_FILE:wayland_pointer>)
    set_tests_properties(e2e_wayland_clipboard PROPERTIES
        ENVIRONMENT "TRANSLATORS=${TAVRIN_TRANSLATOR_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0:fast_unwind_on_malloc=0"
        SKIP_RETURN_CODE 77 TIMEOUT 180 RUN_SERIAL TRUE)

    # The window started with a picture fits it, start after start.
    add_test(NAME e2e_wayland_size
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wayland_size.sh $<TARGET_FILE:tavrin>
                     $<TARGET_FILE:wayland_pointer> 5)
    set_tests_properties(e2e_wayland_size PROPERTIES
        ENVIRONMENT "TRANSLATORS=${TAVRIN_TRANSLATOR_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0:fast_unwind_on_malloc=0"
        SKIP_RETURN_CODE 77 TIMEOUT 180 RUN_SERIAL TRUE)
endif()
