#include "CImageList.h"

#include <cstring>
#include <new>

#include "ResourceTags.h"

namespace {
// Deletes the images of a block when it goes: the new ones after a failure, the old ones after
// they were traded for the new.
class CImageBlockGuard {
public:
    explicit CImageBlockGuard(CMemBlockT<CImageBase*>& images) : m_images(images) {}
    ~CImageBlockGuard()
    {
        for (int32_t i = 0; i < m_images.Count(); ++i)
            delete m_images.Data()[i];
        m_images.Free();
    }
    CImageBlockGuard(const CImageBlockGuard&) = delete;
    CImageBlockGuard& operator=(const CImageBlockGuard&) = delete;

private:
    CMemBlockT<CImageBase*>& m_images;
};
} // namespace

CImageList::CImageList() : CBodyResource(kTagImageList) {}

CImageList::~CImageList()
{
    CImageBlockGuard drop(m_images);
}

CImageBase* CImageList::GetImage(int32_t index) const
{
    return index >= 0 && index < m_images.Count() ? m_images.Data()[index] : nullptr;
}

// Each image is at least its two size words and one pixel, which bounds the count before the
// list is made.
gCResult CImageList::ReadBody(CResourceBody body)
{
    uint32_t count = 0;
    if (!body.ReadU32(count) || count > kMaxImageListCount || !body.Holds(count, 12))
        return body.Fail("Error reading number of images.");
    CMemBlockT<CImageBase*> images;
    CImageBlockGuard drop(images);
    if (images.Resize(static_cast<int32_t>(count)) != kOk)
        return body.Fail("Out of memory for the image list.", kOutOfMemory);
    std::memset(images.Data(), 0, sizeof(CImageBase*) * count);
    for (uint32_t i = 0; i < count; ++i) {
        CImageBase* image = new (std::nothrow) CImageBase;
        if (!image)
            return body.Fail("Out of memory for the image list.", kOutOfMemory);
        images.Data()[i] = image;
        QV_RETURN_IF_FAILED(image->ReadImage(body));
    }
    m_images.Swap(images);
    return kOk;
}
