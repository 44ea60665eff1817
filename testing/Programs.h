// The test program's own folder, and other programs run to their end from a test.
#pragma once
#include <windows.h>

#include <string>

// The folder of the running program, ending with '\'.
std::wstring ProgramFolder();

const DWORD kProgramNotStarted = 0xFFFFFFFF;
const DWORD kProgramEnded = 0xFFFFFFFE;

// Runs a command line and waits a minute at most for its end: its exit code, or
// kProgramNotStarted, or kProgramEnded when it had to be ended. A program of the host (under
// Wine) is only started: 0.
DWORD RunProgram(std::wstring commandLine);
// Writes the text source as "source.txt" into the folder (ending with '\') and runs the data-file
// compiler found beside the test program on it (vsfbuild.exe or vrfbuild.exe), which writes the
// output file: the compiler's exit code.
DWORD CompileDataFile(const wchar_t* compiler, const std::wstring& folder, const std::string& source,
                      const std::wstring& output);
