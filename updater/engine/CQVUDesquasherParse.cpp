// Reading the container and parsing the unpacked archive's header, script and file table.
#include <cwchar>
#include <utility>

#include "AppHost.h"
#include "ArchiveFormat.h"
#include "ArchiveLimits.h"
#include "ArchiveNames.h"
#include "CQVUCompressor.h"
#include "CQVUDesquasher.h"
#include "CSpanReader.h"
#include "LocalTextIds.h"
#include "PathSplit.h"
#include "gCMemFile.h"

using namespace QVUArchive;

namespace {

gCResult ReadTags(gCStream& stream, uint32_t first, uint32_t second)
{
    uint32_t a = 0;
    uint32_t b = 0;
    QV_RETURN_IF_FAILED(stream.ReadU32(a));
    QV_RETURN_IF_FAILED(stream.ReadU32(b));
    return a == first && b == second ? kOk : kGenericFailure;
}

// Adds a path to one of the lists, failing rather than keeping a copy lost to memory.
gCResult AddPath(gCArray<gCFRef>& paths, const gCString& base, const wchar_t* suffix)
{
    gCString text;
    QV_RETURN_IF_FAILED(text.SetString(base));
    QV_RETURN_IF_FAILED(text.AppendText(suffix));
    QV_RETURN_IF_FAILED(paths.AddDefault());
    gCResult stored = paths[paths.Count() - 1].SetFilePath(text);
    if (stored != kOk)
        paths.RemoveAt(paths.Count() - 1);
    return stored;
}

// A UTF-16 text that must end with a 0 unit inside the reader's window.
gCResult ReadTerminatedName(CSpanReader& reader, gCString& name)
{
    gCString text;
    QV_RETURN_IF_FAILED(text.SetText(L""));
    for (;;) {
        uint16_t unit = 0;
        QV_RETURN_IF_FAILED(reader.ReadU16(unit));
        if (unit == 0)
            break;
        QV_RETURN_IF_FAILED(text.AppendChar(static_cast<wchar_t>(unit)));
    }
    name = text;
    return name.IsUnset() ? kOutOfMemory : kOk;
}

} // namespace

gCResult CQVUDesquasher::ReadArchiveFile(gCStream& archive)
{
    PostLine(Text(kTextReadingArchive), kLineBlack);
    QV_RETURN_IF_FAILED(archive.Rewind());
    const int64_t length = archive.GetLength();
    if (length < 0)
        return kOutOfRange;
    QV_RETURN_IF_FAILED(CheckSizeMax100M(static_cast<uint64_t>(length)));
    QV_RETURN_IF_FAILED(ReadTags(archive, kContainerMagic1, kContainerMagic2));
    uint32_t format = 0;
    QV_RETURN_IF_FAILED(archive.ReadU32(format));
    if (format != kContainerFormat)
        return kGenericFailure;

    if (length < kContainerOverhead)
        return kOutOfMemory;
    const uint32_t packedSize = static_cast<uint32_t>(length - kContainerOverhead);
    // A body received into memory is decoded where it lies: a copy would cost its size again.
    const gCMemFile* memory = dynamic_cast<const gCMemFile*>(&archive);
    const uint8_t* packed = memory ? memory->GetData() : nullptr;
    CMemBlockT<char> block;
    if (packed) {
        packed += archive.Tell();
        QV_RETURN_IF_FAILED(archive.SetPosition(archive.Tell() + packedSize));
    } else {
        if (block.Resize(static_cast<int32_t>(packedSize)) != kOk)
            return kOutOfMemory;
        if (packedSize > 0)
            QV_RETURN_IF_FAILED(archive.ReadBytes(block.Data(), packedSize));
        packed = reinterpret_cast<const uint8_t*>(block.Data());
    }
    QV_RETURN_IF_FAILED(ReadTags(archive, kContainerMagic1, kContainerMagic2));

    PostLine(Text(kTextUnpackingArchive), kLineBlack);
    return CQVUCompressor().Decompress(packed, packedSize, m_unpacked);
}

void CQVUDesquasher::ClearParse()
{
    m_tempPaths.Release();
    m_oldPaths.Release();
    m_targetPaths.Release();
    m_sizes.Release();
    m_entryFlags.Release();
    m_madeFolders.Release();
    m_newProofs.Release();
    m_oldProofs.Release();
    // Values of an earlier archive must not leak into this one (a program to start, above all).
    for (gCString& value : m_scriptValues)
        value.Clear();
    m_scriptText.Clear();
}

gCResult CQVUDesquasher::SetTargetFolder()
{
    IAppHost* app = GetAppHost();
    // A folder text lost to memory, or none, would put the installation at the drive's root.
    const gCString folder = app ? app->GetSecondFolder() : gCString(L"");
    if (folder.IsUnset())
        return kOutOfMemory;
    if (folder.IsEmpty())
        return kBadParameter;
    return m_targetFolder.SetPath(folder);
}

gCResult CQVUDesquasher::ParseUpdateArchive()
{
    ClearParse();
    QV_RETURN_IF_FAILED(SetTargetFolder());
    PostLine(Text(kTextReadingContents), kLineBlack);

    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(m_unpacked.Data());
    const uint64_t total = static_cast<uint64_t>(m_unpacked.Count());
    uint32_t magic1 = 0, magic2 = 0, version = 0, tableSize = 0, scriptUnits = 0;
    {
        CSpanReader first(bytes, total < kFirstHeaderWindow ? total : kFirstHeaderWindow);
        QV_RETURN_IF_FAILED(first.ReadTags(kArchiveMagic1, kArchiveMagic2));
        QV_RETURN_IF_FAILED(first.ReadU32(version));
        if (version != kArchiveVersion) {
            gCString line = Text(kTextArchiveVersion);
            if (line.AppendText(L"A: ") != kOk || AppendDecimal(line, kArchiveVersion) != kOk ||
                line.AppendText(L", F: ") != kOk || AppendDecimal(line, version) != kOk)
                line.Clear();
            PostLine(std::move(line), kLineRed);
            return kGenericFailure;
        }
        QV_RETURN_IF_FAILED(first.ReadU32(tableSize));
        QV_RETURN_IF_FAILED(first.ReadU32(scriptUnits));
        QV_RETURN_IF_FAILED(CheckSizeMax64K(tableSize));
        QV_RETURN_IF_FAILED(CheckSizeMax64K(scriptUnits));
    }

    m_headerSize = kFixedHeaderSize + 2 * scriptUnits + tableSize;
    CSpanReader header(bytes, total < m_headerSize ? total : m_headerSize);
    QV_RETURN_IF_FAILED(header.ReadU32(magic1));
    QV_RETURN_IF_FAILED(header.ReadU32(magic2));
    if (magic1 != kArchiveMagic1 || magic2 != kArchiveMagic2)
        return kGenericFailure;
    QV_RETURN_IF_FAILED(header.ReadU32(version));
    QV_RETURN_IF_FAILED(header.ReadU32(m_tableSize));
    QV_RETURN_IF_FAILED(header.ReadU32(scriptUnits));

    const uint8_t* script = nullptr;
    QV_RETURN_IF_FAILED(header.Take(2ull * scriptUnits + 4, script));
    // The text ends at its first 0: one whose first unit is 0 is empty, no script. A lone mark
    // is a script without lines.
    if (scriptUnits == 0 || (script[0] == 0 && script[1] == 0))
        return kGenericFailure;
    // A first unit of 0xFFFE marks big-endian text; the first unit is dropped either way.
    const bool swap = script[0] == 0xFE && script[1] == 0xFF;
    QV_RETURN_IF_FAILED(m_scriptText.Reserve(static_cast<int32_t>(scriptUnits)));
    wchar_t* units = m_scriptText.MutableBuffer();
    uint32_t length = 0;
    for (uint32_t i = 1; i < scriptUnits; ++i, ++length) {
        units[length] = swap ? static_cast<wchar_t>((script[2 * i] << 8) | script[2 * i + 1])
                             : static_cast<wchar_t>(script[2 * i] | (script[2 * i + 1] << 8));
        if (units[length] == 0)
            break;
    }
    m_scriptText.SetLength(static_cast<int32_t>(length));

    QV_RETURN_IF_FAILED(header.ReadTags(kTableTag1, kTableTag2));
    uint32_t count = 0;
    QV_RETURN_IF_FAILED(header.ReadU32(count));
    if (count == 0 || count > kMaxEntryCount)
        return kStreamFailure;
    for (uint32_t i = 0; i < count; ++i) {
        (void)m_host.TickNow(); // best effort: keeps the window alive
        QV_RETURN_IF_FAILED(ReadEntry(header));
    }
    QV_RETURN_IF_FAILED(CheckDistinctTargets());
    return ParseScript();
}

// Two entries on one file would keep, replace or restore each other's files.
gCResult CQVUDesquasher::CheckDistinctTargets() const
{
    CMemBlockT<ArchiveName> names;
    QV_RETURN_IF_FAILED(names.Resize(m_targetPaths.Count()));
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        const gCString& target = m_targetPaths[i].GetStoredText();
        names.Data()[i] = {target.Text(), target.Length()};
    }
    return CheckArchiveNamesDistinct(names.Data(), names.Count());
}

gCResult CQVUDesquasher::ReadEntry(CSpanReader& reader)
{
    uint64_t size = 0;
    QV_RETURN_IF_FAILED(reader.ReadU64(size));
    QV_RETURN_IF_FAILED(CheckSizeMax100M(size));
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));
    gCString name;
    QV_RETURN_IF_FAILED(ReadTerminatedName(reader, name));
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));

    gCString trim;
    QV_RETURN_IF_FAILED(trim.SetText(kTrimWhiteSpace));
    name.Trim(trim);
    if (!IsSafeArchiveName(name.Text(), name.Length()))
        return kGenericFailure;
    name.ReplaceChar(L'/', L'\\');
    gCString target;
    QV_RETURN_IF_FAILED(JoinFolderAndName(m_targetFolder.GetStoredText(), name, target));

    gCString log;
    if (log.SetText(L" -- ") != kOk || log.Append(target) != kOk || log.AppendText(L", ") != kOk ||
        AppendDecimal(log, size) != kOk || log.AppendText(L" bytes") != kOk)
        log.Clear();
    LogLine(std::move(log));
    return AddEntry(target, size);
}

gCResult CQVUDesquasher::AddEntry(const gCString& target, uint64_t size)
{
    QV_RETURN_IF_FAILED(AddPath(m_tempPaths, target, L".tmp"));
    QV_RETURN_IF_FAILED(AddPath(m_oldPaths, target, L".old"));
    QV_RETURN_IF_FAILED(AddPath(m_targetPaths, target, L""));
    QV_RETURN_IF_FAILED(m_sizes.Add(size));
    QV_RETURN_IF_FAILED(m_newProofs.Add({size, 0, 0, 0}));
    QV_RETURN_IF_FAILED(m_oldProofs.Add({0, 0, 0, 0}));
    return m_entryFlags.Add(0);
}

gCResult CQVUDesquasher::ParseScript()
{
    gCString trim;
    QV_RETURN_IF_FAILED(trim.SetText(kTrimWhiteSpace));
    const wchar_t* text = m_scriptText.Text();
    const int32_t length = m_scriptText.Length();
    for (int32_t start = 0; start <= length;) {
        int32_t end = start;
        while (end < length && text[end] != L'\r')
            ++end;
        int32_t equals = start;
        while (equals < end && text[equals] != L'=')
            ++equals;
        const int32_t valueStart = equals < end ? equals + 1 : end;
        // Key and value are cut with their results checked: a line lost to memory must fail
        // the parse, not leave its key's value silently empty.
        gCString key;
        gCString value;
        QV_RETURN_IF_FAILED(key.SetTextN(text + start, equals - start));
        QV_RETURN_IF_FAILED(value.SetTextN(text + valueStart, end - valueStart));
        start = end + 1;
        key.Trim(trim);
        value.Trim(trim);
        if (key.IsEmpty())
            continue;
        key.MakeUpper();
        for (int k = 0; k < kScriptKeyCount; ++k) {
            if (!key.Equals(kScriptKeys[k]))
                continue;
            if (k == kOS || k == kBuild)
                value.MakeUpper();
            QV_RETURN_IF_FAILED(m_scriptValues[k].SetString(value));
        }
    }
    const gCString& execute = m_scriptValues[kExecute];
    if (!execute.IsEmpty() && !IsSafeArchiveName(execute.Text(), execute.Length()))
        return kGenericFailure;
    return kOk;
}
