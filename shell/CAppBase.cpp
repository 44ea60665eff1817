#include "CAppBase.h"

#include <new>

#include "CAppWindow.h"
#include "FileOps.h"
#include "IWindowContent.h"
#include "SinCos.h"
#include "gCFRelative.h"
#include "gCFile.h"

namespace {
CAppBase* gApp = nullptr;
CWindowBase* gMainWindow = nullptr;

// Everything up to and including the last separator; empty when there is none.
gCString FolderOf(const wchar_t* fileName)
{
    int32_t end = 0;
    for (int32_t i = 0; fileName[i]; ++i)
        if (fileName[i] == L'\\' || fileName[i] == L'/')
            end = i + 1;
    gCString folder;
    if (folder.SetTextN(fileName, end) != kOk)
        folder.Clear();
    return folder;
}
} // namespace

CAppBase* GetApp()
{
    return gApp;
}

CWindowBase* GetMainWindow()
{
    return gApp ? gMainWindow : nullptr;
}

void SetMainWindow(CWindowBase* window)
{
    gMainWindow = window;
}

CAppBase::CAppBase(const CAppServices* services) : m_services(services)
{
    gApp = this;
    SetAppHost(this);

    BuildSinCosTable();
    if (m_services && m_services->start)
        m_services->start();

    wchar_t moduleName[MAX_PATH] = {};
    if (GetOwnProgramPath(moduleName))
        m_programFolder = FolderOf(moduleName);
    else
        // Short of memory the folder stays unset.
        (void)m_programFolder.SetText(L"");
    m_secondFolder = m_programFolder;

    // Short of memory a name stays unset and its load fails.
    (void)m_resourceFolderName.SetText(L"Resources");
    (void)m_resourceFileName.SetText(L"system.vrf");
    (void)m_stringTableFileName.SetText(L"system.vsf");
    (void)m_fontResourceFileName.SetText(L"");
    m_purge = 0;
}

CAppBase::~CAppBase()
{
    m_sounds.DeleteAllPlayers();
    for (CResourcePool& pool : m_pools)
        pool.Clear();
    if (m_services && m_services->stop)
        m_services->stop();
    // Clearing cannot fail.
    (void)m_stringTable.Clear();
    m_resourceDirectory.Clear();
    m_fontResourceDirectory.Clear();
    if (m_tablet) {
        delete m_tablet;
        m_tablet = nullptr;
    }
    if (m_purge)
        DeleteAllDeferred();
    if (gApp == this) {
        gApp = nullptr;
        gMainWindow = nullptr;
    }
    if (GetAppHost() == this)
        SetAppHost(nullptr);
    if (GetAppMessageTarget() == this)
        SetAppMessageTarget(nullptr);
    m_deferred[0].Release();
    m_deferred[1].Release();
}

gCResult CAppBase::CreateInstanceMutex(gCString name)
{
    name.Clear();
    return kOk;
}

void CAppBase::SaveCursorState()
{
    if (m_cursorStateSaved)
        return;
    m_savedSystemCursorShown = m_systemCursorShown;
    m_savedOwnCursorShowing = IsOwnCursorShowing() ? 1 : 0;
    m_cursorStateSaved = 1;
    if (!m_savedSystemCursorShown)
        ShowSystemCursor();
}

void CAppBase::RestoreCursorState()
{
    if (!m_cursorStateSaved)
        return;
    m_cursorStateSaved = 0;
    if (m_savedSystemCursorShown)
        ShowSystemCursor();
    else if (m_savedOwnCursorShowing)
        ShowAppCursor();
}

namespace {
IWindowContent* MainContent()
{
    CWindowBase* window = GetMainWindow();
    return window ? window->GetContent() : nullptr;
}
} // namespace

void CAppBase::HideAllCursors()
{
    HideSystemCursor();
    HideAppCursor();
}

void CAppBase::HideAppCursor()
{
    if (IWindowContent* content = MainContent())
        content->HideCursor();
}

void CAppBase::ShowAppCursor()
{
    HideSystemCursor();
    if (IWindowContent* content = MainContent())
        content->ShowCursor();
}

bool CAppBase::IsOwnCursorShowing() const
{
    IWindowContent* content = MainContent();
    return content && content->IsCursorShown() && !m_systemCursorShown;
}

void CAppBase::FollowCursor()
{
    if (!m_cursorFollow)
        return;
    if (IWindowContent* content = MainContent())
        content->UpdateCursorWidget();
}

gCResult CAppBase::TickNow()
{
    gCResult result = OnTick(0);
    return result == kHandled ? kOk : result;
}

gCResult CAppBase::OnFilesDropped(gCStringArray& names)
{
    names.Release();
    return kOk;
}

uint32_t CAppBase::SendAppMessage(uint32_t id, uint32_t a, uint32_t b)
{
    if (uint32_t result = OnNotify(id, a, b))
        return result;
    if (uint32_t result = BroadcastToHub(id, a, b))
        return result;
    if (IWindowContent* content = MainContent())
        return content->BroadcastMessage(id, a, b);
    return 0;
}

namespace {
// Far beyond any program's resources: a size above it is taken for a damaged file system entry,
// and nothing is allocated for it.
const int64_t kMaxResourceFileBytes = 64 * 1024 * 1024;

// "Resources:system.vrf": a file of the resource folder, relative to the program folder.
gCString ResourcePath(const gCString& folder, const gCString& name)
{
    gCString path = gCString::ConcatChar(folder, ':');
    // Short of memory the path stays short and the load fails.
    (void)path.Append(name);
    return path;
}

gCResult LoadResourceImage(CFileImage& image, const gCString& folder, const gCString& name)
{
    return image.Load(gCFRelative(ResourcePath(folder, name), 0), kMaxResourceFileBytes);
}
} // namespace

gCResult CAppBase::Init()
{
    // A program without its resource file, or with one that cannot be read whole, still
    // starts, with no directory and no texts.
    if (LoadResourceImage(m_resourceImage, m_resourceFolderName, m_resourceFileName) != kOk)
        return kOk;
    m_resourceStream = &m_resourceImage;
    QV_RETURN_IF_FAILED(m_resourceDirectory.Read(m_resourceImage));

    const gCString tablePath = ResourcePath(m_resourceFolderName, m_stringTableFileName);
    if (CanOpenForReading(tablePath, 0))
        QV_RETURN_IF_FAILED(m_stringTable.LoadFile(tablePath));

    if (m_fontResourceFileName.IsEmpty())
        QV_RETURN_IF_FAILED(m_fontResourceFileName.SetString(m_resourceFileName));
    // One image serves both when fonts come from the resource file itself.
    if (m_fontResourceFileName == m_resourceFileName) {
        m_fontStream = m_resourceStream;
        return kOk;
    }
    m_fontStream = &m_fontResourceImage;
    if (LoadResourceImage(m_fontResourceImage, m_resourceFolderName, m_fontResourceFileName) == kOk)
        QV_RETURN_IF_FAILED(m_fontResourceDirectory.Read(m_fontResourceImage));
    return kOk;
}

gCResourceObject* CAppBase::FindPooledResource(int32_t pool, const gCString& name) const
{
    if (pool == -1) {
        for (int32_t i = 0; i < kPoolCount - 1; ++i)
            if (gCResourceObject* found = m_pools[i].FindByName(name))
                return found;
        return nullptr;
    }
    return (pool >= 0 && pool < kPoolCount) ? m_pools[pool].FindByName(name) : nullptr;
}

gCResourceObject* CAppBase::FindPooledResourceByID(int32_t pool, uint32_t id) const
{
    if (pool == -1) {
        for (int32_t i = 0; i < kPoolCount - 1; ++i)
            if (gCResourceObject* found = m_pools[i].FindByID(id))
                return found;
        return nullptr;
    }
    return (pool >= 0 && pool < kPoolCount) ? m_pools[pool].FindByID(id) : nullptr;
}

gCResult CAppBase::AddResource(int32_t pool, gCResourceObject* object)
{
    if (pool < 0 || pool >= kPoolCount)
        return kBadParameter;
    return m_pools[pool].Add(object);
}

gCResult CAppBase::OnTick(uint32_t)
{
    FollowCursor();
    ++m_tickCounter;
    if ((m_tickCounter & 0xFF) == 0)
        m_sounds.RemoveFinished();

    // One count for both walks; a window that goes away during a walk shortens it.
    const int32_t count = m_windows.Count();
    if (IsPaintPending() && GetMainWindow()) {
        for (int32_t i = 0; i < count && i < m_windows.Count(); ++i)
            m_windows[i]->Paint();
    }
    if (m_quit)
        return kOk;
    if (m_purge)
        PurgeDeadObjects();
    if (!m_heartbeatWork)
        return kHandled;
    QV_RETURN_IF_FAILED(OnAppTick());
    if (!GetMainWindow())
        return kOk;
    for (int32_t i = 0; i < count && i < m_windows.Count(); ++i)
        QV_RETURN_IF_FAILED(m_windows[i]->Tick());
    return kOk;
}

gCResult CAppBase::OnStart(gCString commandLine)
{
    commandLine.Clear();
    return kOk;
}

namespace {
// The content's own name is taken as it is: a trip through the ANSI code page would lose every
// character outside it.
gCString WindowTitle(const char* title, IWindowContent* content)
{
    gCString text;
    if (title)
        (void)text.SetAnsi(title); // short of memory the title stays empty
    else if (content)
        text = content->GetContentName();
    return text;
}
} // namespace

gCResult CAppBase::OpenMainWindowAt(IWindowContent* content, int32_t iconId, uint32_t flags, float sx, float sy,
                                    float px, float py, const char* title, int32_t workArea)
{
    CWindowBase* window = CreateMainWindow();
    if (!window)
        return kOutOfMemory;
    CWinWindow* winWindow = static_cast<CWinWindow*>(window);
    SetMainWindow(window);
    if (workArea == 0)
        window->SetFullScreenFlag(1);
    const gCString titleText = WindowTitle(title, content);
    window->SetContent(content, 1);
    if (!winWindow->CreateAt(flags, sx, sy, px, py, titleText, iconId))
        return kGenericFailure;
    return FinishOpening(window);
}

gCResult CAppBase::OpenMainWindow(IWindowContent* content, int32_t iconId, int32_t width, int32_t height,
                                  const char* title, int32_t workArea)
{
    CWindowBase* window = CreateMainWindow();
    if (!window)
        return kOutOfMemory;
    SetMainWindow(window);
    if (workArea == 0)
        window->SetFullScreenFlag(1);
    if (width == 0 && height == 0 && content) {
        gCPoint size = content->GetNaturalSize();
        width = size.x;
        height = size.y;
    }
    const gCString titleText = WindowTitle(title, content);
    window->SetContent(content, 1);
    if (!window->Create(width, height, titleText, iconId))
        return kGenericFailure;
    return FinishOpening(window);
}

gCResult CAppBase::FinishOpening(CWindowBase* window)
{
    if (IWindowContent* content = window->GetContent()) {
        gCResult opened = content->OnWindowOpen();
        if (opened != kOk) {
            window->SetContent(nullptr, 0);
            return opened;
        }
        content->SetReady();
    }
    gCResult shown = window->Show(1);
    if (shown != kOk) {
        window->SetContent(nullptr, 0);
        return shown;
    }
    return kOk;
}

CWindowBase* CAppBase::CreateMainWindow()
{
    return new (std::nothrow) CAppWindow();
}

gCResult CAppBase::CreateTablet()
{
    if (m_tablet)
        return kOk;
    m_tablet = new (std::nothrow) CTabletManager();
    if (!m_tablet)
        return kOutOfMemory;
    return m_tablet->Open();
}

HWND CAppBase::GetMainWindowHandle() const
{
    CWindowBase* window = GetMainWindow();
    return window ? window->GetHandle() : nullptr;
}

gCResult CAppBase::UpdateWindowList(CWindowBase* window, int32_t add)
{
    if (add)
        return m_windows.Add(window);
    for (int32_t i = m_windows.Count() - 1; i >= 0; --i)
        if (m_windows[i] == window)
            m_windows.RemoveAt(i);
    return kOk;
}

void CAppBase::PurgeDeadObjects()
{
    for (gCArray<CDeferredObject*>& list : m_deferred)
        for (int32_t i = 0; i < list.Count(); ++i)
            list[i]->Update();
    for (gCArray<CDeferredObject*>& list : m_deferred) {
        int32_t i = 0;
        while (i < list.Count()) {
            if (list[i]->IsDead()) {
                delete list[i];
                list.RemoveAt(i);
            } else {
                ++i;
            }
        }
    }
}

void CAppBase::DeleteAllDeferred()
{
    for (gCArray<CDeferredObject*>& list : m_deferred) {
        for (int32_t i = 0; i < list.Count(); ++i)
            delete list[i];
        list.Release();
    }
}

gCResult CAppBase::AddDeferred(int32_t list, CDeferredObject* object)
{
    if (list < 0 || list > 1 || !object)
        return kBadParameter;
    QV_RETURN_IF_FAILED(m_deferred[list].Add(object));
    m_purge = 1;
    return kOk;
}
