// vrfbuild <source.txt> <file.vrf>: writes a resource file from its text source (see
// CVrfSource.h); the files that the source names without a folder lie beside it. Paths are
// Windows paths; exit code 0 on success, 1 on any failure.
#include "CVrfSource.h"
#include "SourceFile.h"

int wmain(int argc, wchar_t** argv)
{
    CVrfSource source;
    if (argc > 1)
        source.SetSourcePath(gCString(argv[1]));
    CResourceFileWriter writer;
    return CompileSourceFile(L"vrfbuild", L"file.vrf", argc, argv, source, writer);
}
