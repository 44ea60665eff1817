// Packs about 100 MB in about 1,000 files, then measures the decoder against memcpy on the
// same output and the installer's files per second (a fresh installation, then a replacing
// one). Prints figures; asserts nothing.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "CQVUCompressor.h"
#include "CQVUDesquasher.h"
#include "FakeHost.h"
#include "QVUPacker.h"
#include "RecordingHost.h"
#include "TempFolder.h"
#include "gCFile.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Half the files read like text (compressible), half are noise.
std::vector<QVUPackEntry> MakeFiles(int count, size_t& total)
{
    static const char* words[] = {"brush ", "layer ",   "canvas ",  "pressure ", "stroke ", "palette ",
                                  "blend ", "opacity ", "texture ", "pixel ",    "\r\n"};
    std::mt19937 rng(7);
    std::vector<QVUPackEntry> files;
    total = 0;
    for (int i = 0; i < count; ++i) {
        QVUPackEntry e;
        wchar_t name[64];
        swprintf(name, 64, L"d%02d\\%04d.dat", i % 20, i); // the file table holds 65,536 bytes
        e.name = name;
        size_t size = 20000 + rng() % 160000;
        e.data.reserve(size);
        if (i % 2 == 0) {
            while (e.data.size() < size) {
                const char* w = words[rng() % 11];
                e.data.insert(e.data.end(), w, w + strlen(w));
            }
            e.data.resize(size);
        } else {
            for (size_t k = 0; k < size; ++k)
                e.data.push_back(static_cast<uint8_t>(rng()));
        }
        total += size;
        files.push_back(std::move(e));
    }
    return files;
}

double InstallOnce(const std::wstring& archivePath, int& result)
{
    RecordingHost host;
    CQVUDesquasher desquasher(host);
    gCFile archive;
    if (archive.OpenFullPath(gCString(archivePath.c_str()), kAccessRead) != 0) {
        result = -1;
        return 0;
    }
    double start = Now();
    result = desquasher.DesquashAndInstall(archive);
    double seconds = Now() - start;
    if (result != 0 && !host.events.empty())
        std::printf("last line: %ls\n", host.events.back().text.c_str());
    return seconds;
}

} // namespace

int wmain()
{
    const int fileCount = 1000;
    size_t total = 0;
    std::vector<QVUPackEntry> files = MakeFiles(fileCount, total);
    double t0 = Now();
    QVUBytes stream = BuildArchiveStream(files, L"OS=WIN32\rTYPE=full");
    QVUBytes block = CompressBlock(stream.data(), stream.size());
    QVUBytes archive = WrapContainer(block);
    double packSeconds = Now() - t0;
    std::printf("archive: %d files, %.1f MB unpacked, %.1f MB packed (packing took %.2f s)\n", fileCount,
                stream.size() / 1e6, archive.size() / 1e6, packSeconds);

    CMemBlockT<char> input;
    if (input.Resize(static_cast<int32_t>(block.size())) != kOk) {
        std::printf("no memory for the archive\n");
        return 1;
    }
    input.CopyFrom(reinterpret_cast<const char*>(block.data()), static_cast<int32_t>(block.size()));
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        CMemBlockT<char> output;
        double start = Now();
        gCResult r = CQVUCompressor().Decompress(input, output);
        double seconds = Now() - start;
        if (r != 0 || output.Count() != static_cast<int32_t>(stream.size()) ||
            std::memcmp(output.Data(), stream.data(), stream.size()) != 0) {
            std::printf("decoder output differs\n");
            return 1;
        }
        best = seconds < best ? seconds : best;
    }
    QVUBytes copy(stream.size());
    double bestCopy = 1e9;
    for (int round = 0; round < 3; ++round) {
        double start = Now();
        std::memcpy(copy.data(), stream.data(), stream.size());
        double seconds = Now() - start;
        bestCopy = seconds < bestCopy ? seconds : bestCopy;
    }
    std::printf("decoder: %.0f MB/s; memcpy on the same data: %.0f MB/s\n", stream.size() / 1e6 / best,
                stream.size() / 1e6 / bestCopy);

    TempFolder temp;
    const std::wstring& root = temp.Path();
    std::wstring install = root + L"install\\";
    CreateDirectoryW(install.c_str(), nullptr);
    std::wstring archivePath = root + L"update.qvu";
    if (!WriteWholeFile(gCString(archivePath.c_str()), archive)) {
        std::printf("cannot write the archive\n");
        return 1;
    }
    FakeHost app;
    app.secondFolder = gCString(install.c_str());
    app.programFolder = gCString(root.c_str());
    int fresh = 0;
    int replacing = 0;
    double freshSeconds = InstallOnce(archivePath, fresh);
    double replacingSeconds = InstallOnce(archivePath, replacing);
    if (fresh != 0 || replacing != 0) {
        std::printf("installation failed: %d, %d\n", fresh, replacing);
        return 1;
    }
    std::printf("installer (unpacking included): fresh %.2f s, %.0f files/s; replacing %.2f s, %.0f files/s\n",
                freshSeconds, fileCount / freshSeconds, replacingSeconds, fileCount / replacingSeconds);
    return 0;
}
