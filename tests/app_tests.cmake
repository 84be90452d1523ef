# Window tests: the real dialog run as the application runs it, worked from
# the test's thread as a user would, against the simulated unit. Each program
# links the tool's resources itself.
add_library(orv_apptest STATIC app_test_window.cpp)
target_include_directories(orv_apptest PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(orv_apptest PUBLIC orv_app orv_uidriver)

foreach(name app_main_dialog_test app_device_poll_test app_update_test)
  orv_add_test(${name}
    SOURCES ${name}.cpp
    LIBS orv_apptest orv_resources orv_sim shell32)
endforeach()

# The complete update presses Enter on the disabled Start mid-transfer. A
# disabled button cannot take the focus back once another program's window
# has taken the activation, so that test runs while no other test runs.
if(WINE_USABLE)
  set(_serial ${CMAKE_CURRENT_BINARY_DIR}/app_serial_tests.cmake)
  set(_test AppUpdate.CompleteUpdateMovesEachRegionsBarInTurnAndGotovoCloses)
  # ctest ignores properties of a test it does not know: a renamed test must
  # stop the run rather than quietly run beside the others.
  file(WRITE ${_serial}
    "list(FIND app_update_test_TESTS ${_test} _found)\n"
    "if(_found EQUAL -1)\n"
    "  message(FATAL_ERROR \"${_serial}: no test ${_test} to run alone\")\n"
    "endif()\n"
    "set_tests_properties(${_test} PROPERTIES RUN_SERIAL TRUE)\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_serial})
endif()
