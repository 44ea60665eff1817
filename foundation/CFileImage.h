// A file's bytes read whole into memory and read as the file itself would be: texts end at a
// line end, as a gCFile reads them. A program holds its resource file this way, so that no file
// of the program stays open while it runs and its update can replace each in one step.
#pragma once
#include "gCMemFile.h"

class gCBasePath;
class gCFile;

class CFileImage : public gCMemFile {
public:
    CFileImage() : gCMemFile(kStreamKindFileImage) {}

    // Reads the whole file, opened sharing rename and delete and closed again at once. A file
    // longer than maxBytes is refused as one that cannot be opened (14), before anything is
    // allocated for it; after any failure the image is empty.
    gCResult Load(const gCBasePath& path, int64_t maxBytes);

    gCResult ReadText8(gCString& out) override;
    gCResult ReadString(gCString& out) override;

private:
    gCResult ReadWhole(gCFile& file, int64_t maxBytes);
};
