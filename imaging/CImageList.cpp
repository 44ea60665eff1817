#include "CImageList.h"

#include <new>
#include <utility>

#include "ResourceTags.h"

CImageList::CImageList() : CBodyResource(kTagImageList) {}

CImageBase* CImageList::GetImage(int32_t index) const
{
    return index >= 0 && index < m_count ? &m_images[index] : nullptr;
}

// Each image is at least its two size words and one pixel, which bounds the count before the
// list is made.
gCResult CImageList::ReadBody(CResourceBody body)
{
    uint32_t count = 0;
    if (!body.ReadU32(count) || count > kMaxImageListCount || !body.Holds(count, 12))
        return body.Fail("Error reading number of images.");
    std::unique_ptr<CImageBase[]> images(new (std::nothrow) CImageBase[count]);
    if (!images)
        return body.Fail("Out of memory for the image list.", kOutOfMemory);
    for (uint32_t i = 0; i < count; ++i)
        QV_RETURN_IF_FAILED(images[i].ReadImage(body));
    m_images = std::move(images);
    m_count = static_cast<int32_t>(count);
    return kOk;
}
