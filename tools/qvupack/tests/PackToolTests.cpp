// The packing program against the archive writer it wraps: what it reads from the folder and
// the script must come out as the writer's own archive of those files and lines.
#include <gtest/gtest.h>

#include <utility>

#include "FileOps.h"
#include "Programs.h"
#include "QVUPacker.h"
#include "TempFolder.h"

namespace {

// The script in UTF-16 of the byte order, with its mark.
Bytes Utf16Script(const std::string& text, bool bigEndian)
{
    Bytes bytes = Utf16(L"\uFEFF" + std::wstring(text.begin(), text.end()));
    for (size_t i = 0; bigEndian && i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

} // namespace

// Every file below the folder, files before subfolders; every line end becomes the CR that the
// reader splits at. A script the reader would read otherwise is refused, and so is a folder
// that cannot be installed; a refusal leaves no archive.
TEST(PackTool, PacksFolderAndScriptAsTheWriterDoesOrRefuses)
{
    const std::vector<QVUPackEntry> files = {{L"a.txt", Ansi("alpha")}, {L"sub\\b.bin", Bytes(4000, 9)}};
    const std::string script = "TYPE=Updater\r\nOS = win32\r\n\r\nBUILD=b7\n";
    const struct {
        const char* what;
        std::vector<QVUPackEntry> files;
        Bytes script;
        bool packed;
    } cases[] = {
        {"UTF-8 without a mark", files, Ansi(script), true},
        {"UTF-8 with its mark", files, Ansi("\xEF\xBB\xBF" + script), true},
        {"UTF-16 little-endian", files, Utf16Script(script, false), true},
        {"UTF-16 big-endian", files, Utf16Script(script, true), true},
        {"a key the reader does not know", files, Ansi("TYPE=UPDATER\nTPYE=UPDATER\n"), false},
        {"an empty script", files, Ansi(" \r\n"), false},
        {"bytes that are not UTF-8", files, Bytes{'O', 'S', '=', 0xC3, 0x28}, false},
        {"no files", {}, Ansi(script), false},
        {"a name that a left-over .old would collide with", {files[0], {L"a.txt.old", Ansi("b")}}, Ansi(script), false},
    };
    const QVUBytes expected = PackArchive(files, L"TYPE=Updater\rOS = win32\r\rBUILD=b7\r");
    for (const auto& c : cases) {
        TempFolder temp;
        const std::wstring source = temp.Path() + L"source";
        CreateDirectoryW(source.c_str(), nullptr);
        CreateDirectoryW((source + L"\\sub").c_str(), nullptr);
        for (const QVUPackEntry& file : c.files)
            ASSERT_TRUE(WriteWholeFile(gCString((source + L"\\" + file.name).c_str()), file.data));
        ASSERT_TRUE(WriteWholeFile(temp.File(L"script.txt"), c.script));
        const gCString archive = temp.File(L"out.qvu");
        EXPECT_EQ(RunProgram(L"\"" + ProgramFolder() + L"qvupack.exe\" \"" + source + L"\" \"" +
                             temp.File(L"script.txt").Text() + L"\" \"" + archive.Text() + L"\""),
                  c.packed ? 0u : 1u)
            << c.what;
        EXPECT_EQ(ReadWholeFile(archive), c.packed ? expected : Bytes()) << c.what;
        EXPECT_EQ(FileTextExists(archive), c.packed) << c.what;
    }
}
