#include "TestApp.h"

#include <gtest/gtest.h>

TestApp::TestApp(const CAppServices* services) : CApp(services)
{
    m_showMode = SW_SHOWNORMAL;
}

TestApp::~TestApp()
{
    if (CWindowBase* window = GetMainWindow())
        window->Close();
    DrainQuit();
}

gCResult TestApp::OpenTestWindow(IWindowContent* content)
{
    return OpenMainWindowAt(content, 103, kWindowCentreX | kWindowCentreY, 640.0f, 240.0f, -1.0f, -1.0f, nullptr, 0);
}

gCResult TestApp::OpenPlainWindow()
{
    return OpenMainWindow(new FakeContent(), 0, 320, 200, "Test Window", 1);
}

void TestApp::SetProgramFolder(const std::wstring& folder)
{
    EXPECT_EQ(m_programFolder.SetText(folder.c_str()), kOk);
    m_secondFolder = m_programFolder;
}

gCResult TestApp::OnStart(gCString commandLine)
{
    log.push_back("OnStart");
    commandLineSeen = commandLine.Text();
    return onStart ? onStart(*this) : kOk;
}

gCResult TestApp::OnAppTick()
{
    ++appTicks;
    return onAppTick ? onAppTick(*this) : kOk;
}

gCResult TestApp::OnFilesDropped(gCStringArray& names)
{
    for (int32_t i = 0; i < names.Count(); ++i)
        dropped.push_back(names[i].Text());
    return CApp::OnFilesDropped(names);
}
