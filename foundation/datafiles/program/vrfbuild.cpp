// vrfbuild <source.txt> <file.vrf>: writes a resource file from its text source (see
// CVrfSource.h). Paths are Windows paths; exit code 0 on success, 1 on any failure.
#include "CVrfSource.h"
#include "SourceFile.h"

int wmain(int argc, wchar_t** argv)
{
    CVrfSource source;
    CResourceFileWriter writer;
    return CompileSourceFile(L"vrfbuild", L"file.vrf", argc, argv, source, writer);
}
