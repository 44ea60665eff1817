// The command line that both data-file compilers share: read the text source whole, parse it
// into the writer, save the writer's file.
#pragma once
#include <cstdio>
#include <cwchar>

#include "gCMemFile.h"
#include "gCString.h"

// 0 with every byte of the file in bytes; otherwise the code of the open or read that failed.
gCResult ReadSourceFile(const gCString& path, gCMemFile& bytes);

// Runs `<tool> <source.txt> <output>`: 0, or 1 after a line on stderr that says what failed.
template <class Source, class Writer>
int CompileSourceFile(const wchar_t* tool, const wchar_t* outputName, int argc, wchar_t** argv, Source& source,
                      Writer& writer)
{
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: %ls <source.txt> <%ls>\n", tool, outputName);
        return 1;
    }
    const gCString sourcePath(argv[1]), outPath(argv[2]);
    gCMemFile bytes;
    if (ReadSourceFile(sourcePath, bytes) != kOk) {
        std::fwprintf(stderr, L"%ls: cannot read %ls\n", tool, sourcePath.Text());
        return 1;
    }
    if (source.Parse(reinterpret_cast<const char*>(bytes.GetData()), static_cast<int32_t>(bytes.GetSize()), writer) !=
        kOk) {
        std::fwprintf(stderr, L"%ls: %ls, %ls\n", tool, sourcePath.Text(), source.GetError().Text());
        return 1;
    }
    if (writer.SaveAs(outPath) != kOk) {
        std::fwprintf(stderr, L"%ls: cannot write %ls\n", tool, outPath.Text());
        return 1;
    }
    return 0;
}
