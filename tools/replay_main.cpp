// starvane-replay [SCRIPT]: the deterministic harness; reads standard input
// when no script is given.
#include <fstream>
#include <iostream>

#include "tools/replay_script.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    if (argc > 2) {
        std::cerr << "usage: starvane-replay [SCRIPT]\n";
        return 2;
    }
    if (argc == 2) {
        std::ifstream file(argv[1]);
        if (!file) {
            std::cerr << "line 0: cannot open script " << QuoteWord(argv[1], 4096) << "\n";
            return 2;
        }
        return RunReplay(file, std::cout, std::cerr);
    }
    return RunReplay(std::cin, std::cout, std::cerr);
}
