#include "RwCfg.h"

#include <iostream>

#ifdef _WIN32
#include "app/ConfigLocation.h"
#include "records/WidePath.h"

#include <windows.h>

#include <fcntl.h>
#include <shellapi.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // The output is bytes (CSV lines already end in CR LF).
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
#ifdef _WIN32
    // File names go on in UTF-8, as every path in the program does: the
    // ANSI arguments have already lost what the code page lacks.
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        args.clear();
        for (int i = 1; i < count; ++i)
            args.push_back(rw::Utf8Path(wide[i]));
        LocalFree(wide);
    }
#endif
    auto fs = rw::CreateSystemFileSystem();
#ifdef _WIN32
    // The file the program beside this tool uses: the same decision, so an
    // installed copy's file in application data is found too. Looked for
    // only when no file is named: the decision may create the application
    // data folder or take over an old file, which a command on a named file
    // must not do.
    const rw::CConfigLocation::Result location =
        rw::rwcfg::NamesItsFile(args) ? rw::CConfigLocation::Result{} : rw::ResolveConfigLocation();
    const std::string defaultPath = rw::rwcfg::NamesItsFile(args) ? std::string() : location.path;
    // An installed copy never writes beside itself, and neither does its tool.
    if (!location.canSave && !args.empty() && args[0] == "import-csv") {
        std::cerr << "rwcfg: the application data folder cannot be used, and " << defaultPath
                  << " beside the installed program is never written; name a FILE\n";
        return 1;
    }
#else
    const std::string defaultPath;
#endif
    return rw::rwcfg::Run(args, std::cout, std::cerr, *fs, defaultPath);
}
