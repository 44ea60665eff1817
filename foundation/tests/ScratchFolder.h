// A fresh folder under the system's temporary folder for one test, removed with everything
// in it when the test ends. Its text ends with '\'.
#pragma once
#include <windows.h>

#include <string>

class ScratchFolder
{
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + name; }
    // Writes a file of the given bytes; false on failure.
    bool WriteFile(const std::wstring& name, const std::string& bytes) const;
    bool ReadFile(const std::wstring& name, std::string& bytes) const;

  private:
    std::wstring m_path;
};

// A Win32 file handle that closes itself.
class ScopedHandle
{
  public:
    explicit ScopedHandle(HANDLE handle) : m_handle(handle) {}
    ~ScopedHandle()
    {
        if (IsValid())
            CloseHandle(m_handle);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE Get() const { return m_handle; }

  private:
    HANDLE m_handle;
};

// The working folder, as the system reports it.
std::wstring CurrentFolder();
// The folder of the running test program, ending with '\'.
std::wstring ProgramFolder();
