// Writes the systemd unit for the program named by its one argument (an
// absolute file name) to standard output, as "TesmoApi /Install" writes it.
// "cmake --install" runs it for the installed folder, so that the folder's
// name is escaped as systemd reads it, whatever it holds.
#include <cstdio>
#include <string>

#include "service/ServiceUnit.h"

int main(int argc, char** argv) {
    std::string unit;
    if (argc != 2 || !FormatServiceUnit(argv[1], kServiceUser, &unit)) {
        fprintf(stderr, "usage: TesmoApiServiceUnit /absolute/path/of/TesmoApi\n");
        return 1;
    }
    fputs(unit.c_str(), stdout);
    return 0;
}
