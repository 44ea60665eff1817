// Every change that the installer makes to the file system is announced here after it was
// made, so that a watcher can stop the process between two of them (the crash tests) or
// change the world at an exact point.
#pragma once
#include "gCString.h"

enum class FileOperation {
    RemoveStale,  // a left-over ".old" or ".tmp" deleted
    RestoreStale, // a left-over ".old" moved back to its missing target
    MakeWritable,
    CreateFolder,
    CreateNew, // a ".tmp" file opened for writing
    FinishNew, // its bytes written and the file closed
    KeepOld,   // a target moved to its ".old"
    MoveNew,   // a ".tmp" moved to its target
    DeleteOld,
    RollBack, // one step of putting the installation back
};

typedef void (*FileOperationHook)(FileOperation operation, const gCString& path, void* context);

// Null to stop watching.
void SetFileOperationHook(FileOperationHook hook, void* context);
void NoteFileOperation(FileOperation operation, const gCString& path);
