// Opening files through the system's open and save dialogs, and handing documents to the
// shell. The dialogs are modal, owned by the main window and centred on it.
#pragma once
#include <windows.h>

#include <cstdint>

#include "CFileTypeList.h"
#include "gCFPath.h"
#include "gCFile.h"
#include "gCString.h"

// Opens the file of the path, asking for one with the save dialog first when the path holds
// none: 2 when the user cancelled, 6 when no path came back, else gCFile::OpenOrCreate's result.
gCResult OpenFileForSave(gCFile& file, gCFPath& path, CFileTypeList* list, int32_t mode);
// As OpenFileForSave with the open dialog and gCFile::Open.
gCResult OpenFileForLoad(gCFile& file, gCFPath& path, CFileTypeList* list, int32_t mode);

// Runs the dialog on the path's full text and stores the chosen path: 0, the dialog's failure,
// or 6 when the path is still not valid.
gCResult AskSavePath(gCFPath& path, CFileTypeList* list);
gCResult AskOpenPath(gCFPath& path, CFileTypeList* list);

// The shell's "open" of a document or address, owned by the main window.
gCResult OpenInShell(const gCString& text);

// The text names the initial file, or the initial folder when it has no name part, and
// receives the chosen path. Results: 0; 2 when the user cancelled; otherwise the dialog's
// failure as a result code. With a list, the open dialog preselects the list's selected type
// and reports the chosen filter's type back in it; the save dialog reads the selected value as
// a position (6 when it is none) and leaves it alone.
gCResult ShowOpenFileDialog(gCString& text, CFileTypeList* list);
gCResult ShowSaveFileDialog(gCString& text, CFileTypeList* list);

// The save dialog's extension rule: the chosen path with the extension of the chosen filter
// (1-based) appended when it does not already end with one of that entry's extensions.
gCString ApplySaveExtension(const gCString& chosen, const CFileTypeList& list, int32_t filterIndex);

// The hook of both dialogs: centres the dialog on its owner (or the screen) once it is ready.
UINT_PTR CALLBACK CenterDialogHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// One axis of that placement: centred on the frame, then kept on the screen by its left (top)
// edge first, or else by its right (bottom) edge.
int32_t CentreOnAxis(int32_t frameStart, int32_t frameSize, int32_t dialogSize, int32_t screenSize);
