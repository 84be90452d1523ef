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
