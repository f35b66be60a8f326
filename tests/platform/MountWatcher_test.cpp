#include <gtest/gtest.h>

#include "platform/MountWatcher.h"
#include "support/LoopFileSystem.h"
#include "support/TempDir.h"

using vk::platform::MountWatcher;

TEST(MountWatcher, ReportsAMountAndAnUnmountOnceEach) {
    vk::test::ScopedEnv real("VANDRELKAST_DRIVES", nullptr);
    MountWatcher watcher;
    EXPECT_TRUE(watcher.changed());  // the first question always looks
    EXPECT_FALSE(watcher.changed());
    {
        vk::test::LoopFileSystem stick(vk::test::LoopFileSystem::Kind::Ntfs);
        if (!stick.mounted()) GTEST_SKIP() << stick.skipReason();
        EXPECT_TRUE(watcher.changed());
        EXPECT_FALSE(watcher.changed());
    }
    EXPECT_TRUE(watcher.changed());
}

TEST(MountWatcher, ASimulatedDriveListAlwaysCountsAsChanged) {
    vk::test::ScopedEnv simulated("VANDRELKAST_DRIVES", "/media/x|1|1");
    MountWatcher watcher;
    EXPECT_TRUE(watcher.changed());
    EXPECT_TRUE(watcher.changed());
}
