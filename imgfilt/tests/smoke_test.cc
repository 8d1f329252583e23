#include <gtest/gtest.h>
#include "imgfilt.h"
TEST(Smoke, Runs) { EXPECT_EQ(BlurGray(nullptr, nullptr, 0, 0, 0, 0, 0, 0, nullptr, nullptr), 11); }
