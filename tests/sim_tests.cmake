# The simulated HID bus and unit: used by the link's, the engine's and the
# window's tests and by the benchmark.
add_library(orv_sim STATIC sim/sim_hid_bus.cpp)
target_include_directories(orv_sim PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/sim)
target_link_libraries(orv_sim PUBLIC orv_link)

orv_add_test(sim_hid_bus_test SOURCES sim/sim_hid_bus_test.cpp LIBS orv_sim)
