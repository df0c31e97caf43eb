// starvane-replay [SCRIPT]: the deterministic harness; reads standard input
// when no script is given.
#include <fstream>
#include <iostream>

#include "tools/replay_script.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // The same bytes as on every other system: no CR before each LF written,
    // none taken away from what is read.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    if (argc > 2) {
        std::cerr << "usage: starvane-replay [SCRIPT]\n";
        return 2;
    }
    if (argc == 2) {
        std::ifstream file(argv[1], std::ios::binary);
        if (!file) {
            std::cerr << "line 0: cannot open script " << QuoteWord(argv[1], 4096) << "\n";
            return 2;
        }
        return RunReplay(file, std::cout, std::cerr);
    }
    return RunReplay(std::cin, std::cout, std::cerr);
}
