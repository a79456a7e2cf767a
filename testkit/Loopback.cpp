#include <gtest/gtest.h>

#include "Loopback.h"

unsigned short FreePort() {
    TcpListener probe;
    EXPECT_TRUE(probe.Bound()) << "no free port";
    return probe.Port();
}
