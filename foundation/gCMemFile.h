// A stream over a growable memory block that it owns. The size counts the valid bytes; the
// position never goes below 0 nor beyond the size.
#pragma once
#include "CMemBlockT.h"
#include "gCStream.h"

class gCMemFile : public gCStream {
public:
    // Starts with a 2048-byte block; without one (memory ran out) every operation fails.
    gCMemFile();
    ~gCMemFile() override;

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
    bool HasData() const override { return m_block && m_block->Data(); }

    virtual int64_t GetSize();
    // Grows the size by n bytes (the new bytes are not cleared); the position stays.
    virtual gCResult Extend(int64_t n);

    // Grows the block to hold at least capacity bytes; the size and the position stay.
    gCResult Reserve(int64_t capacity);
    // Makes room for n bytes at the position, growing the block as a write would, so that a
    // reader can put them there in place; at is where they go. The size stays.
    gCResult RoomAhead(uint32_t n, uint8_t*& at);
    // Takes n bytes put in place at the position (see RoomAhead): the position moves past
    // them and the size grows to cover them.
    gCResult Advance(uint32_t n);

    // Back to an empty 2048-byte block.
    void ResetBuffer();
    // Takes the other stream's block, size and position without copying; the other is left
    // with an empty 2048-byte block, and this stream's old block is freed.
    void TakeOver(gCMemFile& other);
    int64_t GetCapacity() const { return m_block ? m_block->Count() : 0; }
    // The valid bytes start here; null without a block.
    const uint8_t* GetData() const { return m_block ? m_block->Data() : nullptr; }

protected:
    // For a stream that holds its bytes as this one does and reads them by other rules.
    explicit gCMemFile(int32_t kind);

private:
    void ClampSize();
    // Grows the block beyond needed bytes: at least 2048 bytes more, and at least half as
    // much again, so that a stream written in small pieces is not copied over and over.
    gCResult GrowBeyond(int64_t needed);
    int64_t Remaining() const { return m_size - m_position; }
    // Where a read that ran past the data leaves the position.
    gCResult FailedRead();

    int64_t m_size = 0;
    int64_t m_position = 0;
    int32_t m_owns = 1;
    CMemBlock* m_block = nullptr;
};
