// A list of images from the resource file, in file order. The list owns its images.
#pragma once
#include <cstdint>
#include <memory>

#include "CImageBase.h"
#include "gCResourceObject.h"

class CImageList : public CBodyResource {
public:
    CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    int32_t GetCount() const { return m_count; }
    // Null outside 0..count-1.
    CImageBase* GetImage(int32_t index) const;

private:
    // A damaged body is reported (23) and leaves the list as it was.
    gCResult ReadBody(CResourceBody body) override;

    std::unique_ptr<CImageBase[]> m_images;
    int32_t m_count = 0;
};
