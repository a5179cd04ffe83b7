// in_lab CMD [ARGS]: runs CMD only inside a lab namespace (the lab guard);
// elsewhere it sends nothing and exits 77, which CTest counts as skipped.
#include "tools/labguard.h"

#include <unistd.h>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: in_lab CMD [ARGS]\n");
        return 2;
    }
    const std::string problem = LabNamespaceProblem();
    if (!problem.empty()) {
        std::fprintf(stderr, "in_lab: not inside a lab (%s); refusing\n", problem.c_str());
        return 77;
    }
    execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    return 127;
}
