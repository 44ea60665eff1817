// The installer beside bare loops of the same file steps, on an update with the sizes of a real
// installation. The installer works as in the program: the archive is read from memory (the
// received body), and every status and log line is written to a results log at once. Each
// comparison takes turns (installer, bare loop, CopyFileW loop) and prints its samples;
// tools/bench.sh makes the table. Asserts nothing.
//
//   engine_bench [folder [product.exe]]     installs, fresh and replacing
//   engine_bench decode <folder>            the decoder alone on the block that a run left
//   engine_bench pack <archive> <product.exe> <megabytes>
//                                           writes a compressible update that starts the product
//   engine_bench sizes <folder> <product.exe> <large>
//                                           writes the workload, its large files scaled, with
//                                           the product: update.qvu starts it, quiet.qvu does not
//   engine_bench once <archive> <folder>    installs the archive fresh into the folder, once
//
// With a folder, the run leaves there the unpacked archive (data.bin) and its compressed block
// (packed.bin), so that other decoders can be timed on the same bytes; with a product program
// also update.qvu, the same files with the product added, whose install script starts it.
#include <windows.h>

#include <aclapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "Alternate.h"
#include "BenchLoop.h"
#include "CQVUCompressor.h"
#include "CQVUDesquasher.h"
#include "CResultsLog.h"
#include "FakeHost.h"
#include "RecordingHost.h"
#include "TempFolder.h"
#include "WinHandle.h"
#include "Workload.h"
#include "gCMemFile.h"

namespace {

const wchar_t* const kScript = L"OS=WIN32\rTYPE=full";
const wchar_t* const kStartingScript = L"OS=WIN32\rTYPE=PRODUCT\rEXECUTE=QUORVEL.EXE";

// As the program's host: every line goes to the results log at once, status lines also mark
// the installer's steps so that the time of each can be told.
class LoggingHost : public RecordingHost {
public:
    explicit LoggingHost(const std::wstring& logPath) { (void)m_log.Open(gCString(logPath.c_str())); }
    gCResult PostStatusLine(gCString text, uint32_t, uint32_t) override
    {
        times.push_back(m_watch.Seconds());
        last = text.Text();
        return m_log.WriteLine(text);
    }
    gCResult WriteLogLine(gCString text) override { return m_log.WriteLine(text); }
    double Now() const { return m_watch.Seconds(); }

    std::vector<double> times;
    std::wstring last;

private:
    CResultsLog m_log;
    Stopwatch m_watch;
};

// The black lines of a run that went through, in order: what each one starts.
const char* const kStepNames[] = {"start", "read", "unpack", "parse", "check", "write",
                                  "keep",  "move", "delete", "done",  "done"};

std::string StepTimes(const LoggingHost& host, double end)
{
    std::string out;
    const size_t steps = sizeof kStepNames / sizeof kStepNames[0];
    for (size_t i = 0; i < host.times.size() && i < steps; ++i) {
        const double next = i + 1 < host.times.size() ? host.times[i + 1] : end;
        char part[48];
        std::snprintf(part, sizeof part, "%s%s %.3f", out.empty() ? "" : ", ", kStepNames[i], next - host.times[i]);
        out += part;
    }
    return out;
}

void RemoveTree(const std::wstring& root, const std::vector<QVUPackEntry>& files)
{
    for (const QVUPackEntry& e : files)
        DeleteFileW((root + e.name).c_str());
    for (const std::wstring& folder : FoldersOf(files))
        RemoveDirectoryW((root + folder).c_str());
    DeleteFileW((root + L"UpdateResults.log").c_str());
    RemoveDirectoryW(root.c_str());
}

bool MakeFolders(const std::wstring& root, const std::vector<QVUPackEntry>& files)
{
    if (!CreateDirectoryW(root.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    for (const std::wstring& folder : FoldersOf(files))
        if (!CreateDirectoryW((root + folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    return true;
}

// flushed: on the disk when it returns, as the installer writes its new files.
bool WriteFileFrom(const std::wstring& path, const QVUBytes& data, bool flushed = false)
{
    CFileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.IsValid() && WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size() && (!flushed || FlushFileBuffers(file.Get()));
}

// The write-rights calls that replacing a file cannot do without, the user's account looked
// up once: owner, group and DACL in one read, the effective-rights query, and where that
// cannot answer (Wine), the access check of the process token on the same descriptor.
class RightsCalls {
public:
    bool Prepare()
    {
        CKernelHandle process;
        wchar_t user[256];
        DWORD userUnits = 256;
        DWORD sidBytes = sizeof m_sid;
        wchar_t domain[256];
        DWORD domainUnits = 256;
        SID_NAME_USE use;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, process.Put()) ||
            !DuplicateToken(process.Get(), SecurityImpersonation, m_token.Put()) || !GetUserNameW(user, &userUnits) ||
            !LookupAccountNameW(nullptr, user, m_sid, &sidBytes, domain, &domainUnits, &use))
            return false;
        BuildTrusteeWithSidW(&m_trustee, m_sid);
        return true;
    }

    bool MayWrite(const std::wstring& path)
    {
        const SECURITY_INFORMATION what =
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        DWORD needed = 0;
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        if (!GetFileSecurityW(path.c_str(), what, m_descriptor, sizeof m_descriptor, &needed) ||
            !GetSecurityDescriptorDacl(m_descriptor, &present, &dacl, &defaulted))
            return false;
        ACCESS_MASK mask = 0;
        if (GetEffectiveRightsFromAclW(dacl, &m_trustee, &mask) == ERROR_SUCCESS)
            return (mask & FILE_WRITE_DATA) != 0;
        GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
        PRIVILEGE_SET privileges;
        DWORD privilegesSize = sizeof privileges;
        DWORD granted = 0;
        BOOL allowed = FALSE;
        return AccessCheck(m_descriptor, m_token.Get(), FILE_WRITE_DATA, &mapping, &privileges, &privilegesSize,
                           &granted, &allowed) &&
               allowed;
    }

private:
    CKernelHandle m_token;
    TRUSTEEW m_trustee{};
    alignas(8) char m_sid[SECURITY_MAX_SID_SIZE];
    alignas(8) char m_descriptor[4096];
};

// What an installation cannot do without, bare: the archive decoded from memory into fresh
// memory, the folders made, every file written as ".tmp" and moved in; when replacing, first
// the rights calls on every file, the old file kept as ".old" beside it before the new one
// replaces it in one move, and deleted after it. The steps go over all files in the installer's
// order.
class BareInstall {
public:
    BareInstall(const std::vector<QVUPackEntry>& files, const QVUBytes& block) : m_files(files)
    {
        m_ok = m_block.Resize(static_cast<int32_t>(block.size())) == kOk;
        if (m_ok)
            m_block.CopyFrom(reinterpret_cast<const char*>(block.data()), static_cast<int32_t>(block.size()));
    }

    // flushed: each new file is flushed to the disk, as the installer does before it marks its
    // journal; the rows with and without show what a power cut's safety costs.
    bool Run(const std::wstring& root, bool replacing, bool flushed = false)
    {
        CMemBlockT<char> unpacked;
        if (!m_ok || CQVUCompressor().Decompress(m_block, unpacked) != kOk)
            return false;
        RightsCalls rights;
        if (replacing && !rights.Prepare())
            return false;
        for (size_t i = 0; replacing && i < m_files.size(); ++i)
            if (!rights.MayWrite(root + m_files[i].name))
                return false;
        if (!MakeFolders(root, m_files))
            return false;
        for (const QVUPackEntry& e : m_files)
            if (!WriteFileFrom(root + e.name + L".tmp", e.data, flushed))
                return false;
        for (size_t i = 0; replacing && i < m_files.size(); ++i)
            if (!KeepOld(root + m_files[i].name))
                return false;
        const DWORD move = replacing ? MOVEFILE_REPLACE_EXISTING : 0;
        for (const QVUPackEntry& e : m_files)
            if (!MoveFileExW((root + e.name + L".tmp").c_str(), (root + e.name).c_str(), move))
                return false;
        for (size_t i = 0; replacing && i < m_files.size(); ++i)
            if (!DeleteFileW((root + m_files[i].name + L".old").c_str()))
                return false;
        return true;
    }

private:
    // The old file stays in place under a second name, a program as a copy.
    static bool KeepOld(const std::wstring& path)
    {
        const std::wstring old = path + L".old";
        const bool program = path.size() >= 4 && _wcsicmp(path.c_str() + path.size() - 4, L".exe") == 0;
        return program ? CopyFileW(path.c_str(), old.c_str(), TRUE) != FALSE
                       : CreateHardLinkW(old.c_str(), path.c_str(), nullptr) != FALSE;
    }

    const std::vector<QVUPackEntry>& m_files;
    CMemBlockT<char> m_block;
    bool m_ok = false;
};

// The reference without the installer's duties: a CopyFileW of every file from a tree.
bool CopyTree(const std::wstring& from, const std::wstring& to, const std::vector<QVUPackEntry>& files)
{
    if (!MakeFolders(to, files))
        return false;
    for (const QVUPackEntry& e : files)
        if (!CopyFileW((from + e.name).c_str(), (to + e.name).c_str(), FALSE))
            return false;
    return true;
}

// The installer on the received body, into a folder; keeps the steps' times of its fastest run.
class Installer {
public:
    Installer(FakeHost& app, const QVUBytes& archive) : m_app(app)
    {
        m_ok = m_body.WriteBytes(archive.data(), static_cast<uint32_t>(archive.size())) == kOk;
    }

    double Run(const std::wstring& folder)
    {
        m_app.secondFolder = gCString(folder.c_str());
        LoggingHost host(folder + L"UpdateResults.log");
        CQVUDesquasher desquasher(host);
        Stopwatch watch;
        const gCResult result = m_ok ? desquasher.DesquashAndInstall(m_body) : kOutOfMemory;
        const double seconds = watch.Seconds();
        const double end = host.Now();
        if (result != kOk) {
            std::printf("installation failed: %d, last line: %ls\n", static_cast<int>(result), host.last.c_str());
            return -1;
        }
        if (m_fastest < 0 || seconds < m_fastest) {
            m_fastest = seconds;
            steps = StepTimes(host, end);
        }
        return seconds;
    }

    std::string steps;

private:
    FakeHost& m_app;
    gCMemFile m_body;
    bool m_ok = false;
    double m_fastest = -1;
};

template <typename Step>
double Timed(Step step)
{
    Stopwatch watch;
    return step() ? watch.Seconds() : -1;
}

int Install(const std::wstring& root, const std::wstring& product)
{
    std::vector<QVUPackEntry> files = MakeWorkload(BenchScale());
    if (!product.empty() && !AddProductProgram(files, product)) {
        std::printf("cannot read %ls\n", product.c_str());
        return 1;
    }
    const QVUBytes stream = BuildArchiveStream(files, kScript);
    const QVUBytes block = CompressBlock(stream.data(), stream.size());
    const QVUBytes archive = WrapContainer(block);
    size_t small = 0;
    for (const QVUPackEntry& e : files)
        small += e.data.size() < 4096 ? 1 : 0;
    std::printf("files=%zu\nsmall_files=%zu\nunpacked_mb=%.1f\npacked_mb=%.1f\n", files.size(), small,
                stream.size() / 1e6, archive.size() / 1e6);
    if (!WriteFileFrom(root + L"data.bin", stream) || !WriteFileFrom(root + L"packed.bin", block) ||
        (!product.empty() && !WriteFileFrom(root + L"update.qvu", PackArchive(files, kStartingScript)))) {
        std::printf("cannot write the archive's files\n");
        return 1;
    }

    FakeHost app;
    app.programFolder = gCString(root.c_str());
    Installer installer(app, archive);
    BareInstall bare(files, block);
    const std::wstring source = root + L"source\\";
    if (!CreateDirectoryW(source.c_str(), nullptr) || installer.Run(source) < 0)
        return 1;

    const int rounds = BenchRounds();
    // Each side installs into a new folder of its own, removed after the timing.
    auto fresh = [&](const wchar_t* prefix, auto install) {
        return [&, prefix, install, n = 0]() mutable {
            const std::wstring folder = root + prefix + std::to_wstring(n++) + L"\\";
            if (!CreateDirectoryW(folder.c_str(), nullptr))
                return -1.0;
            const double seconds = install(folder);
            RemoveTree(folder, files);
            return seconds;
        };
    };
    const bool freshDone = Alternate(
        rounds,
        {{"install_fresh_s", fresh(L"if", [&](const std::wstring& f) { return installer.Run(f); })},
         {"bare_fresh_s",
          fresh(L"bf", [&](const std::wstring& f) { return Timed([&] { return bare.Run(f, false); }); })},
         {"bare_fresh_flushed_s",
          fresh(L"bff", [&](const std::wstring& f) { return Timed([&] { return bare.Run(f, false, true); }); })},
         {"copyfile_fresh_s",
          fresh(L"cf", [&](const std::wstring& f) { return Timed([&] { return CopyTree(source, f, files); }); })}});
    const std::string freshSteps = installer.steps;

    // Each side replaces its own tree, made once before the first round.
    const std::wstring ir = root + L"ir\\";
    const std::wstring br = root + L"br\\";
    const std::wstring cr = root + L"cr\\";
    const std::wstring bfr = root + L"bfr\\";
    if (!freshDone || !CreateDirectoryW(ir.c_str(), nullptr) || installer.Run(ir) < 0 || !bare.Run(br, false) ||
        !bare.Run(bfr, false) || !CopyTree(source, cr, files))
        return 1;
    Installer replacer(app, archive);
    const bool replacingDone =
        Alternate(rounds, {{"install_replace_s", [&] { return replacer.Run(ir); }},
                           {"bare_replace_s", [&] { return Timed([&] { return bare.Run(br, true); }); }},
                           {"bare_replace_flushed_s", [&] { return Timed([&] { return bare.Run(bfr, true, true); }); }},
                           {"copyfile_replace_s", [&] { return Timed([&] { return CopyTree(source, cr, files); }); }}});
    std::printf("install_fresh_steps=%s\ninstall_replace_steps=%s\n", freshSteps.c_str(), replacer.steps.c_str());
    for (const std::wstring& tree : {source, ir, br, bfr, cr})
        RemoveTree(tree, files);
    return replacingDone ? 0 : 1;
}

// Best of a few passes into a block already in memory, as in-memory decompressors are timed.
int Decode(const std::wstring& root)
{
    const Bytes block = ReadWholeFile(gCString((root + L"packed.bin").c_str()));
    const Bytes stream = ReadWholeFile(gCString((root + L"data.bin").c_str()));
    if (block.size() < 5 || stream.empty())
        return 1;
    Bytes out(stream.size());
    double best = 1e9;
    for (int pass = 0; pass < 3; ++pass) {
        Stopwatch watch;
        if (CQVUCompressor::DecodeTokens(block.data() + 4, static_cast<uint32_t>(block.size() - 4), out.data(),
                                         static_cast<uint32_t>(out.size())) != kOk)
            return 1;
        best = std::min(best, watch.Seconds());
    }
    if (out != stream) {
        std::printf("decoder output differs\n");
        return 1;
    }
    std::printf("decode_s=%.4f\n", best);
    return 0;
}

int Pack(const std::wstring& archivePath, const std::wstring& product, uint64_t bytes)
{
    std::vector<QVUPackEntry> files = MakeCompressibleWorkload(bytes);
    if (!AddProductProgram(files, product))
        return 1;
    const QVUBytes archive = PackArchive(files, kStartingScript);
    std::printf("unpacked_mb=%.1f\npacked_mb=%.1f\n", TotalBytes(files) / 1e6, archive.size() / 1e6);
    return WriteFileFrom(archivePath, archive) ? 0 : 1;
}

// The archives of one size of the size sweep (tools/bench-sizes.sh).
int PackSizes(const std::wstring& root, const std::wstring& product, double large)
{
    std::vector<QVUPackEntry> files = MakeWorkload(BenchScale(), large);
    if (!AddProductProgram(files, product))
        return 1;
    const QVUBytes starting = PackArchive(files, kStartingScript);
    std::printf("files=%zu\nunpacked_mb=%.1f\npacked_mb=%.1f\n", files.size(), TotalBytes(files) / 1e6,
                starting.size() / 1e6);
    return WriteFileFrom(root + L"update.qvu", starting) &&
                   WriteFileFrom(root + L"quiet.qvu", PackArchive(files, kScript))
               ? 0
               : 1;
}

// One fresh install of an archive read into memory before the timing, as the program holds
// the received body.
int InstallOnce(const std::wstring& archivePath, const std::wstring& folder)
{
    const Bytes archive = ReadWholeFile(gCString(archivePath.c_str()));
    if (archive.empty() || !CreateDirectoryW(folder.c_str(), nullptr))
        return 1;
    FakeHost app;
    app.programFolder = gCString(folder.c_str());
    Installer installer(app, QVUBytes(archive.begin(), archive.end()));
    const double seconds = installer.Run(folder);
    if (seconds < 0)
        return 1;
    std::printf("install_fresh_s=%.4f\n", seconds);
    return 0;
}

std::wstring AsFolder(std::wstring path)
{
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    return path;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"decode" && argc == 3)
        return Decode(AsFolder(argv[2]));
    if (mode == L"sizes" && argc == 5)
        return PackSizes(AsFolder(argv[2]), argv[3], std::wcstod(argv[4], nullptr));
    if (mode == L"once" && argc == 4)
        return InstallOnce(argv[2], AsFolder(argv[3]));
    if (mode == L"pack" && argc == 5)
        return Pack(argv[2], argv[3], std::wcstoull(argv[4], nullptr, 10) * 1000000ull);
    if (argc > 1)
        return Install(AsFolder(argv[1]), argc > 2 ? argv[2] : L"");
    TempFolder temp;
    return Install(temp.Path(), L"");
}
