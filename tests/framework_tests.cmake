# The framework's tests and the UI driver that window tests share.
add_library(orv_uidriver STATIC ui/ui_driver.cpp)
target_include_directories(orv_uidriver PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(orv_uidriver PUBLIC GTest::gtest user32)

orv_add_test(framework_runtime_class_test
  SOURCES framework_runtime_class_test.cpp
  LIBS orv_framework)
orv_add_test(framework_msgmap_test
  SOURCES framework_msgmap_test.cpp
  LIBS orv_framework)
orv_add_test(framework_dialog_test
  SOURCES framework_dialog_test.cpp framework_test.rc
  LIBS orv_framework orv_uidriver)
orv_add_test(framework_app_test
  SOURCES framework_app_test.cpp
  LIBS orv_framework orv_uidriver)

# A program on the framework's own wWinMain; framework_app_test runs it renamed.
add_executable(framework_probe WIN32 framework_probe.cpp)
target_link_libraries(framework_probe PRIVATE orv_winmain)
target_include_directories(framework_probe PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
add_dependencies(framework_app_test framework_probe)

# A handler of the wrong signature must be refused by the compiler.
add_test(NAME framework_msgmap_rejects_mistyped_handler
  COMMAND ${CMAKE_CXX_COMPILER} -std=c++17 -fsyntax-only -DUNICODE -D_UNICODE
          -I${CMAKE_SOURCE_DIR}/framework
          ${CMAKE_CURRENT_SOURCE_DIR}/framework_mistyped_handler.cpp)
set_tests_properties(framework_msgmap_rejects_mistyped_handler PROPERTIES
  PASS_REGULAR_EXPRESSION "message-map handler must be void f\\(\\)")
