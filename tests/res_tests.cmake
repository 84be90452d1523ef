orv_add_test(resources_test SOURCES resources_test.cpp LIBS orv_resources comctl32 version)
