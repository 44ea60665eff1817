// The file system beyond streams: existence tests, delete, copy, move and handing a file or
// an address to the shell. Each turns the platform's answer into a program-wide result code.
// UI thread only: FolderExists briefly changes the process's working folder.
#pragma once
#include <windows.h>

#include "gCBasePath.h"

// True unless the full text names nothing; a folder counts as a file.
bool FileExists(const gCBasePath& path);
bool RelativeFileExists(const gCBasePath& path);
// Whether the folder can be entered; the working folder is always restored.
bool FolderExists(const gCBasePath& folder);
