// The record's POSIX home: one worker at a time, a stale object replaced, a short object
// treated as missing, and a saver that survives the object shrinking under its view.
#include "record/posix_share.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
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

    // A worker that ends lets the next one take over with a fresh, zeroed object; until
    // then its record counts as missing.
    ASSERT_EQ(ftruncate(worker.fd, static_cast<off_t>(rec::recordSize)), 0);
    closeShare(worker);
    EXPECT_FALSE(workerRuns(kName.c_str()));
    EXPECT_FALSE(openShare(saver, kName.c_str()));
    ASSERT_TRUE(createShare(second, &running, kName.c_str()));
    ASSERT_TRUE(openShare(saver, kName.c_str()));
    EXPECT_EQ(SharedStatus(saver.view).loadI32(rec::unitsCompleted), 0);
    closeShare(saver);
    closeShare(second);
    removeShare(kName.c_str());
    shm_unlink((kName + ".lock").c_str());
    EXPECT_FALSE(openShare(saver, kName.c_str()));
}

// Only a regular object of this user's that no one else may write is used, never
// waiting on what stands in its place; each refusal says why.
TEST(PosixShare, RefusesWhatIsNotTheUsersOwnAlone) {
    const std::string path = "/dev/shm" + kName;
    const struct {
        std::function<int()> make;
        std::string why;
    } cases[] = {
        {[&] { return chmod(path.c_str(), 0620); }, " may be written by others (mode 620)"},
        {[&] { return chmod(path.c_str(), 0602); }, " may be written by others (mode 602)"},
        {[&] { return unlink(path.c_str()), mkfifo(path.c_str(), 0600); },
         " is not a regular object"},
        {[&] { return unlink(path.c_str()), symlink("/dev/null", path.c_str()); },
         " is a symbolic link"},
        // Another user of this user's group (as root; else only the group's write bit).
        {[&] { return (void)!chown(path.c_str(), 65534, getgid()), chmod(path.c_str(), 0660); },
         getuid() == 0 ? " belongs to user nobody (uid 65534), not to you"
                       : " may be written by others (mode 660)"},
    };
    for (const auto& c : cases) {
        PosixShare worker, saver;
        bool running = false;
        ASSERT_TRUE(createShare(worker, &running, kName.c_str()));
        ASSERT_EQ(c.make(), 0);
        Refusal why;
        EXPECT_FALSE(openShare(saver, kName.c_str(), &why));
        EXPECT_EQ(why.text, kName + c.why);
        closeShare(saver);
        closeShare(worker);
        unlink(path.c_str());
    }
    shm_unlink((kName + ".lock").c_str());
}

}  // namespace
}  // namespace vandrel
