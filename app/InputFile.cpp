#include "app/InputFile.h"

#include "app/Platform.h"

std::FILE* OpenInputFile(const char* path) {
    if (platform::IsDirectory(path)) {
        return nullptr;
    }
    return std::fopen(path, "rb");
}

void CloseInputFile(std::FILE* f) {
    (void)std::fclose(f); // read-only: see the header
}
