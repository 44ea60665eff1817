// vrfbuild <source.txt> <file.vrf>: writes a resource file from its text source (see
// CVrfSource.h). Paths are Windows paths; exit code 0 on success, 1 on any failure.
#include <cstdio>
#include <cwchar>

#include "CVrfSource.h"
#include "SourceFile.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: vrfbuild <source.txt> <file.vrf>\n");
        return 1;
    }
    gCString sourcePath(argv[1]), outPath(argv[2]);
    gCMemFile bytes;
    if (ReadSourceFile(sourcePath, bytes) != 0) {
        std::fwprintf(stderr, L"vrfbuild: cannot read %ls\n", sourcePath.Text());
        return 1;
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
