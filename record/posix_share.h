#pragma once
#include <cstddef>

// The worker's record as a POSIX shared-memory object, the Linux home of what Windows
// keeps in the named file mapping "vandrel_share": the same bytes, the same layout.
//
// Windows keeps that name in the user's own session; /dev/shm is one namespace for every
// local user, so here the name carries the user's numeric id, "/vandrel_share-UID", and
// every object beside it (the worker's lock, the savers' locks) is named after it. Anyone
// can still create a name first, so no object is used unless it is a regular object
// owned by this user that no one else may write.
namespace vandrel {

// This user's record name, "/vandrel_share-UID" (getuid()).
const char* posixShareName();

// Why an object was left alone: one line without a newline, empty when it was simply
// missing.
struct Refusal {
    char text[200] = "";
};

// Opens the shared-memory object name (creating it mode 0600 when flags hold O_CREAT),
// never following a link and never blocking, close-on-exec. -1 unless it is a regular
// object owned by this user and writable by no one else; why, when given, says then what
// was wrong.
int openOwnObject(const char* name, int flags, Refusal* why = nullptr);

// name plus suffix into out; false when it does not fit.
bool objectName(char* out, size_t size, const char* name, const char* suffix);

struct PosixShare {
    void* view = nullptr;
    size_t size = 0;
    int fd = -1;
    int lockFd = -1;  // the worker's lock; -1 on the saver's side
};

// True while a worker holds the exclusive flock on name's ".lock" object. Never waits:
// a saver asks once a second. A lock object that is missing or not this user's counts as
// free (why says so for the latter).
bool workerRuns(const char* name = posixShareName(), Refusal* why = nullptr);

// The saver's side: opens the existing object read-write and maps it. An object smaller
// than the record is treated as missing, as a short mapping is on Windows, and so is one
// that is not this user's own (see openOwnObject), or one whose worker no longer runs
// (a killed worker leaves its record behind). False, with nothing held, then; why, when
// given, says why, unless the object is simply missing.
//
// Unlike a Windows mapping, the object can be shrunk by another process while it is
// mapped, and a read past its new end raises SIGBUS. The saver's mapping is guarded: on
// such a fault the view is replaced by zero-filled private memory (so the read that
// faulted, and every later one, sees zeros) and shareLost() turns true. One share is
// guarded at a time; the guard lasts until closeShare.
bool openShare(PosixShare& share, const char* name = posixShareName(), Refusal* why = nullptr);

// True when the object share maps is no longer the one its name stands for: removed
// (a worker that ended), or replaced by a newer worker's object. A check of a second's
// clock: one open and two stats.
bool shareReplaced(const PosixShare& share, const char* name = posixShareName());

// True once the guarded share was shrunk under its view.
bool shareLost();

// The worker's side: takes the workers' lock (an exclusive flock on a second object,
// name plus ".lock", held while the share is open), then replaces whatever object a
// crashed worker left by a fresh one of the record's size, mode 0600, zero-filled and
// mapped. A saver still mapping the old object keeps its memory: nothing shrinks under
// it. False when another worker holds the lock (*alreadyRunning set) or anything fails,
// why then saying what; nothing is held then.
bool createShare(PosixShare& share, bool* alreadyRunning, const char* name = posixShareName(),
                 Refusal* why = nullptr);

// Unmaps and closes, letting go of the lock. Safe on a share never opened.
void closeShare(PosixShare& share);

// Removes the object's name; mappings still open stay valid until closed.
void removeShare(const char* name = posixShareName());

}  // namespace vandrel
