// libFuzzer target: any bytes as a replay script. The run ends with a clear
// status and, on failure, exactly one short line on stderr; never a crash.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "tools/replay_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out, err;
    ReplayOptions options;
    options.frameLimit = 3;  // frames are the show target's business; keep runs short
    const int status = RunReplay(in, out, err, options);
    const std::string e = err.str();
    size_t lines = 0;
    for (char c : e) lines += c == '\n';
    const bool clear = status == 0 ? e.empty() : (status == 2 || status == 3) && lines == 1 && e.back() == '\n';
    if (!clear || e.size() > 200 || e.find('\0') != std::string::npos) __builtin_trap();
    return 0;
}
