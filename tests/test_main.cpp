// Shared entry point of the test programs. Start-up is explicit: each program's units.cpp runs the
// initialisation of the units it tests, in order, and the finalisation in reverse after the tests.
#include <gtest/gtest.h>

#include "test_units.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    InitializeUnits();
    const int result = RUN_ALL_TESTS();
    FinalizeUnits();
    return result;
}
