// A list of images from the resource file, in file order. The list owns its images.
#pragma once
#include <cstdint>

#include "CImageBase.h"
#include "CMemBlockT.h"
#include "gCResourceObject.h"

class CImageList : public CBodyResource {
public:
    CImageList();
    ~CImageList() override;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    int32_t GetCount() const { return m_images.Count(); }
    // Null outside 0..count-1.
    CImageBase* GetImage(int32_t index) const;

private:
    // A damaged body is reported (23) and leaves the list as it was.
    gCResult ReadBody(CResourceBody body) override;

    CMemBlockT<CImageBase*> m_images;
};
