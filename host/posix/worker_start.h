#pragma once

namespace vandrel {

// Starts the worker at path with "-min" in a session of its own, so it outlives the saver
// and the daemon's signals to the saver's process group. It starts with every signal at
// its default disposition and none blocked, whatever the saver ignores or blocks, with
// /dev/null for its standard streams and no other descriptor of the saver's. Never waits
// for the worker or the child between: whether the exec worked is learnt later, by
// reportWorkerStart. Nothing happens for an empty path.
void startWorker(const char* path);

// Never waits: reaps the child between, and once the latest start is known to have
// failed, says so on standard error, one line naming the program and the reason.
void reportWorkerStart();

}  // namespace vandrel
