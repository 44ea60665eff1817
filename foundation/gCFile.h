// A disk file read and written through the wide-name stdio functions. Closed until an open
// succeeds; the destructor closes it.
#pragma once
#include <cstdio>

#include "WinHandle.h"
#include "gCStream.h"

class gCBasePath;

enum : int32_t {
    kAccessReadWrite = 0, // "rb+"
    kAccessRead = 1,      // "rb"
    kAccessWrite = 2,     // "wb"
    kAccessAppend = 3,    // "ab"
};

class gCFile : public gCStream {
public:
    explicit gCFile(int32_t accessMode = kAccessRead);
    ~gCFile() override;

    // Opens the path object's full text: 6 when the path is not valid.
    gCResult Open(const gCBasePath& path, int32_t mode);
    gCResult OpenOrCreate(const gCBasePath& path, int32_t mode);
    static gCResult OpenPath(gCFile& file, const gCBasePath& path, int32_t mode);
    static gCResult OpenValidPath(gCFile& file, const gCBasePath& path, int32_t mode);

    // Opens the text as it stands (a full path). 14 when it cannot be opened; an unknown mode
    // is reported and gives 6. An open file is closed first.
    gCResult OpenFullPath(const gCString& fullPath, int32_t mode);
    // As OpenFullPath, but mode 0 creates the file when it is absent.
    gCResult OpenOrCreateFullPath(const gCString& fullPath, int32_t mode);
    // Opens for reading and lets others rename, replace or delete the file while it is open (a
    // program's own resource file, which its update replaces while the program runs); reads go
    // on from the file as it was opened. 14 when it cannot be opened.
    gCResult OpenSharedForReading(const gCBasePath& path);
    gCResult Close();
    // Buffered writes and the system's cache on the disk: what follows may rely on them.
    gCResult Commit();
    bool IsOpen() const { return m_file.Get() != nullptr; }
    int32_t GetAccessMode() const { return m_accessMode; }

    // Buffered writes are flushed first, so they count.
    int64_t FileLength();
    gCResult WriteRaw(const void* buffer, uint32_t n);
    // 0 also when the end of the file came part-way; ReadCounted says how far it got.
    gCResult ReadRaw(void* buffer, uint32_t n);
    gCResult ReadCounted(void* buffer, uint32_t n, uint32_t& count);

    gCResult ReadText8(gCString& out) override;
    gCResult ReadString(gCString& out) override;
    gCResult ReadBytes(void* buffer, uint32_t n) override;
    gCResult WriteBytes(const void* buffer, uint32_t n) override;
    gCResult Rewind() override;
    gCResult SeekEnd() override;
    int64_t Tell() override;
    gCResult GetPosition64(int64_t& position) override;
    gCResult SetPosition(int64_t position) override;
    int32_t IsAtEnd() override;
    int64_t GetLength() override;
    gCResult ReadUpTo(void* buffer, uint32_t n, uint32_t& got) override;
    bool HasData() const override { return IsOpen(); }

private:
    enum LastOp { kNone, kReading, kWriting };

    gCResult OpenWith(const gCString& fullPath, const wchar_t* mode);
    static const wchar_t* ModeText(int32_t mode);
    // stdio needs a positioning call between a read and a write on the same stream.
    void SwitchTo(LastOp op);

    int32_t m_accessMode;
    CStdFile m_file;
    // A write to a file opened only for reading is refused before stdio buffers it, or the
    // close would fail on flushing it.
    bool m_readOnly = false;
    LastOp m_lastOp = kNone;
};

// Opens a file named relative to the program folder.
gCResult OpenFileByName(gCFile& file, const gCString& text, int32_t mode);
// 1 when the file, relative to the folder that the selector names, opens for reading.
uint32_t CanOpenForReading(const gCString& text, int32_t baseSelector);
