// The record's POSIX home: one worker at a time, a stale object replaced, a short object
// treated as missing, and a saver that survives the object shrinking under its view.
#include "record/posix_share.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "record/shared_status.h"

namespace vandrel {
namespace {

// A name of this test's own, so a real worker on the machine is left alone.
const std::string kName = "/vandrel_test_" + std::to_string(getpid());

TEST(PosixShare, WorkersSaversShortAndShrunkObjects) {
    PosixShare worker, second, saver;
    bool running = false;
    ASSERT_FALSE(openShare(saver, kName.c_str()));  // nothing yet
    ASSERT_TRUE(createShare(worker, &running, kName.c_str()));
    EXPECT_FALSE(running);
    EXPECT_FALSE(createShare(second, &running, kName.c_str()));
    EXPECT_TRUE(running);

    ASSERT_TRUE(openShare(saver, kName.c_str()));
    SharedStatus(worker.view).storeI32(rec::unitsCompleted, 42);
    EXPECT_EQ(SharedStatus(saver.view).loadI32(rec::unitsCompleted), 42);
    EXPECT_FALSE(shareLost());

    // Shrunk under the saver's view: the read past the new end sees zeros, no signal.
    ASSERT_EQ(ftruncate(worker.fd, 4096), 0);
    EXPECT_EQ(SharedStatus(saver.view).loadI32(rec::plotRow(100)), 0);
    EXPECT_TRUE(shareLost());
    closeShare(saver);

    // Too short from the start: missing.
    EXPECT_FALSE(openShare(saver, kName.c_str()));
    ASSERT_EQ(ftruncate(worker.fd, static_cast<off_t>(rec::recordSize) - 1), 0);
    EXPECT_FALSE(openShare(saver, kName.c_str()));

    // A worker that ends lets the next one take over with a fresh, zeroed object.
    closeShare(worker);
    ASSERT_TRUE(createShare(second, &running, kName.c_str()));
    ASSERT_TRUE(openShare(saver, kName.c_str()));
    EXPECT_EQ(SharedStatus(saver.view).loadI32(rec::unitsCompleted), 0);
    closeShare(saver);
    closeShare(second);
    removeShare(kName.c_str());
    shm_unlink((kName + ".lock").c_str());
    EXPECT_FALSE(openShare(saver, kName.c_str()));
}

}  // namespace
}  // namespace vandrel
