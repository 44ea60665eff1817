// Root of the path objects: one path text and a kind word, with virtual questions about it.
// Each object owns its text; copies are deep.
#pragma once
#include <cstdint>

#include "gCBaseObject.h"
#include "gCString.h"

class gCFPath;

enum : int32_t {
    kPathKindBase = 0,
    kPathKindFile = 1,
    kPathKindRef = 2,
    kPathKindRelative = 3,
    kPathKindFolder = 4,
};

class gCBasePath : public gCBaseObject {
public:
    explicit gCBasePath(const gCString& text = gCString(), int32_t kind = kPathKindBase);

    // The stored text differs from "".
    virtual bool IsValid() const;
    virtual void Clear();
    virtual bool Exists() const;
    // 10: a bare path cannot make itself.
    virtual gCResult Create();
    // 0, or 5 when memory runs out (the old text stays).
    virtual gCResult SetPath(const gCString& text);
    // The full text.
    virtual gCString GetPath() const;

    int32_t GetKind() const { return m_kind; }
    // The stored text itself, no copy: the full text of every kind but the relative path,
    // whose full text is computed. For callers that must not ask for memory.
    const gCString& GetStoredText() const { return m_text; }

    // Kind, full text (so a relative source gives its full text) and codes of the source;
    // a base selector of the target stays.
    static gCFPath& AssignFrom(gCFPath& target, const gCFPath& source);
    static gCResult SetPathFromString(gCBasePath& path, const gCString& text);
    // The stored text, not the full one.
    static gCString CopyText(const gCBasePath& path);
    static gCString GetName(const gCFPath& path);

protected:
    gCResult StoreText(const gCString& text) { return m_text.SetString(text); }
    const gCString& StoredText() const { return m_text; }

private:
    int32_t m_kind;
    gCString m_text;
};
