// Programs of the host machine (Python servers) started from a test program under Wine, and
// the host's names of the test's files.
#pragma once
#include <cstdint>
#include <string>

#include "Programs.h"

// The host's file name of a Windows path; empty when not running under Wine.
std::string UnixName(const std::wstring& dosName);
std::wstring Widen(const std::string& text);
// Starts a command line without waiting for it; false when it could not be started.
bool LaunchHostProgram(const std::wstring& commandLine);
// Whether something accepts connections on the port of 127.0.0.1.
bool PortAnswers(uint16_t port);
// Waits a few seconds for a "<pid> <port>" file that a server writes once it listens.
bool ReadReadyFile(const std::wstring& path, unsigned long& pid, uint16_t& port);
// Ends a process of the host by its id and waits until its port no longer answers.
void StopHostProcess(unsigned long pid, uint16_t port);
