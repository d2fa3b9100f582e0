// gdi_diff [SECTION [dump]]: runs the drawing script (every section, or the one named) and prints
// one line per case, "name hash", then "cases N" to standard error. With dump, each line also
// holds the case's bytes in hexadecimal.
#include <cstdio>
#include <cstring>

#include "gdidiff.h"

int main(int argc, char** argv) {
    using namespace gdidiff;
    struct Section {
        const char* name;
        void (*run)(TCaseLog&);
    };
    const Section sections[] = {{"blit", BlitCases}, {"stretch", StretchCases}, {"fill", FillCases},
                                {"dib", DibCases},   {"palette", PaletteCases}, {"line", LineCases}};
    TCaseLog log;
    log.Dump(argc > 2 && std::strcmp(argv[2], "dump") == 0);
    for (const Section& s : sections)
        if (argc < 2 || std::strcmp(argv[1], s.name) == 0) s.run(log);
    std::fprintf(stderr, "cases %d\n", log.Count());
    return 0;
}
