// vrfbuild <source.txt> <file.vrf>: writes a resource file from its text source (see
// CVrfSource.h). Paths are Windows paths; exit code 0 on success, 1 on any failure.
#include <cstdio>
#include <cwchar>

#include "CVrfSource.h"
#include "gCFile.h"
#include "gCMemFile.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: vrfbuild <source.txt> <file.vrf>\n");
        return 1;
    }
    gCString sourcePath(argv[1]), outPath(argv[2]);
    gCFile source;
    gCMemFile bytes;
    if (source.OpenFullPath(sourcePath, kAccessRead) != 0) {
        std::fwprintf(stderr, L"vrfbuild: cannot open %ls\n", sourcePath.Text());
        return 1;
    }
    char piece[4096];
    for (;;) {
        uint32_t got = 0;
        if (source.ReadUpTo(piece, sizeof piece, got) != 0 || (got && bytes.WriteBytes(piece, got) != 0)) {
            std::fwprintf(stderr, L"vrfbuild: cannot read %ls\n", sourcePath.Text());
            return 1;
        }
        if (got == 0)
            break;
    }
    CVrfSource parser;
    CResourceFileWriter writer;
    if (parser.Parse(reinterpret_cast<const char*>(bytes.GetData()), static_cast<int32_t>(bytes.GetSize()), writer) !=
        0) {
        std::fwprintf(stderr, L"vrfbuild: %ls, %ls\n", sourcePath.Text(), parser.GetError().Text());
        return 1;
    }
    if (writer.SaveAs(outPath) != 0) {
        std::fwprintf(stderr, L"vrfbuild: cannot write %ls\n", outPath.Text());
        return 1;
    }
    return 0;
}
