// vandrel_record_holder: serves a fixed record in /vandrel_share-UID until SIGTERM or SIGINT,
// for the Linux end-to-end tests: the saver's screenshot of it is compared with the
// snapshot command's rendering of the same file. Like a worker, it sets the file's flags
// again whenever a saver attaches, since a fresh dashboard draws only what is flagged.
//   vandrel_record_holder RECORD.bin [--size BYTES]
// --size cuts the object to BYTES after writing it (a record too short for the saver).
// Exit codes: 0 ended by a signal, 1 bad arguments or unreadable file, 2 another worker
// holds the record, 3 the object could not be made.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "record/posix_share.h"
#include "record/shared_status.h"

using namespace vandrel;

namespace {

volatile sig_atomic_t quit = 0;

void onSignal(int) {
    quit = 1;
}

// Puts the file's value back into every flag.
void reflag(SharedStatus status, const unsigned char* file) {
    const auto put = [&](size_t offset) {
        int32_t v;
        std::memcpy(&v, file + offset, sizeof v);
        status.storeI32(offset, v);
    };
    for (size_t flag : rec::partFlags) {
        put(flag);
    }
    for (int32_t row = 0; row < rec::plotRowCapacity; ++row) {
        put(rec::plotRowDirty(row));
    }
}

}  // namespace

int main(int argc, char** argv) {
    long size = -1;
    if (argc == 4 && std::strcmp(argv[2], "--size") == 0) {
        size = std::strtol(argv[3], nullptr, 10);
    }
    if ((argc != 2 && argc != 4) || (argc == 4 && (size < 0 || size >= long(rec::recordSize)))) {
        std::fprintf(stderr, "usage: vandrel_record_holder RECORD.bin [--size BYTES]\n");
        return 1;
    }
    static unsigned char bytes[rec::recordSize];
    std::FILE* f = std::fopen(argv[1], "rb");
    const bool read = f != nullptr && std::fread(bytes, 1, sizeof bytes, f) == sizeof bytes;
    if (f != nullptr) {
        std::fclose(f);
    }
    if (!read) {
        std::fprintf(stderr, "vandrel_record_holder: cannot read a record from %s\n", argv[1]);
        return 1;
    }
    // Blocked until the wait, so a signal that comes early is not lost.
    sigset_t quitSignals, others;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGTERM);
    sigaddset(&quitSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &quitSignals, &others);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    PosixShare share;
    bool alreadyRunning = false;
    if (!createShare(share, &alreadyRunning)) {
        std::fprintf(stderr, "vandrel_record_holder: cannot create the record\n");
        return alreadyRunning ? 2 : 3;
    }
    std::memcpy(share.view, bytes, sizeof bytes);
    if (size >= 0 && ftruncate(share.fd, size) != 0) {
        std::perror("vandrel_record_holder: ftruncate");
    }
    if (size >= 0) {
        // The cut object is never touched again: its mapping ends before the flags.
        while (quit == 0) {
            sigsuspend(&others);
        }
    } else {
        sigprocmask(SIG_SETMASK, &others, nullptr);
        const SharedStatus status(share.view);
        bool attached = false;
        while (quit == 0) {
            const bool now = status.loadI32(rec::saverAttached) != 0;
            if (now && !attached) {
                // Later than the saver's first full copy, so the parts come as updates,
                // several to a tick, as from a worker.
                usleep(500000);
                reflag(status, bytes);
            }
            attached = now;
            usleep(10000);
        }
    }
    removeShare();
    closeShare(share);
    return 0;
}
