#pragma once

#include <sys/types.h>

// The MP3 files being written, each with the length it had after its last whole frame, so that a
// process that must end at once can cut them back to well-formed files. Safe in a signal
// handler: lock-free atomics and ftruncate only.
constexpr int OUTPUT_GUARD_SLOTS = 16;

// Returns a slot for the open file, or -1 when all are taken (the file is then not guarded).
int GuardOutput(int fd);
// The file's length is whole frames up to here.
void MarkWholeFrames(int slot, off_t length);
void ReleaseOutput(int slot);

// Cuts every guarded file back to its last whole frame.
void TruncateGuardedOutputs();
