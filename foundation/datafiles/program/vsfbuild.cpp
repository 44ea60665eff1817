// vsfbuild <source.txt> <table.vsf>: writes a string table from its text source (see
// CVsfSource.h). Paths are Windows paths; exit code 0 on success, 1 on any failure.
#include <cstdio>
#include <cwchar>

#include "CVsfSource.h"
#include "SourceFile.h"

namespace {

int Fail(const wchar_t* what, const gCString& detail)
{
    std::fwprintf(stderr, L"vsfbuild: %ls%ls\n", what, detail.Text());
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: vsfbuild <source.txt> <table.vsf>\n");
        return 1;
    }
    gCString sourcePath(argv[1]), tablePath(argv[2]);
    gCMemFile bytes;
    if (ReadSourceFile(sourcePath, bytes) != 0)
        return Fail(L"cannot read ", sourcePath);
    CVsfSource parser;
    CStringTableWriter writer;
    if (parser.Parse(reinterpret_cast<const char*>(bytes.GetData()), static_cast<int32_t>(bytes.GetSize()), writer) !=
        0)
        return Fail(L"", gCString::Concat(gCString::Concat(sourcePath, gCString(L", ")), parser.GetError()));
    if (writer.SaveAs(tablePath) != 0)
        return Fail(L"cannot write ", tablePath);
    std::fwprintf(stdout, L"vsfbuild: %d records written to %ls\n", parser.GetRecordCount(), tablePath.Text());
    return 0;
}
