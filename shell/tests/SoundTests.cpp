// Sound: the WAV reader on memory streams, sound resources from a real resource file played
// through DirectSound, the streaming player on waveOut and its removal by the heartbeat. The
// device tests run where ALSA's null device is configured (QV_SOUND_DEVICE=null); the
// NoSoundDevice tests run again where there is none (QV_SOUND_DEVICE=none).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <thread>

#include "BoxCapture.h"
#include "CResourceFileWriter.h"
#include "CSound.h"
#include "CSoundManager.h"
#include "CSoundPlayer.h"
#include "CTimer.h"
#include "ResultAssert.h"
#include "TestApp.h"
#include "SoundApi.h"
#include "TempFolder.h"
#include "Wait.h"
#include "WinHandle.h"
#include "gCFile.h"
#include "gCMemFile.h"

namespace {

bool SoundEnvironmentIs(const wchar_t* name)
{
    const wchar_t* value = _wgetenv(L"QV_SOUND_DEVICE");
    return value && std::wstring(value) == name;
}

#define REQUIRE_SOUND_ENVIRONMENT(name)                                                                                \
    if (!SoundEnvironmentIs(L"" name))                                                                                 \
    GTEST_SKIP() << "runs with QV_SOUND_DEVICE=" name

Bytes U16(uint16_t value)
{
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
}

Bytes Chunk(const char* tag, const Bytes& content)
{
    return Concat({Ansi(tag), U32(static_cast<uint32_t>(content.size())), content});
}

Bytes Format(uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits, const Bytes& extra = {})
{
    return Chunk("fmt ",
                 Concat({U16(1), U16(channels), U32(rate), U32(rate * blockAlign), U16(blockAlign), U16(bits), extra}));
}

// "RIFF", the size of what follows it, "WAVE" and the chunks.
Bytes Riff(const Bytes& chunks)
{
    return Concat({Ansi("RIFF"), U32(static_cast<uint32_t>(chunks.size() + 4)), Ansi("WAVE"), chunks});
}

Bytes Samples(size_t count, uint8_t first = 1)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(first + i * 7);
    return bytes;
}

// 8-bit mono at 22,050 frames a second.
Bytes SimpleWave(size_t frames)
{
    return Riff(Concat({Format(1, 22050, 1, 8), Chunk("data", Samples(frames))}));
}

void Fill(gCMemFile& stream, const Bytes& bytes)
{
    ASSERT_OK(stream.WriteBytes(bytes.data(), static_cast<uint32_t>(bytes.size())));
    ASSERT_OK(stream.Rewind());
}

// A resource file at the path holding each WAV as a sound resource, named "Click" and so on.
void WriteSoundResources(const gCString& path, std::initializer_list<std::pair<uint32_t, Bytes>> sounds)
{
    CResourceFileWriter file;
    EXPECT_OK(file.AddVersion(2));
    const wchar_t* names[] = {L"Click", L"Chime", L"Other"};
    int index = 0;
    for (const auto& sound : sounds) {
        gCMemFile body;
        Fill(body, Concat({U32(static_cast<uint32_t>(sound.second.size())), sound.second}));
        EXPECT_OK(file.AddResource('audi', sound.first, gCString(names[index++ % 3]), body));
    }
    EXPECT_OK(file.SaveAs(path));
}

gCString WriteSoundResource(const TempFolder& folder, uint32_t id, const Bytes& wave)
{
    gCString path = folder.File(L"sounds.vrf");
    WriteSoundResources(path, {{id, wave}});
    return path;
}

// Waits for something the audio thread does.
bool WaitFor(const std::function<bool()>& done)
{
    return WaitUntil(done, [] { return true; });
}

// A sound streamed from a memory stream that it owns; 8-bit mono unless told otherwise.
class StreamedSound {
public:
    StreamedSound(uint32_t frames, int32_t bits = 8, uint32_t stereo = 0, uint32_t rate = 44100)
    {
        const uint32_t frameSize = (bits == 16 ? 2 : 1) * (stereo ? 2 : 1);
        data = Samples(frames * frameSize);
        Fill(stream, data);
        setFormatResult = sound.SetFormat(bits, stereo, rate, frames);
        sound.SetSourceStream(&stream, 0);
    }
    Bytes data;
    gCMemFile stream;
    CSound sound;
    gCResult setFormatResult;
};

} // namespace

TEST(WaveReader, FormatsChunksAndDamage)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    struct Case {
        const char* what;
        Bytes file;
        gCResult result;
        uint32_t sixteenBit = 0, stereo = 0, rate = 0, frameSize = 0, dataSize = 0;
    };
    const Bytes data = Chunk("data", Samples(12));
    const Bytes pcm8 = Format(1, 22050, 1, 8);
    const Case cases[] = {
        {"8-bit mono", Riff(Concat({pcm8, data})), kOk, 0, 0, 22050, 1, 12},
        {"8-bit stereo", Riff(Concat({Format(2, 11025, 2, 8), data})), kOk, 0, 1, 11025, 2, 12},
        {"16-bit mono", Riff(Concat({Format(1, 44100, 2, 16), data})), kOk, 1, 0, 44100, 2, 12},
        {"16-bit stereo", Riff(Concat({Format(2, 48000, 4, 16), data})), kOk, 1, 1, 48000, 4, 12},
        {"bits 0 with block align 1", Riff(Concat({Format(1, 8000, 1, 0), data})), kOk, 0, 0, 8000, 1, 12},
        {"a longer format chunk", Riff(Concat({Format(1, 22050, 1, 8, U16(0)), data})), kOk, 0, 0, 22050, 1, 12},
        {"a fact chunk is skipped", Riff(Concat({pcm8, Chunk("fact", U32(12)), data})), kOk, 0, 0, 22050, 1, 12},
        {"a partial last frame is dropped", Riff(Concat({Format(2, 8000, 4, 16), Chunk("data", Samples(14))})), kOk, 1,
         1, 8000, 4, 12},
        {"bits 0 with block align 2", Riff(Concat({Format(2, 8000, 2, 0), data})), kInvalidFile},
        {"block align against bits and channels", Riff(Concat({Format(1, 8000, 4, 16), data})), kInvalidFile},
        {"block align 0", Riff(Concat({Format(1, 8000, 0, 8), data})), kInvalidFile},
        {"another chunk before the data", Riff(Concat({pcm8, Chunk("LIST", U32(0)), data})), kInvalidFile},
        {"data first", Riff(Concat({data, pcm8})), kInvalidFile},
        {"not WAVE", Concat({Ansi("RIFF"), U32(40), Ansi("AVI "), pcm8, data}), kInvalidFile},
        {"RIFF size past the end", Concat({Ansi("RIFF"), U32(1000), Ansi("WAVE"), pcm8, data}), kInvalidFile},
        {"data size past the end", Riff(Concat({pcm8, Ansi("data"), U32(13), Samples(12)})), kInvalidFile},
        {"format size past the end", Riff(Concat({Ansi("fmt "), U32(16), U16(1), U16(1), U32(8000)})), kInvalidFile},
        {"format size too small", Riff(Concat({Ansi("fmt "), U32(4), U32(0), data})), kInvalidFile},
        {"fact past the end", Riff(Concat({pcm8, Ansi("fact"), U32(5000), data})), kStreamFailure},
        {"cut after the data tag", Riff(Concat({pcm8, Ansi("data")})), kStreamFailure},
        {"fewer than 20 bytes", Concat({Ansi("RIFF"), U32(8), Ansi("WAVE"), Ansi("fmt")}), kInvalidFile},
        {"not RIFF", Concat({Ansi("OggS"), Samples(40)}), kNotImplemented},
    };
    TestApp app;
    for (const Case& c : cases) {
        gCMemFile stream;
        Fill(stream, c.file);
        CSound sound;
        ASSERT_RESULT(ReadWaveFile(stream, sound), c.result) << c.what;
        if (c.result != kOk)
            continue;
        EXPECT_EQ(sound.IsSixteenBit(), c.sixteenBit) << c.what;
        EXPECT_EQ(sound.IsStereo() != 0, c.stereo != 0) << c.what;
        EXPECT_EQ(sound.GetSampleRate(), c.rate) << c.what;
        EXPECT_EQ(sound.GetFrameSize(), c.frameSize) << c.what;
        EXPECT_EQ(sound.GetDataSize(), c.dataSize) << c.what;
        EXPECT_EQ(sound.GetSourceStream(), nullptr) << c.what;
        CSoundBufferLock lock(sound);
        ASSERT_NE(lock.Data(), nullptr) << c.what;
        ASSERT_EQ(lock.Size(), c.dataSize) << c.what;
        const Bytes expected = Samples(c.dataSize);
        EXPECT_EQ(Bytes(static_cast<uint8_t*>(lock.Data()), static_cast<uint8_t*>(lock.Data()) + lock.Size()), expected)
            << c.what;
    }
}

// The application's own resource file and its directory, as the program loads its two sounds.
TEST(SoundResource, LoadsFromTheApplicationsResourceFilePlaysAndStopsWithinTheBound)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    TempFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder.Path() + L"Resources").c_str(), nullptr));
    const Bytes stereo = Riff(Concat({Format(2, 44100, 4, 16), Chunk("data", Samples(400))}));
    // Ten seconds: still playing when its status is asked.
    const gCString path = folder.File(L"Resources\\system.vrf");
    WriteSoundResources(path, {{90000, SimpleWave(220500)}, {90001, stereo}});
    TestApp app;
    app.SetProgramFolder(folder.Path());
    ASSERT_OK(app.Init());
    ASSERT_OK(app.OpenPlainWindow());
    ASSERT_NE(app.GetSoundManager().GetDevice(), nullptr);
    ASSERT_EQ(app.GetResourceDirectory()->GetCount(), 2);

    std::unique_ptr<CSound> second(CreateSound(90001, nullptr, nullptr));
    std::unique_ptr<CSound> sound(CreateSound(90000, nullptr, nullptr));
    ASSERT_NE(sound, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(sound->GetID(), 90000u);
    EXPECT_EQ(std::wstring(sound->GetName().Text()), L"Click");
    EXPECT_EQ(sound->GetDataSize(), 220500u);
    ASSERT_NE(sound->GetBuffer(), nullptr);
    EXPECT_EQ(second->GetDataSize(), 400u);
    EXPECT_EQ(second->GetFrameSize(), 4u);
    EXPECT_EQ(std::wstring(second->GetName().Text()), L"Chime");

    EXPECT_EQ(sound->Play(0), 0);
    EXPECT_EQ(second->Play(0), 0);
    DWORD status = 0;
    ASSERT_EQ(sound->GetBuffer()->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING));
    // Buffered sounds need no player.
    EXPECT_EQ(app.GetSoundManager().GetPlayerCount(), 0);

    const int64_t before = GetPreciseTime();
    app.GetSoundManager().SoundStop(sound.get());
    const int64_t took = GetPreciseTime() - before;
    ASSERT_EQ(sound->GetBuffer()->GetStatus(&status), DS_OK);
    EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
    // The stop waits for the buffer, never longer than its two seconds.
    EXPECT_LT(took, 2500000);

    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    CSound byName;
    EXPECT_OK(byName.LoadByName(gCString(L"Click"), &file, nullptr));
    EXPECT_EQ(byName.GetID(), 90000u);
    EXPECT_NE(byName.GetBuffer(), nullptr);
}

TEST(SoundResource, FailuresYieldNoSound)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    TempFolder folder;
    CResourceFileWriter writer;
    ASSERT_OK(writer.AddVersion(2));
    gCMemFile damaged;
    const Bytes notWave = Concat({Ansi("OggS"), Samples(40)});
    Fill(damaged, Concat({U32(44), notWave}));
    ASSERT_OK(writer.AddResource('audi', 6, gCString(L"Ogg"), damaged));
    // Last in the file, so that its WAV length runs into the end.
    gCMemFile shortBody;
    Fill(shortBody, U16(7));
    ASSERT_OK(writer.AddResource('audi', 5, gCString(L"Short"), shortBody));
    const gCString path = folder.File(L"bad.vrf");
    ASSERT_OK(writer.SaveAs(path));

    TestApp app;
    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    // Without a directory a load scans from where the last one left the file.
    BoxCapture boxes;
    EXPECT_EQ(CreateSound(99, &file, nullptr), nullptr);
    ASSERT_OK(file.Rewind());
    EXPECT_EQ(CreateSound(6, &file, nullptr), nullptr);
    EXPECT_TRUE(boxes.Boxes().empty());
    // Only an unreadable WAV length is shown.
    ASSERT_OK(file.Rewind());
    EXPECT_EQ(CreateSound(5, &file, nullptr), nullptr);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"Sound load size failed."), std::wstring::npos);
}

TEST(SoundResource, NothingWithoutAnApplication)
{
    gCMemFile stream;
    Fill(stream, SimpleWave(100));
    CSound sound;
    EXPECT_EQ(sound.Play(0), -1);
    EXPECT_RESULT(sound.LoadByID(1, &stream, nullptr), kGenericFailure);
    EXPECT_RESULT(sound.ReadFromStream(stream), kGenericFailure);
    EXPECT_RESULT(sound.CreateBuffer(), kCreateFailure);
    EXPECT_EQ(CreateSound(1, &stream, nullptr), nullptr);
}

TEST(SemitoneRatio, OctavesAndSteps)
{
    EXPECT_EQ(SemitoneRatio(0), 1.0f);
    EXPECT_NEAR(SemitoneRatio(12), 2.0f, 1e-5f);
    EXPECT_NEAR(SemitoneRatio(-12), 0.5f, 1e-6f);
    EXPECT_NEAR(SemitoneRatio(7), 1.4983071f, 1e-5f);
}

// The fill's arithmetic on its own: no device, no audio thread.
TEST(StreamFill, PassesLoopsAndRates)
{
    struct Case {
        const char* what;
        uint32_t frames;
        int32_t bits;
        uint32_t stereo;
        int32_t loops;
        float rate;
        float playedBefore;
        uint32_t written;
        int32_t loopsAfter;
        float playedAfter;
    };
    // A pass covers frames - 2 frames: the last two frames of the data are never played.
    const Case cases[] = {
        {"one pass", 1002, 8, 0, 1, 1.0f, 0.0f, 1000, 0, 1.0f},
        {"two passes back to back", 1002, 8, 0, 2, 1.0f, 0.0f, 2000, 0, 1.0f},
        {"endless passes fill the half", 1002, 8, 0, -1, 1.0f, 0.0f, 16384, -1, 0.384f},
        {"a long sound fills the half", 40002, 8, 0, 1, 1.0f, 0.0f, 16384, 1, 0.4096f},
        {"16-bit stereo", 1002, 16, 1, 1, 1.0f, 0.0f, 4000, 0, 1.0f},
        {"no passes left", 1002, 8, 0, 0, 1.0f, 0.0f, 0, 0, 0.0f},
        {"played to the end", 1002, 8, 0, 1, 1.0f, 1.0f, 0, 1, 1.0f},
        {"another rate plays nothing", 40002, 8, 0, 1, SemitoneRatio(2), 0.0f, 0, 1, 0.4596f},
        {"too short to play", 2, 8, 0, 1, 1.0f, 0.0f, 0, 1, 0.0f},
    };
    for (const Case& c : cases) {
        StreamedSound streamed(c.frames, c.bits, c.stereo);
        std::unique_ptr<uint8_t[]> half(new uint8_t[CSoundPlayer::kHalfBytes]);
        CStreamPosition position;
        position.loopsLeft = c.loops;
        position.playedFraction = c.playedBefore;
        EXPECT_EQ(FillStreamHalf(streamed.sound, c.rate, position, half.get()), c.written) << c.what;
        EXPECT_EQ(position.loopsLeft, c.loopsAfter) << c.what;
        EXPECT_NEAR(position.playedFraction, c.playedAfter, 1e-3f) << c.what;
        // Each pass starts again at the first frame, with no gap between passes.
        const uint32_t frameSize = streamed.sound.GetFrameSize();
        const uint32_t passBytes = (c.frames - 2) * frameSize;
        for (uint32_t i = 0; i < c.written; ++i)
            ASSERT_EQ(half[i], streamed.data[i % passBytes]) << c.what << " byte " << i;
    }
}

TEST(StreamFill, ALongSoundContinuesWhereTheLastHalfEnded)
{
    StreamedSound streamed(40002);
    std::unique_ptr<uint8_t[]> half(new uint8_t[CSoundPlayer::kHalfBytes]);
    CStreamPosition position;
    Bytes played;
    for (int fill = 0; fill < 3; ++fill) {
        const uint32_t written = FillStreamHalf(streamed.sound, 1.0f, position, half.get());
        played.insert(played.end(), half.get(), half.get() + written);
    }
    EXPECT_EQ(played, Bytes(streamed.data.begin(), streamed.data.begin() + 40000));
    EXPECT_EQ(position.loopsLeft, 0);
    EXPECT_EQ(FillStreamHalf(streamed.sound, 1.0f, position, half.get()), 0u);
}

TEST(SoundPlayer, StartsFinishesAndIsRemovedByTheHeartbeat)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    TestApp app;
    StreamedSound streamed(40000);
    ASSERT_OK(streamed.setFormatResult);
    CSoundManager& sounds = app.GetSoundManager();

    const int32_t id = streamed.sound.Play(0);
    EXPECT_GE(id, 0);
    ASSERT_EQ(sounds.GetPlayerCount(), 1);
    CSoundPlayer* player = sounds.GetPlayer(0);
    EXPECT_EQ(player->GetID(), id);
    EXPECT_EQ(player->GetSound(), &streamed.sound);
    ASSERT_TRUE(WaitFor([&] { return player->IsFinished(); }));
    EXPECT_EQ(player->GetID(), id);

    // The per-tick upkeep removes it on the next 256th tick, not before.
    while ((app.GetTickCounter() + 1) % 256 != 0) {
        ASSERT_OK(app.TickNow());
        ASSERT_EQ(sounds.GetPlayerCount(), 1);
    }
    ASSERT_OK(app.TickNow());
    EXPECT_EQ(sounds.GetPlayerCount(), 0);

    // Serial numbers count every player.
    const int32_t next = streamed.sound.Play(0);
    EXPECT_EQ(next, id + 1);
}

TEST(SoundPlayer, ASoundThatFitsOneHalfAndLoops)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    TestApp app;
    StreamedSound streamed(3000);
    ASSERT_OK(streamed.setFormatResult);
    {
        CSoundPlayer once(&streamed.sound, 1, 0);
        EXPECT_GE(once.GetID(), 0);
        EXPECT_TRUE(WaitFor([&] { return once.IsFinished(); }));
    }
    // Three passes of 2998 frames still fit the first half: the player ends after one refill.
    CSoundPlayer looped(&streamed.sound, 3, 0);
    EXPECT_GE(looped.GetID(), 0);
    EXPECT_TRUE(WaitFor([&] { return looped.IsFinished(); }));
    EXPECT_GE(looped.GetID(), 0);
}

TEST(SoundPlayer, APitchOtherThanZeroEndsAtOnce)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    TestApp app;
    StreamedSound streamed(40000);
    ASSERT_OK(streamed.setFormatResult);
    EXPECT_GE(streamed.sound.Play(3), 0);
    ASSERT_EQ(app.GetSoundManager().GetPlayerCount(), 1);
    EXPECT_TRUE(app.GetSoundManager().GetPlayer(0)->IsFinished());
    app.GetSoundManager().RemoveFinished();
    EXPECT_EQ(app.GetSoundManager().GetPlayerCount(), 0);
}

namespace {
// Counts reads, so a refill after the player's close shows.
class CountingStream : public gCMemFile {
public:
    gCResult ReadBytes(void* buffer, uint32_t n) override
    {
        InterlockedIncrement(&reads);
        return gCMemFile::ReadBytes(buffer, n);
    }
    volatile LONG reads = 0;
};
} // namespace

// Closing while the audio thread refills: the close waits for a refill in flight and no
// refill follows it, so the sound and its stream can go at once.
TEST(SoundPlayer, TwoHundredStartsAndStopsWhileRefilling)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    TestApp app;
    CSoundManager& sounds = app.GetSoundManager();
    const uint32_t frames = 3000; // 16-bit stereo: under one half per pass
    for (int cycle = 0; cycle < 200; ++cycle) {
        std::unique_ptr<CountingStream> stream(new CountingStream());
        Fill(*stream, Samples(frames * 4));
        std::unique_ptr<CSound> sound(new CSound());
        ASSERT_OK(sound->SetFormat(16, 1, 48000, frames));
        sound->SetSourceStream(stream.get(), 0);
        if (cycle % 2 == 0) {
            ASSERT_GE(sounds.SoundPlay(sound.get(), 0), 0) << cycle;
        } else {
            // Endless: refills keep coming until the close.
            std::unique_ptr<CSoundPlayer> player(new CSoundPlayer(sound.get(), -1, 0));
            ASSERT_GE(player->GetID(), 0);
            const LONG started = stream->reads;
            ASSERT_TRUE(WaitFor([&] { return stream->reads > started + cycle % 3; })) << cycle;
            player->Close();
            const LONG closed = stream->reads;
            Sleep(cycle % 3);
            EXPECT_EQ(stream->reads, closed) << cycle;
        }
        Sleep(cycle % 4);
        sounds.SoundStop(sound.get());
        EXPECT_EQ(sounds.GetPlayerCount(), 0);
        sound.reset();
        stream.reset();
    }
}

TEST(NoSoundDevice, EverythingFailsQuietly)
{
    REQUIRE_SOUND_ENVIRONMENT("none");
    TempFolder folder;
    const gCString path = WriteSoundResource(folder, 90001, SimpleWave(500));
    BoxCapture boxes;
    TestApp app;
    CSoundManager& sounds = app.GetSoundManager();
    EXPECT_EQ(sounds.GetDevice(), nullptr);

    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    EXPECT_EQ(CreateSound(90001, &file, nullptr), nullptr);
    CSound sound;
    EXPECT_RESULT(sound.LoadByID(90001, &file, nullptr), kCreateFailure);
    EXPECT_RESULT(sound.SetFormat(8, 0, 22050, 100), kCreateFailure);
    EXPECT_EQ(sound.GetBuffer(), nullptr);
    // A buffered sound without a buffer plays nothing, and that is no failure.
    EXPECT_EQ(sound.Play(0), 0);

    // A streamed sound gets a player that could not open the device: finished, id -1.
    gCMemFile stream;
    Fill(stream, Samples(100));
    sound.SetSourceStream(&stream, 0);
    EXPECT_EQ(sound.Play(0), -1);
    ASSERT_EQ(sounds.GetPlayerCount(), 1);
    EXPECT_TRUE(sounds.GetPlayer(0)->IsFinished());
    sounds.RemoveFinished();
    EXPECT_EQ(sounds.GetPlayerCount(), 0);
    EXPECT_TRUE(boxes.Boxes().empty());
}

namespace {
// Holds the first read made on another thread than its maker's until released: a refill
// stopped in the middle, on a thread standing in for the audio thread.
class HeldStream : public gCMemFile {
public:
    gCResult ReadBytes(void* buffer, uint32_t n) override
    {
        if (GetCurrentThreadId() != m_maker && !InterlockedExchange(&m_held, 1)) {
            SetEvent(entered.Get());
            WaitForSingleObject(release.Get(), INFINITE);
        }
        InterlockedIncrement(&reads);
        return gCMemFile::ReadBytes(buffer, n);
    }
    CKernelHandle entered{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CKernelHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    volatile LONG reads = 0;

private:
    DWORD m_maker = GetCurrentThreadId();
    volatile LONG m_held = 0;
};
} // namespace

// Without a device nothing else calls back, so the refill in flight is the test's own.
TEST(NoSoundDevice, PlayerCloseWaitsForARefillInFlight)
{
    REQUIRE_SOUND_ENVIRONMENT("none");
    TestApp app;
    HeldStream stream;
    Fill(stream, Samples(40000));
    CSound sound;
    EXPECT_RESULT(sound.SetFormat(8, 0, 22050, 40000), kCreateFailure);
    sound.SetSourceStream(&stream, 0);
    std::unique_ptr<CSoundPlayer> player(new CSoundPlayer(&sound, 1, 0));
    ASSERT_TRUE(player->IsFinished());

    std::unique_ptr<uint8_t[]> half(new uint8_t[CSoundPlayer::kHalfBytes]);
    WAVEHDR header = {};
    header.lpData = reinterpret_cast<LPSTR>(half.get());
    std::thread audio([&] {
        CSoundPlayer::WaveOutCallback(nullptr, WOM_DONE, reinterpret_cast<DWORD_PTR>(player.get()),
                                      reinterpret_cast<DWORD_PTR>(&header), 0);
    });
    ASSERT_EQ(WaitForSingleObject(stream.entered.Get(), 10000), WAIT_OBJECT_0);

    CKernelHandle closed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread closer([&] {
        player->Close();
        SetEvent(closed.Get());
    });
    EXPECT_EQ(WaitForSingleObject(closed.Get(), 200), static_cast<DWORD>(WAIT_TIMEOUT))
        << "Close returned while a refill was running";
    SetEvent(stream.release.Get());
    closer.join();
    audio.join();
    EXPECT_EQ(stream.reads, 1);
    EXPECT_GT(header.dwBufferLength, 0u);

    // A late callback after the close refills nothing.
    CSoundPlayer::WaveOutCallback(nullptr, WOM_DONE, reinterpret_cast<DWORD_PTR>(player.get()),
                                  reinterpret_cast<DWORD_PTR>(&header), 0);
    EXPECT_EQ(stream.reads, 1);
}
