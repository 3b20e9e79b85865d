#pragma once

namespace vandrel {

// Starts the worker at path with "-min" in a session of its own, so it outlives the saver
// and the daemon's signals to the saver's process group. It starts with every signal at
// its default disposition and none blocked, whatever the saver ignores or blocks, and
// with /dev/null for its standard streams. The middle child ends at once, so no zombie
// is left behind. Nothing happens for an empty path.
void startWorker(const char* path);

}  // namespace vandrel
