// The file system beyond streams: existence tests, delete, copy, move and handing a file or
// an address to the shell. Each turns the platform's answer into a program-wide result code.
// UI thread only: FolderExists briefly changes the process's working folder.
#pragma once
#include <windows.h>

#include "gCBasePath.h"

// False for "" and for a text with an embedded 0, which the system would read cut short, as
// another path.
bool IsWholePathText(const gCString& text);

// True unless the full text names nothing; a folder counts as a file.
bool FileExists(const gCBasePath& path);
// The same tests of a full text; they ask for no memory, so they never answer "no" for
// want of it.
bool FileTextExists(const gCString& text);
bool FolderTextExists(const gCString& text);
bool RelativeFileExists(const gCBasePath& path);
// Whether the folder can be entered; the working folder is always restored.
bool FolderExists(const gCBasePath& folder);

// The running program's full path; false when the system cannot give it whole.
bool GetOwnProgramPath(wchar_t (&path)[MAX_PATH]);

// 0, or 16 whatever the system's reason.
gCResult DeletePathFile(const gCString& path);
// 6 for a path that is not valid, else as DeletePathFile on its full text.
gCResult DeletePath(const gCBasePath& path);

// 0; 9 when the source is missing; 18 when the target exists and failIfExists is set;
// otherwise 16.
gCResult CopyPathFile(const gCString& source, const gCString& target, int32_t failIfExists);
gCResult CopyPath(const gCBasePath& source, const gCBasePath& target, int32_t failIfExists);

// The target must not exist. 0; 9 when the source is missing; 14 when it is held open;
// 18 when the target exists; otherwise 16. A durable move is on the disk when it returns.
enum class MoveDurability { kCached, kWriteThrough };
gCResult MovePathFile(const gCString& source, const gCString& target,
                      MoveDurability durability = MoveDurability::kCached);
// The same in the place of an existing target, in one step: at no moment is the target
// missing. 0; 9 when the source is missing; 14 when the source is held open; 16 when the
// target is (the system refuses access to it), 18 or 16 for any other refusal.
gCResult ReplacePathFile(const gCString& source, const gCString& target,
                         MoveDurability durability = MoveDurability::kCached);

// Opens a file, or starts a program with the parameters ("" for none), through the shell,
// owned by the main window when there is one. 0 once the shell has started it; 9 not found;
// 6 refused or not associated; 5 out of memory; 25 not a program; 1 any other failure.
gCResult ShellOpen(const gCString& fileOrAddress, const gCString& parameters);
// The result code of a value returned by ShellExecuteW.
gCResult ShellResultCode(INT_PTR shellResult);
