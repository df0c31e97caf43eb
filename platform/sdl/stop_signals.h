// SIGTERM and SIGINT as a request to end: a flag and a pipe that becomes
// readable, so a wait on file descriptors wakes at once.
#pragma once

// Installs the handlers; returns the pipe's read end, or -1.
int WatchStopSignals();
bool StopRequested();
