orv_add_test(link_frames_test SOURCES link_frames_test.cpp LIBS orv_link)
orv_add_test(link_hid_io_test SOURCES link_hid_io_test.cpp LIBS orv_sim)
orv_add_test(link_commands_test SOURCES link_commands_test.cpp LIBS orv_sim)
orv_add_test(link_write_pages_test SOURCES link_write_pages_test.cpp LIBS orv_engine_testkit)
# Against wine's own HID devices, with no seam in between.
orv_add_test(link_real_platform_test SOURCES link_real_platform_test.cpp LIBS orv_link)
