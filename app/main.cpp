// kinrec: turns body-worn inertial sensor recordings into DSV feature tables.
#include "app/Convert.h"
#include "app/ConvertDirectory.h"
#include "app/DsvConfig.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::printf("Usage: kinrec <csv_file> [<dsv_file>]\n");
        std::printf("       kinrec <file_selector>\n");
        std::printf("       kinrec -r [<file_selector>]\n");
        return 1;
    }
    DsvConfig cfg;
    InitConfig(&cfg);
    LoadConfig(&cfg);

    const bool recursive = std::strcmp(argv[1], "-r") == 0;
    if (argc == 2) {
        if (recursive) {
            ConvertDirectory(".", nullptr, true, &cfg);
        } else if (ConvertFile(argv[1], nullptr, &cfg) < 0) {
            ConvertDirectory(".", argv[1], false, &cfg);
        }
    } else if (recursive) {
        ConvertDirectory(".", argv[2], true, &cfg);
    } else {
        ConvertFile(argv[1], argv[2], &cfg);
    }
    return 0;
}
