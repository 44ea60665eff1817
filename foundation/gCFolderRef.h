// The path object of a folder: its text always ends with a separator, so a file name can be
// appended directly; it exists when it can be entered, and it can create itself together
// with every missing parent folder.
#pragma once
#include "gCBasePath.h"

class gCFPath;

class gCFolderRef : public gCBasePath {
public:
    gCFolderRef();

    bool Exists() const override;
    // 0 when the folder exists afterwards; 2 when a missing folder has no parent to start
    // from; 24 when it could not be made (parents made before the failure stay).
    gCResult Create() override;
    // Appends '\' unless the text ends with '\' or '/'; the empty text becomes "\".
    gCResult SetPath(const gCString& text) override;

    // 0, or 2 when there is no parent text (the out folder is then left alone). The root of
    // a drive is its own parent.
    gCResult GetParent(gCFolderRef& out) const;
    // This folder becomes the folder part of the file's full text.
    gCResult SetToFolderOf(const gCFPath& file);
    // The out path's text becomes this folder's text followed directly by the name.
    gCResult BuildFilePath(const gCString& fileName, gCFPath& out) const;
};

// The drive and folder part of a folder text, after one trailing separator is dropped; the
// last name is not returned. Either out may be null. 6 for an empty text.
gCResult SplitFolderPath(const gCString& text, gCString* drive, gCString* folder);
