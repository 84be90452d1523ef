#include <gtest/gtest.h>

#include "update_state.h"

TEST(UpdateState, StartsWithTheProcessValues)
{
    EXPECT_EQ(g_productIds[0], 0x0000);
    EXPECT_EQ(g_productIds[1], 0x5780);
    EXPECT_EQ(g_productIds[2], 0x03B4);
    EXPECT_EQ(g_productIds[3], 0x005A);
    EXPECT_EQ(g_deviceIndex, 0);
    EXPECT_EQ(g_pImage, nullptr);
    EXPECT_EQ(g_dwDatabaseBytesRead, 0u);
    EXPECT_EQ(g_nDatabasePages, 0);
    EXPECT_EQ(g_nFirmwarePages, 0);
    EXPECT_EQ(g_nAudioPages, 0);
    EXPECT_EQ(g_nRadarPages, 0);
    EXPECT_EQ(g_nStage, 0);
    EXPECT_EQ(g_nPhase, 0);
    EXPECT_EQ(g_nProgress, 1);
}
