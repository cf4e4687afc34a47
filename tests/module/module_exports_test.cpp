// The Linux module users get exports what the Windows one does and nothing
// more: the table lookup, not the stand-ins' test route, which only the
// test build these tests load carries.
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

TEST(LinuxModule, ExportsTheTableLookupAlone) {
    void* shipped = dlopen(ROZOVE_SHIPPED_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(shipped, nullptr) << dlerror();
    EXPECT_NE(dlsym(shipped, "GetOutputPluginTable"), nullptr);
    EXPECT_EQ(dlsym(shipped, "RouteStandInOutput"), nullptr);
    dlclose(shipped);
}

}  // namespace
