#include "Include/MatrixAlgebra.h"
#include <gtest/gtest.h>
TEST(Dot, X) { EXPECT_EQ(Dot(Vector3(1,2,3), Vector3(4,-5,6)), 12.0); }
