// Reading the container and parsing the unpacked archive's header, script and file table.
#include <cstdio>

#include "AppHost.h"
#include "ArchiveFormat.h"
#include "ArchiveNames.h"
#include "CQVUCompressor.h"
#include "CQVUDesquasher.h"
#include "CSpanReader.h"

using namespace QVUArchive;

namespace {

const wchar_t* const kTrimSet = L"\t \n\r";

gCResult ReadTags(gCStream& stream, uint32_t first, uint32_t second)
{
    uint32_t a = 0;
    uint32_t b = 0;
    QV_RETURN_IF_FAILED(stream.ReadU32(a));
    QV_RETURN_IF_FAILED(stream.ReadU32(b));
    return a == first && b == second ? kOk : kGenericFailure;
}

gCString Decimal(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof(text), "%llu", static_cast<unsigned long long>(value));
    gCString out;
    // Short of memory the text stays unset.
    (void)out.SetAnsi(text);
    return out;
}

// A UTF-16 text that must end with a 0 unit inside the reader's window.
gCResult ReadTerminatedName(CSpanReader& reader, gCString& name)
{
    gCString text(L"");
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
    PostLine(Text(23), kLineBlack);
    QV_RETURN_IF_FAILED(archive.Rewind());
    const int64_t length = archive.GetLength();
    if (length < 0 || static_cast<uint64_t>(length) > kMaxContainerSize)
        return kOutOfRange;
    QV_RETURN_IF_FAILED(ReadTags(archive, kContainerMagic1, kContainerMagic2));
    uint32_t format = 0;
    QV_RETURN_IF_FAILED(archive.ReadU32(format));
    if (format != kContainerFormat)
        return kGenericFailure;

    CMemBlockT<char> block;
    if (length < kContainerOverhead || block.Resize(static_cast<int32_t>(length - kContainerOverhead)) != 0)
        return kOutOfMemory;
    if (block.Count() > 0)
        QV_RETURN_IF_FAILED(archive.ReadBytes(block.Data(), static_cast<uint32_t>(block.Count())));
    QV_RETURN_IF_FAILED(ReadTags(archive, kContainerMagic1, kContainerMagic2));

    PostLine(Text(24), kLineBlack);
    return CQVUCompressor().Decompress(block, m_unpacked);
}

void CQVUDesquasher::ClearParse()
{
    m_tempPaths.Release();
    m_oldPaths.Release();
    m_targetPaths.Release();
    m_sizes.Release();
    m_entryFlags.Release();
    m_madeFolders.Release();
    // Values of an earlier archive must not leak into this one (a program to start, above all).
    for (gCString& value : m_scriptValues)
        value.Clear();
    m_scriptText.Clear();
}

gCResult CQVUDesquasher::ParseUpdateArchive()
{
    ClearParse();
    IAppHost* app = GetAppHost();
    QV_RETURN_IF_FAILED(m_targetFolder.SetPath(app ? app->GetSecondFolder() : gCString(L"")));
    PostLine(Text(25), kLineBlack);

    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(m_unpacked.Data());
    const uint64_t total = static_cast<uint64_t>(m_unpacked.Count());
    uint32_t magic1 = 0, magic2 = 0, version = 0, tableSize = 0, scriptUnits = 0;
    {
        CSpanReader first(bytes, total < kFirstHeaderWindow ? total : kFirstHeaderWindow);
        QV_RETURN_IF_FAILED(first.ReadTags(kArchiveMagic1, kArchiveMagic2));
        QV_RETURN_IF_FAILED(first.ReadU32(version));
        if (version != kArchiveVersion) {
            gCString line = Text(73);
            // Short of memory the line is shorter.
            (void)line.AppendText(L"A: ");
            (void)line.Append(Decimal(kArchiveVersion));
            (void)line.AppendText(L", F: ");
            (void)line.Append(Decimal(version));
            PostLine(line, kLineRed);
            return kGenericFailure;
        }
        QV_RETURN_IF_FAILED(first.ReadU32(tableSize));
        QV_RETURN_IF_FAILED(first.ReadU32(scriptUnits));
        if (tableSize > kMaxTableSize || scriptUnits > kMaxScriptUnits)
            return kOutOfRange;
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
    if (scriptUnits == 0)
        return kGenericFailure;
    // A first unit of 0xFFFE marks big-endian text; the first unit is dropped either way. The
    // text ends at its first 0, and an empty one is no script.
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
    if (length == 0)
        return kGenericFailure;

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
    gCArray<gCString> targets;
    for (int32_t i = 0; i < m_targetPaths.Count(); ++i) {
        gCString target = m_targetPaths[i].GetPathString();
        if (target.IsUnset() || targets.Add(target) != 0)
            return kOutOfMemory;
        for (int32_t j = 0; j < i; ++j)
            if (ArchiveNamesCollide(target.Text(), target.Length(), targets[j].Text(), targets[j].Length()))
                return kGenericFailure;
    }
    return kOk;
}

gCResult CQVUDesquasher::ReadEntry(CSpanReader& reader)
{
    uint64_t size = 0;
    QV_RETURN_IF_FAILED(reader.ReadU64(size));
    if (size > kMaxFileSize)
        return kOutOfRange;
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));
    gCString name;
    QV_RETURN_IF_FAILED(ReadTerminatedName(reader, name));
    QV_RETURN_IF_FAILED(reader.ReadTags(kEntryTag1, kEntryTag2));

    name.Trim(gCString(kTrimSet));
    if (!IsSafeArchiveName(name.Text(), name.Length()))
        return kGenericFailure;
    name.ReplaceChar(L'/', L'\\');
    gCString target = gCString::Concat(m_targetFolder.GetPath(), name);
    if (target.IsUnset())
        return kOutOfMemory;

    gCString log(L" -- ");
    // Short of memory the log line is shorter.
    (void)log.Append(target);
    (void)log.AppendText(L", ");
    (void)log.Append(Decimal(size));
    (void)log.AppendText(L" bytes");
    LogLine(log);

    gCFRef targetRef(target);
    gCFRef tempRef(gCString::Concat(target, gCString(L".tmp")));
    gCFRef oldRef(gCString::Concat(target, gCString(L".old")));
    QV_RETURN_IF_FAILED(m_tempPaths.Add(tempRef));
    QV_RETURN_IF_FAILED(m_oldPaths.Add(oldRef));
    QV_RETURN_IF_FAILED(m_targetPaths.Add(targetRef));
    QV_RETURN_IF_FAILED(m_sizes.Add(size));
    return m_entryFlags.Add(0);
}

gCResult CQVUDesquasher::ParseScript()
{
    const gCString trim(kTrimSet);
    const wchar_t* text = m_scriptText.Text();
    const int32_t length = m_scriptText.Length();
    int32_t start = 0;
    for (int32_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != L'\r')
            continue;
        gCString line = m_scriptText.Mid(start, i - start);
        start = i + 1;
        gCString key;
        gCString value;
        if (line.Split(key, value, gCString(L"="), 0) == 1)
            continue;
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
