#include <windows.h>
#include <mbctype.h>

#include <gtest/gtest.h>

// Every multibyte test is meaningless in another code page: fail loudly before any of them.
TEST(Environment, AnsiAndRuntimeCodePagesAre936) {
    EXPECT_EQ(936u, GetACP());
    EXPECT_EQ(936, _getmbcp());
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
