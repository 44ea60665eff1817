#include "Workload.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

#include "TempFolder.h"

namespace {

const int kFileCount = 1100;
const int kFolderCount = 20;
const uint64_t kFileLimit = 80000000;

// The running program's own bytes stand in for the shared libraries of a real update.
Bytes MachineCode()
{
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    return ReadWholeFile(gCString(module));
}

size_t SizeOf(int i, double large, std::mt19937& rng)
{
    if (i % 110 == 55)
        return static_cast<size_t>((2000000 + rng() % 6000000) * large);
    if (i % 11 == 5)
        return 16000 + rng() % 240000;
    return 100 + rng() % 3900;
}

// A third of the files read like text, a third are noise, a third are slices of machine code.
void Fill(QVUBytes& data, size_t size, int kind, const Bytes& code, std::mt19937& rng)
{
    static const char* words[] = {"brush ", "layer ",   "canvas ",  "pressure ", "stroke ", "palette ",
                                  "blend ", "opacity ", "texture ", "pixel ",    "\r\n"};
    data.reserve(size);
    if (kind == 0) {
        while (data.size() < size) {
            const char* w = words[rng() % 11];
            data.insert(data.end(), w, w + std::strlen(w));
        }
        data.resize(size);
    } else if (kind == 1 || code.size() < size) {
        for (size_t k = 0; k < size; ++k)
            data.push_back(static_cast<uint8_t>(rng()));
    } else {
        const size_t from = rng() % (code.size() - size + 1);
        data.assign(code.begin() + from, code.begin() + from + size);
    }
}

} // namespace

std::vector<QVUPackEntry> MakeWorkload(double scale, double large)
{
    const Bytes code = MachineCode();
    std::mt19937 rng(7);
    const int count = std::max(40, static_cast<int>(kFileCount * scale));
    std::vector<QVUPackEntry> files(count);
    for (int i = 0; i < count; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"d%02d\\%04d.dat", i % kFolderCount, i);
        files[i].name = name;
        Fill(files[i].data, SizeOf(i, large, rng), i % 3, code, rng);
    }
    return files;
}

// Lines picked at random from a few dozen: about nine parts in ten go, as with real logs.
std::vector<QVUPackEntry> MakeCompressibleWorkload(uint64_t bytes)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 64; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "stroke %03d at %03d, pressure %02d\r\n", i, (i * 37) % 1000, (i * 11) % 100);
        lines.push_back(line);
    }
    std::mt19937 rng(11);
    std::vector<QVUPackEntry> files;
    for (uint64_t made = 0; made < bytes;) {
        QVUPackEntry e;
        e.name = L"log" + std::to_wstring(files.size()) + L".txt";
        const uint64_t size = std::min(kFileLimit, bytes - made);
        e.data.reserve(size + 64);
        while (e.data.size() < size) {
            const std::string& line = lines[rng() % lines.size()];
            e.data.insert(e.data.end(), line.begin(), line.end());
        }
        e.data.resize(size);
        made += size;
        files.push_back(std::move(e));
    }
    return files;
}

bool AddProductProgram(std::vector<QVUPackEntry>& entries, const std::wstring& path)
{
    const Bytes program = ReadWholeFile(gCString(path.c_str()));
    if (program.empty())
        return false;
    entries.push_back({L"QUORVEL.EXE", QVUBytes(program.begin(), program.end())});
    return true;
}

uint64_t TotalBytes(const std::vector<QVUPackEntry>& entries)
{
    uint64_t total = 0;
    for (const QVUPackEntry& e : entries)
        total += e.data.size();
    return total;
}

std::vector<std::wstring> FoldersOf(const std::vector<QVUPackEntry>& entries)
{
    std::vector<std::wstring> folders;
    for (const QVUPackEntry& e : entries) {
        const size_t cut = e.name.rfind(L'\\');
        if (cut != std::wstring::npos)
            folders.push_back(e.name.substr(0, cut + 1));
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    return folders;
}
