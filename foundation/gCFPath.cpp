#include "gCFPath.h"

#include "PathSplit.h"

gCFPath::gCFPath(const gCString& text, int32_t kind, uint32_t typeCode, uint32_t creatorCode)
    : gCBasePath(text, kind), m_typeCode(typeCode), m_creatorCode(creatorCode)
{
}

void gCFPath::Clear()
{
    gCBasePath::Clear();
    m_typeCode = kUnknownFileType;
    m_creatorCode = kUnknownFileType;
}

gCResult gCFPath::SetFilePath(const gCString& text)
{
    return StoreText(text);
}

gCResult gCFPath::SetPathText(const gCString& text)
{
    return StoreText(text);
}

gCResult gCFPath::SplitForSetter(const gCString& argument, Parts& parts) const
{
    if (!IsValid())
        return kInvalidObject;
    if (argument.IsEmpty())
        return kBadParameter;
    return SplitFull(parts);
}

gCResult gCFPath::StoreJoined(const Parts& parts)
{
    gCString joined;
    QV_RETURN_IF_FAILED(JoinPath(parts.drive, parts.folder, parts.name, parts.extension, joined));
    return SetFilePath(joined);
}

gCResult gCFPath::SetName(const gCString& name)
{
    Parts parts;
    QV_RETURN_IF_FAILED(SplitForSetter(name, parts));
    QV_RETURN_IF_FAILED(parts.name.SetString(name));
    return StoreJoined(parts);
}

gCResult gCFPath::SetFolder(const gCString& folder)
{
    Parts parts;
    QV_RETURN_IF_FAILED(SplitForSetter(folder, parts));
    gCString newDrive;
    QV_RETURN_IF_FAILED(SplitPath(folder, &newDrive, &parts.folder, nullptr, nullptr));
    if (!newDrive.IsEmpty())
        QV_RETURN_IF_FAILED(parts.drive.SetString(newDrive));
    return StoreJoined(parts);
}

gCResult gCFPath::SetDrive(const gCString& drive)
{
    Parts parts;
    QV_RETURN_IF_FAILED(SplitForSetter(drive, parts));
    // Only the letter counts, also towards the length limit.
    QV_RETURN_IF_FAILED(parts.drive.SetTextN(drive.Text(), 1));
    return StoreJoined(parts);
}

gCResult gCFPath::SetExtension(const gCString& extension, int32_t addIfNone, uint32_t typeCode)
{
    Parts parts;
    QV_RETURN_IF_FAILED(SplitForSetter(extension, parts));
    m_typeCode = typeCode == kUnknownFileType ? GetFileTypeOfPath(extension) : typeCode;
    if (!parts.extension.IsEmpty() || addIfNone != 0)
        QV_RETURN_IF_FAILED(parts.extension.SetString(extension));
    return StoreJoined(parts);
}

gCResult gCFPath::SetFileType(int32_t typeIndex, int32_t addIfNone, const gCString& extension, uint32_t typeCode)
{
    if (!IsValid())
        return kInvalidObject;
    const uint32_t index = static_cast<uint32_t>(typeIndex);
    if (index > 23)
        return kBadParameter;
    Parts parts;
    QV_RETURN_IF_FAILED(SplitFull(parts));
    if (!parts.extension.IsEmpty() || addIfNone != 0)
        QV_RETURN_IF_FAILED(
            parts.extension.SetText(extension.IsEmpty() ? gFileTypeExtensions[index] : extension.Text()));
    m_typeCode = typeCode == 0 ? gFileTypeCodes[index] : typeCode;
    return StoreJoined(parts);
}

gCResult gCFPath::SplitFull(Parts& parts) const
{
    if (!IsValid())
        return kInvalidObject;
    // A valid path has a full text: an empty one means its copy found no memory.
    gCString full = GetPath();
    if (full.IsEmpty())
        return kOutOfMemory;
    return SplitPath(full, &parts.drive, &parts.folder, &parts.name, &parts.extension);
}

gCString gCFPath::GetFolder() const
{
    Parts parts;
    return SplitFull(parts) == kOk ? JoinTexts(parts.drive, parts.folder) : gCString(L"");
}

gCString gCFPath::GetDrive() const
{
    Parts parts;
    return SplitFull(parts) == kOk ? parts.drive : gCString(L"");
}

gCString gCFPath::GetName() const
{
    Parts parts;
    return SplitFull(parts) == kOk ? parts.name : gCString(L"");
}

gCString gCFPath::GetExtension() const
{
    Parts parts;
    return SplitFull(parts) == kOk ? parts.extension : gCString(L"");
}

gCString gCFPath::GetFileName() const
{
    Parts parts;
    return SplitFull(parts) == kOk ? JoinTexts(parts.name, parts.extension) : gCString(L"");
}

gCString gCFPath::GetPathString() const
{
    return GetPath();
}

bool gCFPath::IsInside(const gCBasePath& other) const
{
    gCString mine = GetPath();
    gCString theirs = other.GetPath();
    // An empty folder holds nothing, rather than everything.
    if (theirs.IsEmpty() || theirs.Length() >= mine.Length())
        return false;
    gCString prefix = mine.Left(theirs.Length());
    prefix.MakeUpper();
    theirs.MakeUpper();
    return prefix.Length() == theirs.Length() && prefix == theirs;
}

gCString gCFPath::GetRelativePart(const gCBasePath& other) const
{
    gCString mine = GetPath();
    const int32_t otherLength = other.GetPath().Length();
    if (otherLength >= mine.Length())
        return gCString(L"");
    return mine.Right(mine.Length() - otherLength);
}
