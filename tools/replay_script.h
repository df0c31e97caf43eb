// The replay harness: runs the show's own start-up, window procedure and
// frame step on the headless platform, driven by a script, and prints what
// the script asks for.
#pragma once
#include <istream>
#include <ostream>

// Returns the process status: 0 after the script (or a quit), 2 for a bad line.
int RunReplay(std::istream& script, std::ostream& out, std::ostream& err);
