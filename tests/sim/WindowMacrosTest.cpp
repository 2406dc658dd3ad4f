// Regression: headers the game window includes after Qt and Xlib once used the names those
// libraries define as macros (`slots`, `Status`), which broke the application's build.
#define slots
#define signals public
#define emit
#define Status int

#include "sim/GameHolder.h"
#include "vm/VMachine.h"

#include <gtest/gtest.h>

TEST(WindowMacros, SimulationHeadersCompileAfterQtAndXlibMacros) {
    kv::ProcessScheduler scheduler;
    kv::KvHeightField ground;
    kv::KvGameHolder holder(scheduler, ground);
    EXPECT_TRUE(holder.robotSlots.empty());
}
