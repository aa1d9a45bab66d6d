// The Windows test program runs with the toolkit started, as every
// application of the toolkit does: token table, default language instance
// on this program's own resources, internationals.
#include <gtest/gtest.h>

#include "kernel/kernel.h"

namespace {

class ToolkitEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(VoKernel_Startup(GetModuleHandleW(nullptr), nullptr), 1); }
    void TearDown() override { VoKernel_Shutdown(GetModuleHandleW(nullptr), 0); }
};

::testing::Environment *const g_toolkit = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

}  // namespace
