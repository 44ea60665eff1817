// Base of every resource loaded from the resource file (.vrf) by ID or by name. Each class
// sets its four-character type tag in its constructor and loads through the protocol here:
// pick the stream and directory, seek by the directory, locate the chunk, read the body.
#pragma once
#include <cstdint>

#include "CResourceBody.h"
#include "gCCmdTarget.h"
#include "gCStream.h"

class CResourceDirectory;

// Where a resource's body is read from once it has been located.
struct CResourceSource {
    gCStream* stream = nullptr;
    // Null when the load uses no directory.
    CResourceDirectory* directory = nullptr;
    // The first byte after the chunk, cut at the end of the file: the body's bytes end there.
    int64_t end = 0;

    // The body's bytes, from where the stream stands to the end.
    CResourceBody Body() const { return CResourceBody(*stream, end); }
};

class gCResourceObject : public gCCmdTarget {
public:
    explicit gCResourceObject(uint32_t typeTag) : m_typeTag(typeTag) {}
    ~gCResourceObject() override = default;

    // 0.7 unless a class gives it a meaning of its own.
    virtual float QueryFloat() const { return 0.7f; }
    virtual gCResult LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory) = 0;
    virtual gCResult LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory) = 0;

    // Positions the stream (null: the application's resource file) on the body of the first
    // chunk of that type and ID, scanning once round the file from where it stands, and
    // stores the ID and name in the object. 17 without an open file or a file's image, 22 when
    // it is not there.
    static gCResult LoadResourceDataByID(gCResourceObject* object, uint32_t typeTag, uint32_t id, gCStream* stream);
    static gCResult LoadResourceDataByName(gCResourceObject* object, uint32_t typeTag, const gCString& name,
                                           gCStream* stream);

    uint32_t GetID() const { return m_id; }
    uint32_t GetTypeTag() const { return m_typeTag; }
    int32_t IsPooled() const { return m_pooled; }
    void SetPooled(int32_t pooled) { m_pooled = pooled; }
    const gCString& GetName() const { return m_name; }
    const gCString& GetSecondText() const { return m_secondText; }

protected:
    // The protocol's first three steps; on success source.stream stands at the body.
    gCResult LocateByID(uint32_t id, gCStream* stream, CResourceDirectory* directory, CResourceSource& source);
    gCResult LocateByName(const gCString& name, gCStream* stream, CResourceDirectory* directory,
                          CResourceSource& source);

    uint32_t m_id = 0;
    uint32_t m_typeTag;
    int32_t m_pooled = 0;
    gCString m_name;
    gCString m_secondText;

private:
    struct Wanted;
    static gCResult Locate(gCResourceObject* object, const Wanted& wanted, gCStream* stream, int64_t* bodyEnd);
    static gCResult ChooseSource(gCStream* stream, CResourceDirectory* directory, CResourceSource& source);
    static gCResult SeekToOffset(gCStream& stream, int32_t offset);
};

// A resource whose body one reader reads, whether it was found by ID or by name.
class CBodyResource : public gCResourceObject {
public:
    using gCResourceObject::gCResourceObject;
    gCResult LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory) override;
    gCResult LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory) override;

protected:
    // Reports a damaged body (23) and leaves the object as it was.
    virtual gCResult ReadBody(CResourceBody body) = 0;

private:
    gCResult ReadLocated(const CResourceSource& source, uint32_t keptId, gCString& keptName);
};
