// Packs about 100 MB in 1,000 files over 20 folders (text, noise and machine code), then times
// the decoder, a fresh and a replacing installation (with the time of each step), and bare
// loops of CopyFileW, MoveFileW, DeleteFileW and the write-rights check's system calls over
// the installed tree. Prints one
// "name=value" line per figure; asserts nothing.
//
//   engine_bench.exe [folder]
//
// With a folder, the unpacked archive is left there as data.bin and the installed tree as
// install\, so that outside tools can be measured on the same bytes (tools/bench.sh).
#include <windows.h>

#include <aclapi.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "CQVUCompressor.h"
#include "CQVUDesquasher.h"
#include "FakeHost.h"
#include "QVUPacker.h"
#include "RecordingHost.h"
#include "TempFolder.h"
#include "WinHandle.h"
#include "gCFile.h"

namespace {

const int kFileCount = 1000;
const int kFolderCount = 20;
const int kRounds = 3;

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

// Best time of a few runs of what.
template <typename What>
double BestOf(int rounds, What what)
{
    double best = 1e9;
    for (int i = 0; i < rounds; ++i) {
        double start = Now();
        if (!what())
            return -1;
        double seconds = Now() - start;
        best = seconds < best ? seconds : best;
    }
    return best;
}

std::wstring RelativeName(int i)
{
    wchar_t name[64];
    swprintf(name, 64, L"d%02d\\%04d.dat", i % kFolderCount, i); // the file table holds 65,536 bytes
    return name;
}

// The program's own file stands in for the shared libraries of a real update.
Bytes MachineCode()
{
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    return ReadWholeFile(gCString(module));
}

// A third of the files read like text, a third are noise, a third are slices of machine code.
std::vector<QVUPackEntry> MakeFiles(size_t& total)
{
    static const char* words[] = {"brush ", "layer ",   "canvas ",  "pressure ", "stroke ", "palette ",
                                  "blend ", "opacity ", "texture ", "pixel ",    "\r\n"};
    const Bytes code = MachineCode();
    std::mt19937 rng(7);
    std::vector<QVUPackEntry> files;
    total = 0;
    for (int i = 0; i < kFileCount; ++i) {
        QVUPackEntry e;
        e.name = RelativeName(i);
        size_t size = 20000 + rng() % 160000;
        e.data.reserve(size);
        if (i % 3 == 0) {
            while (e.data.size() < size) {
                const char* w = words[rng() % 11];
                e.data.insert(e.data.end(), w, w + strlen(w));
            }
            e.data.resize(size);
        } else if (i % 3 == 1 || code.size() < size) {
            for (size_t k = 0; k < size; ++k)
                e.data.push_back(static_cast<uint8_t>(rng()));
        } else {
            size_t from = rng() % (code.size() - size + 1);
            e.data.assign(code.begin() + from, code.begin() + from + size);
        }
        total += size;
        files.push_back(std::move(e));
    }
    return files;
}

// Status lines mark the installer's steps: the time of each one tells where the time goes.
class TimingHost : public RecordingHost {
public:
    gCResult PostStatusLine(gCString text, uint32_t colour, uint32_t present) override
    {
        times.push_back(Now());
        return RecordingHost::PostStatusLine(text, colour, present);
    }
    std::vector<double> times;
};

// The black lines of a run that went through, in order: what each one starts.
const char* const kStepNames[] = {"start", "read", "unpack", "parse", "check", "write",
                                  "keep",  "move", "delete", "done",  "done"};

std::string StepTimes(const TimingHost& host, double end)
{
    std::string out;
    const size_t steps = sizeof kStepNames / sizeof kStepNames[0];
    for (size_t i = 0; i + 1 < host.times.size() && i < steps; ++i) {
        double next = i + 1 < host.times.size() ? host.times[i + 1] : end;
        char part[48];
        std::snprintf(part, sizeof part, "%s%s %.3f", out.empty() ? "" : ", ", kStepNames[i], next - host.times[i]);
        out += part;
    }
    return out;
}

double InstallOnce(const std::wstring& archivePath, std::string& steps)
{
    TimingHost host;
    CQVUDesquasher desquasher(host);
    gCFile archive;
    if (archive.OpenFullPath(gCString(archivePath.c_str()), kAccessRead) != kOk)
        return -1;
    double start = Now();
    gCResult result = desquasher.DesquashAndInstall(archive);
    double end = Now();
    double seconds = end - start;
    steps = StepTimes(host, end);
    if (result != kOk) {
        std::printf("installation failed: %d\n", static_cast<int>(result));
        if (!host.events.empty())
            std::printf("last line: %ls\n", host.events.back().text.c_str());
        return -1;
    }
    return seconds;
}

// What a plain copy of the installed tree costs through the same system: the yardstick of
// the installer.
bool CopyTree(const std::wstring& from, const std::wstring& to)
{
    CreateDirectoryW(to.c_str(), nullptr);
    for (int f = 0; f < kFolderCount; ++f) {
        wchar_t folder[16];
        swprintf(folder, 16, L"d%02d", f);
        CreateDirectoryW((to + folder).c_str(), nullptr);
    }
    for (int i = 0; i < kFileCount; ++i) {
        std::wstring name = RelativeName(i);
        if (!CopyFileW((from + name).c_str(), (to + name).c_str(), FALSE))
            return false;
    }
    return true;
}

// The other two file operations of an installation, bare: every file moved to a name with
// ".old" added, then every ".old" deleted.
bool MoveTree(const std::wstring& root)
{
    for (int i = 0; i < kFileCount; ++i) {
        std::wstring name = root + RelativeName(i);
        if (!MoveFileW(name.c_str(), (name + L".old").c_str()))
            return false;
    }
    return true;
}

bool DeleteTree(const std::wstring& root)
{
    for (int i = 0; i < kFileCount; ++i)
        if (!DeleteFileW((root + RelativeName(i) + L".old").c_str()))
            return false;
    return true;
}

// The system calls of the write-rights check of every file, bare: the descriptor's DACL (a
// size query, then the read), the user's account, the effective-rights query, and where that
// query cannot answer (Wine), the access check of the process token on the whole descriptor.
bool CheckRightsOfTree(const std::wstring& root)
{
    CKernelHandle process;
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, process.Put()) ||
        !DuplicateToken(process.Get(), SecurityImpersonation, token.Put()))
        return false;
    process.Reset();
    std::vector<char> descriptor(4096);
    std::vector<char> sid(1024);
    std::vector<wchar_t> domain(1024);
    bool good = true;
    for (int i = 0; i < kFileCount && good; ++i) {
        const std::wstring path = root + RelativeName(i);
        DWORD needed = 0;
        GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        wchar_t user[200];
        DWORD userUnits = 200;
        DWORD sidBytes = 1024;
        DWORD domainUnits = 1024;
        SID_NAME_USE use;
        good = needed > 0 && needed <= descriptor.size() &&
               GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed) &&
               GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted) &&
               GetUserNameW(user, &userUnits) &&
               LookupAccountNameW(nullptr, user, sid.data(), &sidBytes, domain.data(), &domainUnits, &use);
        if (!good)
            break;
        TRUSTEEW trustee;
        BuildTrusteeWithSidW(&trustee, sid.data());
        ACCESS_MASK mask = 0;
        if (GetEffectiveRightsFromAclW(dacl, &trustee, &mask) == ERROR_SUCCESS)
            continue;
        const SECURITY_INFORMATION whole =
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
        PRIVILEGE_SET privileges;
        DWORD privilegesSize = sizeof privileges;
        DWORD granted = 0;
        BOOL allowed = FALSE;
        good =
            GetFileSecurityW(path.c_str(), whole, descriptor.data(), static_cast<DWORD>(descriptor.size()), &needed) &&
            AccessCheck(descriptor.data(), token.Get(), FILE_WRITE_DATA, &mapping, &privileges, &privilegesSize,
                        &granted, &allowed);
    }
    return good;
}

void RemoveTree(const std::wstring& root)
{
    for (int i = 0; i < kFileCount; ++i)
        DeleteFileW((root + RelativeName(i)).c_str());
    for (int f = 0; f < kFolderCount; ++f) {
        wchar_t folder[16];
        swprintf(folder, 16, L"d%02d", f);
        RemoveDirectoryW((root + folder).c_str());
    }
    RemoveDirectoryW(root.c_str());
}

int Run(const std::wstring& root)
{
    size_t total = 0;
    std::vector<QVUPackEntry> files = MakeFiles(total);
    QVUBytes stream = BuildArchiveStream(files, L"OS=WIN32\rTYPE=full");
    QVUBytes block = CompressBlock(stream.data(), stream.size());
    QVUBytes archive = WrapContainer(block);
    std::printf("files=%d\nunpacked_mb=%.1f\npacked_mb=%.1f\n", kFileCount, stream.size() / 1e6, archive.size() / 1e6);
    if (!WriteWholeFile(gCString((root + L"data.bin").c_str()), stream)) {
        std::printf("cannot write the unpacked archive\n");
        return 1;
    }

    // The decoder alone, into a block already in memory, as in-memory decompressors are timed.
    const uint32_t tokenCount = static_cast<uint32_t>(block.size() - 4);
    const uint32_t outputSize = static_cast<uint32_t>(stream.size());
    QVUBytes warm(stream.size());
    double decodeSeconds = BestOf(kRounds + 2, [&] {
        return CQVUCompressor::DecodeTokens(block.data() + 4, tokenCount, warm.data(), outputSize) == kOk;
    });
    if (decodeSeconds < 0 || warm != stream) {
        std::printf("decoder output differs\n");
        return 1;
    }
    // The whole call, with the allocation of the output.
    CMemBlockT<char> input;
    if (input.Resize(static_cast<int32_t>(block.size())) != kOk)
        return 1;
    input.CopyFrom(reinterpret_cast<const char*>(block.data()), static_cast<int32_t>(block.size()));
    double decompressSeconds = BestOf(kRounds, [&] {
        CMemBlockT<char> output;
        return CQVUCompressor().Decompress(input, output) == kOk && output.Count() == static_cast<int32_t>(outputSize);
    });
    double copySeconds = BestOf(kRounds, [&] {
        std::memcpy(warm.data(), stream.data(), stream.size());
        return true;
    });
    std::printf("decoder_mbps=%.0f\ndecompress_mbps=%.0f\nmemcpy_mbps=%.0f\n", stream.size() / 1e6 / decodeSeconds,
                stream.size() / 1e6 / decompressSeconds, stream.size() / 1e6 / copySeconds);

    std::wstring archivePath = root + L"update.qvu";
    if (!WriteWholeFile(gCString(archivePath.c_str()), archive)) {
        std::printf("cannot write the archive\n");
        return 1;
    }
    FakeHost app;
    app.programFolder = gCString(root.c_str());
    double fresh = 1e9;
    double replacing = 1e9;
    std::string freshSteps;
    std::string replacingSteps;
    for (int round = 0; round < kRounds; ++round) {
        std::wstring install = root + L"install" + std::to_wstring(round) + L"\\";
        CreateDirectoryW(install.c_str(), nullptr);
        app.secondFolder = gCString(install.c_str());
        std::string fSteps;
        std::string rSteps;
        double f = InstallOnce(archivePath, fSteps);
        double r = InstallOnce(archivePath, rSteps);
        if (f < 0 || r < 0)
            return 1;
        if (f < fresh) {
            fresh = f;
            freshSteps = fSteps;
        }
        if (r < replacing) {
            replacing = r;
            replacingSteps = rSteps;
        }
    }
    std::printf("install_fresh_s=%.3f\ninstall_replace_s=%.3f\n", fresh, replacing);
    std::printf("install_fresh_steps=%s\ninstall_replace_steps=%s\n", freshSteps.c_str(), replacingSteps.c_str());

    const std::wstring installed = root + L"install0\\";
    int copyRound = 0;
    double copyLoop = BestOf(kRounds, [&] {
        std::wstring copy = root + L"copy" + std::to_wstring(copyRound++) + L"\\";
        return CopyTree(installed, copy);
    });
    if (copyLoop < 0) {
        std::printf("the copy loop failed\n");
        return 1;
    }
    // Each copy is checked once, as the installer checks a tree: the first look at a file's
    // descriptor costs more than later ones.
    int rightsRound = 0;
    const double rightsLoop =
        BestOf(kRounds, [&] { return CheckRightsOfTree(root + L"copy" + std::to_wstring(rightsRound++) + L"\\"); });
    if (rightsLoop < 0) {
        std::printf("the rights calls failed\n");
        return 1;
    }
    int moveRound = 0;
    double moveLoop = BestOf(kRounds, [&] { return MoveTree(root + L"copy" + std::to_wstring(moveRound++) + L"\\"); });
    int deleteRound = 0;
    double deleteLoop =
        BestOf(kRounds, [&] { return DeleteTree(root + L"copy" + std::to_wstring(deleteRound++) + L"\\"); });
    if (moveLoop < 0 || deleteLoop < 0) {
        std::printf("the move or delete loop failed\n");
        return 1;
    }
    std::printf("copyfile_loop_s=%.3f\nmovefile_loop_s=%.3f\ndeletefile_loop_s=%.3f\nrights_calls_loop_s=%.3f\n",
                copyLoop, moveLoop, deleteLoop, rightsLoop);
    for (int round = 0; round < kRounds; ++round) {
        RemoveTree(root + L"copy" + std::to_wstring(round) + L"\\");
        if (round > 0)
            RemoveTree(root + L"install" + std::to_wstring(round) + L"\\");
    }
    MoveFileW(installed.c_str(), (root + L"install").c_str());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1) {
        std::wstring root = argv[1];
        if (root.empty() || root.back() != L'\\')
            root += L'\\';
        return Run(root);
    }
    TempFolder temp;
    return Run(temp.Path());
}
