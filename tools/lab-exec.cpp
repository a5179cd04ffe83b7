// lab-exec PROGRAM [ARGS]: runs PROGRAM only inside a lab network namespace,
// for programs that carry no guard of their own (a Windows program under
// Wine). Refuses with status 3 anywhere else.
#include "tools/labguard.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: lab-exec PROGRAM [ARGS]\n");
        return 2;
    }
    RequireLabNamespace("lab-exec");
    execvp(argv[1], argv + 1);
    std::fprintf(stderr, "lab-exec: %s: %s\n", argv[1], std::strerror(errno));
    return 127;
}
