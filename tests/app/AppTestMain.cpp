// main() for tests of the application shell: the real application object, so that errors raised
// by commands reach its catch point as they do in the program.
#include "app/KaptivApplication.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) // listing the tests needs no display
        return RUN_ALL_TESTS();
    kaptiv::KaptivApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
