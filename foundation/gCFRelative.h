// A file path stored relative to one of the application's two folders; its full text is the
// folder followed directly by the stored text, computed afresh each time, so a change of the
// folder moves the path with it. Texts of the resource-path form ("Resources:system.vsf") use
// ':' for '\' and are converted when constructed from a text or set through SetPath.
#pragma once
#include "gCFPath.h"

class gCFRelative : public gCFPath {
public:
    gCFRelative();
    // Selector 0: the program folder; any other value: the second folder.
    explicit gCFRelative(const gCString& text, int32_t baseSelector = 0);
    static gCFRelative gCFRelativeFromString(const gCString& text, int32_t baseSelector);

    void Clear() override;
    bool Exists() const override;
    gCResult SetPath(const gCString& text) override;
    // Base folder + stored text; "" when the stored text is empty.
    gCString GetPath() const override;

    int32_t GetBaseSelector() const { return m_baseSelector; }
    void SetBaseSelector(int32_t selector) { m_baseSelector = selector; }

private:
    gCString BaseFolder() const;

    int32_t m_baseSelector;
};
