// Shared main of the test programs: the program is also the shell, so the
// host's main window exists before any test runs.
#include <gtest/gtest.h>
#include "CorvaneHost.h"
#include "FaultReport.h"

int main(int argc, char** argv) {
    InstallFaultReport();
    testing::InitGoogleTest(&argc, argv);
    HostStart(GetModuleHandleA(NULL));
    int result = RUN_ALL_TESTS();
    HostStop();
    return result;
}
