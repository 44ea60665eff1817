// A list of images from the resource file, in file order. The list owns its images.
#pragma once
#include <cstdint>

#include "CImageBase.h"
#include "CMemBlockT.h"
#include "gCResourceObject.h"

class CImageList : public gCResourceObject {
public:
    CImageList();
    ~CImageList() override;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // A damaged body is reported (23) and leaves the list as it was.
    gCResult LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory) override;
    gCResult LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory) override;

    int32_t GetCount() const { return m_images.Count(); }
    // Null outside 0..count-1.
    CImageBase* GetImage(int32_t index) const;

private:
    gCResult ReadBody(CResourceBody body);

    CMemBlockT<CImageBase*> m_images;
};
