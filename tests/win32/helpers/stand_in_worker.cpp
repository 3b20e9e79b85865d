// A stand-in analysis worker: records the command line it was started with and the
// directory it was started in, then ends.
#include <windows.h>

#include <cstdio>

int main() {
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    FILE* file = std::fopen("worker_started.txt", "wb");
    if (file == nullptr) {
        return 1;
    }
    std::fprintf(file, "%s\n%s\n", GetCommandLineA(), directory);
    std::fclose(file);
    return 0;
}
