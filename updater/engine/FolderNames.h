// The names in the folders of an installation, each folder read in one pass, to tell that a
// path is not there without looking for it: on some systems a look for a missing name searches
// its whole folder, and the installer asks that of several names per file. Only an absence is
// answered; whatever the folders cannot tell is looked at as ever.
#pragma once
#include <cstdint>

#include "CMemBlockT.h"
#include "gCString.h"
#include "gCStringArray.h"

class CFolderNames {
public:
    // absent: the path's folder was read, now or before, and held no name like the path's last
    // part, case aside; not for a folder that cannot be read or a name that a listing may not
    // show. 0; 5 when memory runs out.
    gCResult SurelyAbsent(const gCString& path, bool& absent);
    // After a change that made a name: every folder is read again when next asked.
    void Forget();

private:
    bool IsRead(const wchar_t* folder, int32_t length) const;
    // 0 also when the folder cannot be read, then with read false; 5.
    gCResult Read(const wchar_t* folder, int32_t length, bool& read);
    // Puts the names from before on into the order of those before them. 0; 5.
    gCResult OrderAdded(int32_t before);
    bool Holds(const wchar_t* path, int32_t length) const;

    gCStringArray m_folders;     // each with its last separator
    gCStringArray m_paths;       // every name found, as a whole path
    CMemBlockT<int32_t> m_order; // m_paths in the file system's order of names
};
