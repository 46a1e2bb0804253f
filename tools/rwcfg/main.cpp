#include "RwCfg.h"

#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // The output is bytes (CSV lines already end in CR LF).
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    auto fs = rw::CreateSystemFileSystem();
    return rw::rwcfg::Run(args, std::cout, std::cerr, *fs);
}
