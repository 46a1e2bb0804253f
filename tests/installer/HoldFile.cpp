// rwholdfile FILE SECONDS: holds FILE open for reading with no write sharing,
// as a virus scanner or a viewer might, so that no other program can write
// it. Prints "held" once it holds the file, and lets go after SECONDS (or
// when ended sooner).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: rwholdfile FILE SECONDS\n");
        return 2;
    }
    HANDLE file =
        CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "rwholdfile: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
    CloseHandle(file);
    return 0;
}
