// A file path held as given, with a four-character file type code and creator code. Every
// getter and setter works on the full text (GetPath).
#pragma once
#include <cstdint>

#include "FileTypeTable.h"
#include "gCBasePath.h"

class gCFPath : public gCBasePath {
public:
    explicit gCFPath(const gCString& text = gCString(), int32_t kind = kPathKindFile,
                     uint32_t typeCode = kUnknownFileType, uint32_t creatorCode = kUnknownFileType);

    void Clear() override;

    // Both store the text as given, with no conversion, in every class of file path.
    virtual gCResult SetFilePath(const gCString& text);
    virtual gCResult SetPathText(const gCString& text);

    // The part setters: 8 for a path that is not valid, 6 for an empty argument or a joined
    // text past the limits; otherwise the new text is stored. On failure the text stays.
    virtual gCResult SetName(const gCString& name);
    // A folder argument must end with a separator: its last name counts as a file name.
    virtual gCResult SetFolder(const gCString& folder);
    virtual gCResult SetDrive(const gCString& drive);
    // Type index 0..23 of the file-type table; an empty extension takes the row's, a type
    // code of 0 the row's code. A path without extension keeps none unless addIfNone is set.
    virtual gCResult SetFileType(int32_t typeIndex, int32_t addIfNone, const gCString& extension, uint32_t typeCode);
    // A type code of '????' is looked up from the extension.
    virtual gCResult SetExtension(const gCString& extension, int32_t addIfNone, uint32_t typeCode);

    // Drive and folder ("C:\A\").
    virtual gCString GetFolder() const;
    // "C:".
    virtual gCString GetDrive() const;
    // Without extension.
    virtual gCString GetName() const;
    // With its dot.
    virtual gCString GetExtension() const;
    // Name and extension.
    virtual gCString GetFileName() const;
    // The text that streams open: GetPath's.
    virtual gCString GetPathString() const;

    // Whether the other full text is a shorter prefix of this one, ignoring case; an empty
    // other holds nothing.
    virtual bool IsInside(const gCBasePath& other) const;
    // The tail of this full text past the other's length; "" when the other is not shorter.
    // It does not compare: test IsInside first.
    virtual gCString GetRelativePart(const gCBasePath& other) const;

    uint32_t GetTypeCode() const { return m_typeCode; }
    uint32_t GetCreatorCode() const { return m_creatorCode; }
    void SetTypeCode(uint32_t code) { m_typeCode = code; }
    void SetCreatorCode(uint32_t code) { m_creatorCode = code; }

private:
    struct Parts {
        gCString drive, folder, name, extension;
    };
    // The full text split into its parts: 8 when not valid.
    gCResult SplitFull(Parts& parts) const;
    // As SplitFull, and 6 for an empty argument.
    gCResult SplitForSetter(const gCString& argument, Parts& parts) const;
    gCResult StoreJoined(const Parts& parts);

    uint32_t m_typeCode;
    uint32_t m_creatorCode;
};
