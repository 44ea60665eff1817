// The packing program against the archive writer it wraps: what it reads from the folder and
// the script must come out as the writer's own archive of those files and lines.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Programs.h"
#include "QVUPacker.h"
#include "TempFolder.h"

namespace {

Bytes Text8(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Utf16Script(const std::wstring& text, bool bigEndian)
{
    Bytes bytes;
    for (wchar_t c : L"\uFEFF" + text) {
        const uint8_t low = static_cast<uint8_t>(c);
        const uint8_t high = static_cast<uint8_t>(c >> 8);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    }
    return bytes;
}

// A source folder with the files, a script with the bytes, and the program run on both.
struct PackRun {
    explicit PackRun(const std::vector<QVUPackEntry>& files, const Bytes& script)
    {
        const std::wstring source = temp.Path() + L"source\\";
        CreateDirectoryW(source.c_str(), nullptr);
        for (const QVUPackEntry& file : files) {
            const size_t folder = file.name.find_last_of(L'\\');
            if (folder != std::wstring::npos)
                CreateDirectoryW((source + file.name.substr(0, folder)).c_str(), nullptr);
            EXPECT_TRUE(WriteWholeFile(gCString((source + file.name).c_str()), file.data));
        }
        EXPECT_TRUE(WriteWholeFile(temp.File(L"script.txt"), script));
        archive = temp.File(L"out.qvu");
        exitCode = RunProgram(L"\"" + ProgramFolder() + L"qvupack.exe\" \"" + source.substr(0, source.size() - 1) +
                              L"\" \"" + temp.File(L"script.txt").Text() + L"\" \"" + archive.Text() + L"\"");
    }
    bool ArchiveExists() const { return GetFileAttributesW(archive.Text()) != INVALID_FILE_ATTRIBUTES; }

    TempFolder temp;
    gCString archive;
    DWORD exitCode = kProgramNotStarted;
};

} // namespace

TEST(PackTool, PacksEveryFileBelowTheFolderFilesBeforeSubfolders)
{
    const std::vector<QVUPackEntry> files = {{L"a.txt", Text8("alpha")}, {L"sub\\b.bin", Bytes(4000, 9)}};
    PackRun run(files, Text8("OS=win32\nFILENAME=demo\n"));
    ASSERT_EQ(run.exitCode, 0u);
    EXPECT_EQ(ReadWholeFile(run.archive), PackArchive(files, L"OS=win32\rFILENAME=demo\r"));
}

TEST(PackTool, ReadsScriptsWithEveryMarkAndRefusesLinesTheReaderWouldLose)
{
    const std::wstring script = L"TYPE=Updater\r\nOS = win32\r\n\r\nBUILD=b7\r\n";
    const Bytes utf8 = Text8("TYPE=Updater\r\nOS = win32\r\n\r\nBUILD=b7\r\n");
    Bytes utf8Marked = {0xEF, 0xBB, 0xBF};
    utf8Marked.insert(utf8Marked.end(), utf8.begin(), utf8.end());
    const std::vector<QVUPackEntry> files = {{L"a.txt", Text8("alpha")}};
    const struct {
        const char* what;
        Bytes script;
        bool packed;
    } cases[] = {
        {"UTF-8 without a mark", utf8, true},
        {"UTF-8 with its mark", utf8Marked, true},
        {"UTF-16 little-endian", Utf16Script(script, false), true},
        {"UTF-16 big-endian", Utf16Script(script, true), true},
        {"a key the reader does not know", Text8("TYPE=UPDATER\nTPYE=UPDATER\n"), false},
        {"a line without a key", Text8("OS=WIN32\n=UPDATER\n"), false},
        {"an empty script", Text8(" \r\n"), false},
        {"bytes that are not UTF-8", Bytes{'O', 'S', '=', 0xC3, 0x28}, false},
    };
    // Every line end becomes the CR that the reader splits at.
    const QVUBytes expected = PackArchive(files, L"TYPE=Updater\rOS = win32\r\rBUILD=b7\r");
    for (const auto& c : cases) {
        PackRun run(files, c.script);
        EXPECT_EQ(run.exitCode, c.packed ? 0u : 1u) << c.what;
        if (c.packed)
            EXPECT_EQ(ReadWholeFile(run.archive), expected) << c.what;
        else
            EXPECT_FALSE(run.ArchiveExists()) << c.what;
    }
}

TEST(PackTool, RefusesAFolderWithoutFilesOrANameThatCannotBeInstalled)
{
    const struct {
        const char* what;
        std::vector<QVUPackEntry> files;
    } cases[] = {
        {"no files", {}},
        {"a name that a left-over .old would collide with", {{L"a.txt", Text8("a")}, {L"a.txt.old", Text8("b")}}},
    };
    for (const auto& c : cases) {
        PackRun run(c.files, Text8("OS=win32\n"));
        EXPECT_EQ(run.exitCode, 1u) << c.what;
        EXPECT_FALSE(run.ArchiveExists()) << c.what;
    }
}
