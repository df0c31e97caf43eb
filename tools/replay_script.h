// The replay harness: runs the show's own start-up, window procedure and
// frame step on the headless platform, driven by a script, and prints what
// the script asks for.
#pragma once
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

class HeadlessPlatform;
struct Show;

struct ReplayOptions {
    // Frames the whole script may run; past it the run ends with status 3.
    // Negative: no limit. The fuzz target keeps its runs short with it.
    int64_t frameLimit = -1;
    // The platform to run on, for tests that look at it afterwards; a
    // private one (that keeps no call log) when null.
    HeadlessPlatform* platform = nullptr;
};

// Returns the process status: 0 after the script (or a quit), 2 for a bad
// line or a script that cannot be read, 1 when `out` cannot be written. Every
// failure is one line on `err`; the show is shut down on every path.
int RunReplay(std::istream& script, std::ostream& out, std::ostream& err, const ReplayOptions& options = {});

// A word from the input as error messages show it: in single quotes, at most
// `limit` bytes of it, bytes outside printable ASCII (and ' and \) escaped,
// followed by "..." when cut short.
std::string QuoteWord(const std::string& word, size_t limit = 32);

// What the `pool` and `state` commands print.
void PrintPool(const Show& show, std::ostream& out);
void PrintState(const Show& show, const HeadlessPlatform& platform, std::ostream& out);
