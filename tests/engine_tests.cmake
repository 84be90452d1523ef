orv_add_test(progress_model_test SOURCES progress_model_test.cpp LIBS orv_engine)

# Stand-ins for the database file and the "BIN" resources, and the window
# and state recorders the worker's tests drive it with.
add_library(orv_engine_testkit STATIC engine/fake_images.cpp)
target_include_directories(orv_engine_testkit PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/engine)
target_link_libraries(orv_engine_testkit PUBLIC orv_engine orv_sim)

orv_add_test(update_worker_test SOURCES update_worker_test.cpp LIBS orv_engine_testkit)
orv_add_test(start_command_test SOURCES start_command_test.cpp LIBS orv_engine_testkit)
