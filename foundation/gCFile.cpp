#include "gCFile.h"

#include <fcntl.h>
#include <io.h>

#include "FileOps.h"
#include "FileText.h"
#include "ReportError.h"
#include "gCFRelative.h"

namespace {

// A file's units as stdio buffers them: a text never reads ahead and seeks back, which would
// cost the system twice for every text of a table.
class FileUnits {
public:
    explicit FileUnits(FILE* file) : m_file(file) {}

    uint32_t Next(uint16_t& unit)
    {
        const int low = std::getc(m_file);
        if (low == EOF)
            return 0;
        const int high = std::getc(m_file);
        if (high == EOF)
            return 1;
        unit = static_cast<uint16_t>(low | (high << 8));
        return 2;
    }

    bool PutBack(uint32_t n)
    {
        std::clearerr(m_file);
        return n == 0 || std::fseek(m_file, -static_cast<long>(n), SEEK_CUR) == 0;
    }

private:
    FILE* m_file;
};

} // namespace

gCFile::gCFile(int32_t accessMode) : gCStream(kStreamKindFile), m_accessMode(accessMode) {}

gCFile::~gCFile()
{
    // No caller is left to hear of a failed close.
    (void)Close();
}

const wchar_t* gCFile::ModeText(int32_t mode)
{
    switch (mode) {
    case kAccessReadWrite:
        return L"rb+";
    case kAccessRead:
        return L"rb";
    case kAccessWrite:
        return L"wb";
    case kAccessAppend:
        return L"ab";
    default:
        return nullptr;
    }
}

gCResult gCFile::OpenWith(const gCString& fullPath, const wchar_t* mode)
{
    FILE* file = _wfopen(fullPath.Text(), mode);
    if (!file)
        return kFileOpenFailure;
    m_file.Reset(file);
    m_lastOp = kNone;
    m_readOnly = mode[0] == L'r' && mode[1] != L'+' && mode[2] != L'+';
    return kOk;
}

gCResult gCFile::OpenSharedForReading(const gCBasePath& path)
{
    if (!path.IsValid())
        return kBadParameter;
    const gCString fullPath = path.GetPath();
    if (!IsWholePathText(fullPath))
        return kBadParameter;
    QV_RETURN_IF_FAILED(Close());
    CFileHandle handle(CreateFileW(fullPath.Text(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid())
        return kFileOpenFailure;
    CCrtDescriptor descriptor(_open_osfhandle(reinterpret_cast<intptr_t>(handle.Get()), _O_RDONLY | _O_BINARY));
    if (!descriptor.IsValid())
        return kFileOpenFailure;
    (void)handle.Release(); // the descriptor closes it now
    FILE* file = _fdopen(descriptor.Get(), "rb");
    if (!file)
        return kFileOpenFailure;
    (void)descriptor.Release(); // and the stream closes the descriptor
    m_file.Reset(file);
    m_lastOp = kNone;
    m_readOnly = true;
    return kOk;
}

gCResult gCFile::Open(const gCBasePath& path, int32_t mode)
{
    if (!path.IsValid())
        return kBadParameter;
    return OpenFullPath(path.GetPath(), mode);
}

gCResult gCFile::OpenOrCreate(const gCBasePath& path, int32_t mode)
{
    if (!path.IsValid())
        return kBadParameter;
    return OpenOrCreateFullPath(path.GetPath(), mode);
}

gCResult gCFile::OpenPath(gCFile& file, const gCBasePath& path, int32_t mode)
{
    return file.Open(path, mode);
}

gCResult gCFile::OpenValidPath(gCFile& file, const gCBasePath& path, int32_t mode)
{
    return file.Open(path, mode);
}

gCResult OpenFileByName(gCFile& file, const gCString& text, int32_t mode)
{
    return file.Open(gCFRelative(text, 0), mode);
}

uint32_t CanOpenForReading(const gCString& text, int32_t baseSelector)
{
    gCFile file;
    return file.Open(gCFRelative(text, baseSelector), kAccessRead) == kOk ? 1 : 0;
}

gCResult gCFile::OpenFullPath(const gCString& fullPath, int32_t mode)
{
    if (!IsWholePathText(fullPath))
        return kBadParameter;
    QV_RETURN_IF_FAILED(Close());
    const wchar_t* text = ModeText(mode);
    if (!text) {
        ReportError(kBadParameter, "Unknown Access state passed to gCFile.");
        return kBadParameter;
    }
    return OpenWith(fullPath, text);
}

gCResult gCFile::OpenOrCreateFullPath(const gCString& fullPath, int32_t mode)
{
    if (mode != kAccessReadWrite)
        return OpenFullPath(fullPath, mode);
    if (!IsWholePathText(fullPath))
        return kBadParameter;
    QV_RETURN_IF_FAILED(Close());
    if (OpenWith(fullPath, L"r+b") == kOk)
        return kOk;
    return OpenWith(fullPath, L"w+b");
}

gCResult gCFile::Close()
{
    m_lastOp = kNone;
    return m_file.Close() ? kOk : kFileCloseFailure;
}

gCResult gCFile::Commit()
{
    if (!IsOpen())
        return kStreamFailure;
    if (std::fflush(m_file.Get()) != 0)
        return kStreamFailure;
    return _commit(_fileno(m_file.Get())) == 0 ? kOk : kStreamFailure;
}

void gCFile::SwitchTo(LastOp op)
{
    if (m_lastOp != kNone && m_lastOp != op)
        std::fseek(m_file.Get(), 0, SEEK_CUR);
    m_lastOp = op;
}

int64_t gCFile::FileLength()
{
    if (!IsOpen())
        return 0;
    if (m_lastOp == kWriting)
        std::fflush(m_file.Get());
    return _filelengthi64(_fileno(m_file.Get()));
}

gCResult gCFile::WriteRaw(const void* buffer, uint32_t n)
{
    if (!IsOpen())
        return kBadParameter;
    if (m_readOnly)
        return kStreamFailure;
    SwitchTo(kWriting);
    return std::fwrite(buffer, 1, n, m_file.Get()) == n ? kOk : kStreamFailure;
}

gCResult gCFile::ReadCounted(void* buffer, uint32_t n, uint32_t& count)
{
    count = 0;
    if (!IsOpen())
        return kBadParameter;
    SwitchTo(kReading);
    count = static_cast<uint32_t>(std::fread(buffer, 1, n, m_file.Get()));
    if (count == n || std::feof(m_file.Get()))
        return kOk;
    return kStreamFailure;
}

gCResult gCFile::ReadRaw(void* buffer, uint32_t n)
{
    uint32_t count = 0;
    return ReadCounted(buffer, n, count);
}

gCResult gCFile::ReadUpTo(void* buffer, uint32_t n, uint32_t& got)
{
    got = 0;
    if (!IsOpen())
        return kInvalidFile;
    gCResult r = ReadCounted(buffer, n, got);
    if (r != kOk)
        std::clearerr(m_file.Get());
    return r;
}

gCResult gCFile::ReadBytes(void* buffer, uint32_t n)
{
    if (!IsOpen())
        return kInvalidFile;
    if (IsAtEnd())
        return kStreamFailure;
    uint32_t count = 0;
    QV_RETURN_IF_FAILED(ReadCounted(buffer, n, count));
    return count == n ? kOk : kStreamFailure;
}

gCResult gCFile::WriteBytes(const void* buffer, uint32_t n)
{
    if (!IsOpen())
        return kInvalidFile;
    return WriteRaw(buffer, n);
}

gCResult gCFile::ReadText8(gCString& out)
{
    const gCResult readable = TextReadable();
    return readable == kOk ? ReadFileText8(*this, out) : readable;
}

gCResult gCFile::ReadString(gCString& out)
{
    if (m_narrow)
        return ReadText8(out);
    const gCResult readable = TextReadable();
    if (readable != kOk)
        return readable;
    SwitchTo(kReading);
    FileUnits units(m_file.Get());
    return ReadFileString(units, m_swap, out);
}

gCResult gCFile::Rewind()
{
    if (!IsOpen())
        return kInvalidFile;
    std::rewind(m_file.Get());
    m_lastOp = kNone;
    return kOk;
}

gCResult gCFile::SeekEnd()
{
    if (!IsOpen())
        return kInvalidFile;
    return SetPosition(FileLength());
}

int64_t gCFile::Tell()
{
    int64_t position = -1;
    return GetPosition64(position) == kOk ? position : -1;
}

gCResult gCFile::GetPosition64(int64_t& position)
{
    if (!IsOpen())
        return kInvalidFile;
    fpos_t pos;
    if (std::fgetpos(m_file.Get(), &pos) != 0)
        return kStreamFailure;
    position = static_cast<int64_t>(pos);
    return kOk;
}

gCResult gCFile::SetPosition(int64_t position)
{
    if (!IsOpen())
        return kInvalidFile;
    if (position < 0)
        return kStreamFailure;
    if (m_lastOp == kWriting)
        std::fflush(m_file.Get());
    fpos_t pos = static_cast<fpos_t>(position);
    if (std::fsetpos(m_file.Get(), &pos) != 0)
        return kStreamFailure;
    m_lastOp = kNone;
    return kOk;
}

int32_t gCFile::IsAtEnd()
{
    if (!IsOpen())
        return 1;
    if (m_readOnly) {
        // Nothing written through this stream moves its end: a look at the next byte in
        // stdio's buffer answers without asking the system for the position and the length.
        SwitchTo(kReading);
        FILE* file = m_file.Get();
        const int next = std::getc(file);
        if (next == EOF) {
            std::clearerr(file);
            return 1;
        }
        std::ungetc(next, file);
        return 0;
    }
    int64_t position = Tell();
    return position < 0 || position >= FileLength() ? 1 : 0;
}

int64_t gCFile::GetLength()
{
    return FileLength();
}
