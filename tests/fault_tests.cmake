# The fault campaign: each failure of the unit at each kind of report of an
# update, and the database file's bad inputs.
orv_add_test(fault_campaign_test SOURCES fault_campaign_test.cpp LIBS orv_engine_testkit)
