#include "gCResourceObject.h"

#include <utility>

#include "AppHost.h"
#include "CResourceDirectory.h"
#include "RecordText.h"

struct gCResourceObject::Wanted {
    uint32_t tag;
    bool byName;
    uint32_t id;
    const gCString* name;
};

namespace {

gCStream* AppResourceStream()
{
    IAppHost* host = GetAppHost();
    return host ? host->GetResourceStream() : nullptr;
}

CResourceDirectory* AppResourceDirectory()
{
    IAppHost* host = GetAppHost();
    return host ? host->GetResourceDirectory() : nullptr;
}

const int64_t kChunkHeaderBytes = 8;

} // namespace

// Every size in the file is untrusted: a chunk's end is computed in 64 bits and cut at the
// end of the file, every chunk moves the scan on by at least its header, and the scan turns
// back to the start of the file only once.
gCResult gCResourceObject::Locate(gCResourceObject* object, const Wanted& wanted, gCStream* given, int64_t* bodyEnd)
{
    gCStream* stream = given ? given : AppResourceStream();
    if (!ReadsAsFile(stream))
        return kInvalidFile;
    const int64_t length = stream->GetLength();
    const int64_t start = stream->Tell();
    bool wrapped = false;
    for (;;) {
        int64_t chunk = stream->Tell();
        if (chunk < 0)
            return kStreamFailure;
        // Fewer bytes than a chunk header: the chunks end here.
        if (length - chunk < kChunkHeaderBytes) {
            if (wrapped)
                return kResourceNotFound;
            QV_RETURN_IF_FAILED(stream->Rewind());
            wrapped = true;
            continue;
        }
        if (wrapped && chunk >= start)
            return kResourceNotFound;
        uint32_t tag = 0, size = 0;
        QV_RETURN_IF_FAILED(stream->ReadU32(tag));
        QV_RETURN_IF_FAILED(stream->ReadU32(size));
        int64_t next = chunk + kChunkHeaderBytes + static_cast<int64_t>(size);
        next = next < length ? next : length;
        if (tag == wanted.tag) {
            uint32_t id = 0;
            QV_RETURN_IF_FAILED(stream->ReadU32(id));
            if (wanted.byName || id == wanted.id) {
                gCString name;
                QV_RETURN_IF_FAILED(ReadRecordText(*stream, name));
                if (!wanted.byName || name == *wanted.name) {
                    object->m_id = id;
                    if (bodyEnd)
                        *bodyEnd = next;
                    return object->m_name.SetString(name);
                }
            }
        }
        QV_RETURN_IF_FAILED(stream->SetPosition(next));
    }
}

gCResult gCResourceObject::LoadResourceDataByID(gCResourceObject* object, uint32_t typeTag, uint32_t id,
                                                gCStream* stream)
{
    if (!object)
        return kBadParameter;
    return Locate(object, Wanted{typeTag, false, id, nullptr}, stream, nullptr);
}

gCResult gCResourceObject::LoadResourceDataByName(gCResourceObject* object, uint32_t typeTag, const gCString& name,
                                                  gCStream* stream)
{
    if (!object)
        return kBadParameter;
    return Locate(object, Wanted{typeTag, true, 0, &name}, stream, nullptr);
}

gCResult gCResourceObject::ChooseSource(gCStream* stream, CResourceDirectory* directory, CResourceSource& source)
{
    gCStream* appStream = AppResourceStream();
    if (!stream || stream == appStream) {
        CResourceDirectory* appDirectory = AppResourceDirectory();
        source.stream = appStream;
        source.directory = appDirectory && appDirectory->GetCount() > 0 ? appDirectory : nullptr;
    } else {
        source.stream = stream;
        source.directory = directory;
    }
    return source.stream ? kOk : kBadParameter;
}

// A directory hit starts the scan at the wanted chunk; a miss scans from where the stream is.
gCResult gCResourceObject::SeekToOffset(gCStream& stream, int32_t offset)
{
    if (offset == -1 || stream.Tell() == offset)
        return kOk;
    return stream.SetPosition(static_cast<uint32_t>(offset));
}

gCResult gCResourceObject::LocateByID(uint32_t id, gCStream* stream, CResourceDirectory* directory,
                                      CResourceSource& source)
{
    QV_RETURN_IF_FAILED(ChooseSource(stream, directory, source));
    if (source.directory)
        QV_RETURN_IF_FAILED(SeekToOffset(*source.stream, source.directory->FindByID(id)));
    return Locate(this, Wanted{m_typeTag, false, id, nullptr}, source.stream, &source.end);
}

gCResult gCResourceObject::LocateByName(const gCString& name, gCStream* stream, CResourceDirectory* directory,
                                        CResourceSource& source)
{
    QV_RETURN_IF_FAILED(ChooseSource(stream, directory, source));
    if (source.directory)
        QV_RETURN_IF_FAILED(SeekToOffset(*source.stream, source.directory->FindByName(name)));
    return Locate(this, Wanted{m_typeTag, true, 0, &name}, source.stream, &source.end);
}

gCResult CBodyResource::LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory)
{
    CResourceSource source;
    gCString keptName = m_name; // short of memory a refused body leaves the name unset
    const uint32_t keptId = m_id;
    QV_RETURN_IF_FAILED(LocateByName(name, stream, directory, source));
    return ReadLocated(source, keptId, keptName);
}

gCResult CBodyResource::LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory)
{
    CResourceSource source;
    gCString keptName = m_name; // as above
    const uint32_t keptId = m_id;
    QV_RETURN_IF_FAILED(LocateByID(id, stream, directory, source));
    return ReadLocated(source, keptId, keptName);
}

// The located chunk's ID and name belong to its body: a window that takes its fallback size
// for a damaged body must not take that body's name either.
gCResult CBodyResource::ReadLocated(const CResourceSource& source, uint32_t keptId, gCString& keptName)
{
    const gCResult result = ReadBody(source.Body());
    if (result != kOk) {
        m_id = keptId;
        m_name = std::move(keptName);
    }
    return result;
}
