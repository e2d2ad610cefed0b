// Component tests run with the program's own application object, so that an
// error leaving a handler reaches the error report as it does in the program.
#include <gtest/gtest.h>

#include "app/application.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
