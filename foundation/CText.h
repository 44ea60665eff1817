// One text from the resource file (type tag 'text'); its body is UTF-16 units ended by a 0
// unit.
#pragma once
#include "ResourceTags.h"
#include "gCResourceObject.h"

class CText : public gCResourceObject {
public:
    CText() : gCResourceObject(kTagText) {}

    gCResult LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory) override;
    gCResult LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory) override;

    const gCString& GetText() const { return m_text; }

private:
    // A failure is reported (23 with a detail line) and the stream's code returned; the text
    // stays as it was.
    gCResult ReadBody(gCStream& stream);

    gCString m_text;
};
