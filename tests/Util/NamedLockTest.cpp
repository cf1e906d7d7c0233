#include "Util/NamedLock.h"

#include <gtest/gtest.h>
#include <thread>

TEST(NamedLockThreads, ReentrantAndExclusiveBetweenThreads) {
    NamedLock lock(SharedString("Plugin::Transforming"));
    EXPECT_STREQ(lock.Name().Text(), "Plugin::Transforming");
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            LockHolder outer(lock);
            LockHolder inner(lock); // the holder may enter again
            ++counter;
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(counter, 40000);
}
