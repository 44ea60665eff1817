// vsfbuild <source.txt> <table.vsf>: writes a string table from its text source (see
// CVsfSource.h). Paths are Windows paths; exit code 0 on success, 1 on any failure.
#include <cstdio>
#include <cwchar>

#include "CVsfSource.h"
#include "SourceFile.h"

int wmain(int argc, wchar_t** argv)
{
    CVsfSource source;
    CStringTableWriter writer;
    if (CompileSourceFile(L"vsfbuild", L"table.vsf", argc, argv, source, writer) != 0)
        return 1;
    std::fwprintf(stdout, L"vsfbuild: %d records written to %ls\n", source.GetRecordCount(), argv[2]);
    return 0;
}
