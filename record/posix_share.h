#pragma once
#include <cstddef>

// The worker's record as a POSIX shared-memory object, the Linux home of what Windows
// keeps in the named file mapping "vandrel_share": the same bytes, the same layout.
namespace vandrel {

inline constexpr char kPosixShareName[] = "/vandrel_share";

struct PosixShare {
    void* view = nullptr;
    size_t size = 0;
    int fd = -1;
    int lockFd = -1;  // the worker's lock; -1 on the saver's side
};

// The saver's side: opens the existing object read-write and maps it. An object smaller
// than the record is treated as missing, as a short mapping is on Windows, and so is one
// owned by another user than this process's or root: anyone may create the name first,
// and their texts must not appear on someone else's screen. *foreignOwner, when given,
// is that owner's uid, else -1. False, with nothing held, when the object is missing,
// foreign or cannot be mapped.
//
// Unlike a Windows mapping, the object can be shrunk by another process while it is
// mapped, and a read past its new end raises SIGBUS. The saver's mapping is guarded: on
// such a fault the view is replaced by zero-filled private memory (so the read that
// faulted, and every later one, sees zeros) and shareLost() turns true. One share is
// guarded at a time; the guard lasts until closeShare.
bool openShare(PosixShare& share, const char* name = kPosixShareName, long* foreignOwner = nullptr);

// True when the object share maps is no longer the one its name stands for: removed
// (a worker that ended), or replaced by a newer worker's object. A check of a second's
// clock: one open and two stats.
bool shareReplaced(const PosixShare& share, const char* name = kPosixShareName);

// True once the guarded share was shrunk under its view.
bool shareLost();

// The worker's side: takes the workers' lock (an advisory lock on a second object, name
// plus ".lock", held while the share is open), then replaces whatever object a crashed
// worker left by a fresh one of the record's size, zero-filled and mapped. A saver still
// mapping the old object keeps its memory: nothing shrinks under it. False when another
// worker holds the lock (*alreadyRunning set) or anything fails; nothing is held then.
bool createShare(PosixShare& share, bool* alreadyRunning, const char* name = kPosixShareName);

// Unmaps and closes, letting go of the lock. Safe on a share never opened.
void closeShare(PosixShare& share);

// Removes the object's name; mappings still open stay valid until closed.
void removeShare(const char* name = kPosixShareName);

}  // namespace vandrel
