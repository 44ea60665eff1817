// The updater's window content: the caption, the status list with its coloured rows, the
// progress bar with its percentage and one main button, drawn into the back buffer. Its name
// (the window's title), its size and the font it draws with come from the resource file. It is
// the view message target: the engine's status lines and progress reach it as toolkit
// messages. Every status line is also a line of the results log.
#pragma once
#include <cstdint>

#include "CBackdrop.h"
#include "CFontFace.h"
#include "CResultsLog.h"
#include "CStatusList.h"
#include "CTimeTrack.h"
#include "ProductFacts.h"
#include "gCFont.h"
#include "gCGeometry.h"

class CQVUTransferManager;

// What the window asks of its owner (the application).
class IUpdaterWindowOwner {
public:
    virtual ~IUpdaterWindowOwner() = default;
    // The status panel asks for the update check once the window is open.
    virtual void OnCheckWanted() = 0;
    virtual void OnMainButton() = 0;
    // The window's content is going away with its window.
    virtual void OnWindowClosed() = 0;
    // Localised text n of the chosen language block.
    virtual gCString Text(uint32_t n) const = 0;
};

class CQuorvelUpdaterBackdrop : public CBackdrop {
public:
    // The progress bar's fill and the list's and the bar's trough (ARGB).
    static constexpr uint32_t kBarColour = 0xFF3C78D8;
    static constexpr uint32_t kListColour = 0xFFFFFFFF;
    // The window's resource and its font's in the updater's resource file.
    static const uint32_t kResourceId = 100;
    static const uint32_t kFontId = 200;
    // The size that the window keeps, with the name "Quorvel Updater", when its resource is
    // not there.
    static const int32_t kWidth = 640;
    static const int32_t kHeight = 240;
    // The button's opacity while it waits, and the fade's length in milliseconds.
    static constexpr float kDimmedButton = 0.45f;
    static constexpr float kFadeMs = 600.0f;
    // The least time between two presents of the bar alone; a step within it shows at the
    // next heartbeat.
    static const uint32_t kBarPresentMs = 40;

    CQuorvelUpdaterBackdrop(IUpdaterWindowOwner* owner, CResultsLog* log);
    ~CQuorvelUpdaterBackdrop() override;

    // Loads the window's name and size from its resource, and the faces from the font
    // resource (each stream null: the application's resource file). What cannot be loaded is
    // replaced: the name and size by the built-in ones, the font by the system's Arial or a
    // face with its metrics; without any face the window draws everything but text. Each part
    // replaced is a line of the results log.
    void LoadResources(gCStream* stream, CResourceDirectory* directory, gCStream* fontStream,
                       CResourceDirectory* fontDirectory);

    // Hands the update request to the manager: the released server, or in test mode the local
    // test server (5 when its name is empty: it could not be read whole).
    gCResult BuildUpdateURL(CQVUTransferManager* manager, const CProductFacts& facts, const gCString& key,
                            bool testMode, const gCString& testServer);
    gCResult PostStatusLine(gCString text, uint32_t colour, uint32_t presentFlag);
    gCResult WriteLogLine(gCString text);
    gCResult SetProgress(float fraction, uint32_t flag);
    gCResult SetCaptionText(gCString text, uint32_t flag);
    gCResult SetButtonText(gCString text);
    // The closing line of an error report: a status line that also becomes the caption.
    gCResult PostColouredLine(gCString text, uint32_t colour);
    // Brings the button from dimmed to full opacity over a moment.
    void FadeButton();
    void SetButtonOpacity(float opacity);
    void RestartAnimations();

    uint32_t OnMessage(uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t flag) override;
    gCResult OnWindowOpen() override;
    // The window at a new size is drawn whole at once, not at the next change of its parts.
    gCResult SetSize(int32_t width, int32_t height, int32_t redraw) override;

    // Where things are drawn, in client coordinates.
    static gCRect CaptionRect() { return {0, 0, kWidth, ListRect().top}; }
    static gCRect ListRect() { return {10, 30, 630, 174}; }
    static gCRect ProgressRect() { return {10, 186, 460, 208}; }
    static gCRect ButtonRect() { return {472, 182, 630, 212}; }
    // The width that a row's text may take, and the width of a text in the window's face (0
    // without one).
    static int32_t RowTextWidth();
    int32_t TextWidth(const gCString& text) const;
    gCRect RowRect(int32_t visibleIndex) const;

    const CStatusList& GetStatusList() const { return m_list; }
    const gCString& GetCaption() const { return m_caption; }
    const gCString& GetButtonText() const { return m_buttonText; }
    float GetProgress() const { return m_progress; }
    bool IsProgressShown() const { return m_progressShown != 0; }
    float GetButtonOpacity() const { return m_buttonOpacity; }
    bool HasFonts() const { return m_body.IsOpen(); }
    bool HasResourceFont() const { return m_fontSource == kResourceFont; }
    // The back buffer as the next present shows it: a bar step that waits for its present is
    // drawn first.
    CImageBase& GetBackBuffer();

    // Draws everything into the back buffer.
    void Render();
    // Draws a bar step that waits first.
    gCResult Present() override;
    HDC GetBackBufferDC() override;

protected:
    gCResult OnKeyDown(int32_t& handled, int32_t code) override;
    gCResult OnMouse(int32_t& handled, MouseEvent event, const gCPoint& point) override;
    gCResult OnMouseWheel(int32_t& handled, const gCPoint& delta, const gCPoint& screen) override;
    gCResult OnHeartbeat() override;

private:
    enum FontSource { kResourceFont, kSystemFont, kNoFont };

    enum Part { kCaptionPart, kListPart, kButtonPart };

    // Draws the part again and marks its area.
    gCResult Changed(uint32_t presentFlag, Part part);
    // Draws the bar when a step of it waits to be shown.
    void DrawWaitingBar();
    // Adds the line as rows that fit the list, cut after a space where one fits.
    gCResult AddWrapped(const gCString& text, uint32_t colour);
    // How many of the text's first characters fit in a row.
    int32_t FittingLength(const gCString& text) const;
    void PresentBar(uint32_t now);
    void FillRect(const gCRect& rect, uint32_t colour);
    void FrameRect(const gCRect& rect, uint32_t colour);
    void DrawCaption();
    void DrawList();
    void DrawProgress();
    void DrawButton();

    IUpdaterWindowOwner* m_owner;
    CResultsLog* m_log;
    FontSource m_fontSource = kNoFont;
    // Declared before the faces that read its bytes.
    gCFont m_font;
    CFontFace m_body;
    CFontFace m_heading;
    CStatusList m_list;
    gCString m_caption;
    gCString m_buttonText;
    float m_progress = 0.0f;
    int32_t m_progressShown = 0;
    // The bar's last present, and a step drawn since that waits for the heartbeat.
    uint32_t m_barPresentedAt = 0;
    int32_t m_barWaiting = 0;
    // The bar in the back buffer is older than the progress: drawn when it is shown.
    int32_t m_barStale = 0;
    float m_buttonOpacity = 1.0f;
    // The button's fade from dimmed to full opacity.
    CTimeTrack m_fade{kDimmedButton, 1.0f, kFadeMs, 0.0f, kTrackOnce, 0};
    int32_t m_checkAsked = 0;
    int32_t m_buttonPressed = 0;
};
