// Sound: the WAV reader on memory streams, sound resources from a real resource file played through
// DirectSound, the streaming player on waveOut and its removal by the heartbeat. The device tests
// run where ALSA's null device is configured (QV_SOUND_DEVICE=null); the NoSoundDevice tests run
// again where there is none (QV_SOUND_DEVICE=none).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "BoxCapture.h"
#include "CResourceFileWriter.h"
#include "CSound.h"
#include "CSoundManager.h"
#include "CSoundPlayer.h"
#include "CTimer.h"
#include "ResultAssert.h"
#include "SoundApi.h"
#include "TempFolder.h"
#include "TestApp.h"
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

Bytes Samples(size_t count)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(1 + i * 7);
    return bytes;
}

void Fill(gCMemFile& stream, const Bytes& bytes)
{
    ASSERT_OK(stream.WriteBytes(bytes.data(), static_cast<uint32_t>(bytes.size())));
    ASSERT_OK(stream.Rewind());
}

// A resource file at the path holding each body as a sound resource, named "Click" and so on.
void WriteSoundResources(const gCString& path, std::initializer_list<std::pair<uint32_t, Bytes>> bodies)
{
    CResourceFileWriter file;
    EXPECT_OK(file.AddVersion(2));
    const wchar_t* names[] = {L"Click", L"Chime", L"Ogg", L"Short"};
    int index = 0;
    for (const auto& body : bodies) {
        gCMemFile stream;
        Fill(stream, body.second);
        EXPECT_OK(file.AddResource('audi', body.first, gCString(names[index++]), stream));
    }
    EXPECT_OK(file.SaveAs(path));
}

// A body as the resource holds it: the WAV's length, then the WAV, 8-bit mono at 22,050 Hz.
Bytes WaveResource(size_t frames)
{
    const Bytes wave = Riff(Concat({Format(1, 22050, 1, 8), Chunk("data", Samples(frames))}));
    return Concat({U32(static_cast<uint32_t>(wave.size())), wave});
}

// A sound streamed from the memory stream that it is; 8-bit mono unless told otherwise. It counts
// reads; a holding one stops the first read made on another thread than its maker's until released:
// a refill stopped in the middle, on a thread standing in for the audio thread.
class StreamedSound : public gCMemFile {
public:
    StreamedSound(uint32_t frames, int32_t bits = 8, uint32_t stereo = 0, bool hold = false)
        : data(Samples(frames * (bits == 16 ? 2 : 1) * (stereo ? 2 : 1))), m_held(hold ? 0 : 1)
    {
        Fill(*this, data);
        setFormatResult = sound.SetFormat(bits, stereo, 44100, frames);
        sound.SetSourceStream(this, 0);
    }
    gCResult ReadBytes(void* buffer, uint32_t n) override
    {
        if (GetCurrentThreadId() != m_maker && !InterlockedExchange(&m_held, 1)) {
            SetEvent(entered.Get());
            WaitForSingleObject(release.Get(), INFINITE);
        }
        InterlockedIncrement(&reads);
        return gCMemFile::ReadBytes(buffer, n);
    }
    const Bytes data;
    CSound sound;
    gCResult setFormatResult;
    CKernelHandle entered{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CKernelHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    volatile LONG reads = 0;

private:
    DWORD m_maker = GetCurrentThreadId();
    volatile LONG m_held;
};

} // namespace

TEST(WaveReader, FormatsChunksAndDamage)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    struct Case {
        const char* what;
        Bytes file;
        gCResult result;
        uint32_t sixteenBit = 0, stereo = 0, rate = 0, dataSize = 0;
    };
    const Bytes data = Chunk("data", Samples(12));
    const Bytes pcm8 = Format(1, 22050, 1, 8);
    const Case cases[] = {
        {"8-bit mono", Riff(Concat({pcm8, data})), kOk, 0, 0, 22050, 12},
        {"16-bit stereo", Riff(Concat({Format(2, 48000, 4, 16), data})), kOk, 1, 1, 48000, 12},
        {"bits 0 with block align 1", Riff(Concat({Format(1, 8000, 1, 0), data})), kOk, 0, 0, 8000, 12},
        {"a longer format chunk", Riff(Concat({Format(1, 22050, 1, 8, U16(0)), data})), kOk, 0, 0, 22050, 12},
        {"a fact chunk is skipped", Riff(Concat({pcm8, Chunk("fact", U32(12)), data})), kOk, 0, 0, 22050, 12},
        {"a partial last frame is dropped", Riff(Concat({Format(2, 8000, 4, 16), Chunk("data", Samples(14))})), kOk, 1,
         1, 8000, 12},
        {"block align against bits and channels", Riff(Concat({Format(1, 8000, 4, 16), data})), kInvalidFile},
        {"block align 0", Riff(Concat({Format(1, 8000, 0, 8), data})), kInvalidFile},
        {"another chunk before the data", Riff(Concat({pcm8, Chunk("LIST", U32(0)), data})), kInvalidFile},
        {"not WAVE", Concat({Ansi("RIFF"), U32(40), Ansi("AVI "), pcm8, data}), kInvalidFile},
        {"RIFF size past the end", Concat({Ansi("RIFF"), U32(1000), Ansi("WAVE"), pcm8, data}), kInvalidFile},
        {"data size past the end", Riff(Concat({pcm8, Ansi("data"), U32(13), Samples(12)})), kInvalidFile},
        {"format size past the end", Riff(Concat({Ansi("fmt "), U32(16), U16(1), U16(1), U32(8000)})), kInvalidFile},
        {"format size too small", Riff(Concat({Ansi("fmt "), U32(4), U32(0), data})), kInvalidFile},
        {"fact past the end", Riff(Concat({pcm8, Ansi("fact"), U32(5000), data})), kStreamFailure},
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
        EXPECT_EQ(std::make_tuple(sound.IsSixteenBit(), sound.IsStereo(), sound.GetSampleRate()),
                  std::make_tuple(c.sixteenBit, c.stereo, c.rate))
            << c.what;
        CSoundBufferLock lock(sound);
        ASSERT_NE(lock.Data(), nullptr) << c.what;
        const uint8_t* bytes = static_cast<uint8_t*>(lock.Data());
        EXPECT_EQ(Bytes(bytes, bytes + lock.Size()), Samples(c.dataSize)) << c.what;
    }
}

// The application's own resource file and its directory, as the program loads its two sounds; the
// damaged ones are last in the file, so that the short one's WAV length runs into the end.
TEST(SoundResource, LoadsPlaysAndStopsWithinTheBoundAndOnlyAnUnreadableLengthIsShown)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    TempFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder.Path() + L"Resources").c_str(), nullptr));
    const gCString path = folder.File(L"Resources\\system.vrf");
    // Ten seconds: still playing when its status is asked.
    WriteSoundResources(path, {{90001, WaveResource(400)},
                               {90000, WaveResource(220500)},
                               {6, Concat({U32(44), Ansi("OggS"), Samples(40)})},
                               {5, U16(7)}});
    TestApp app;
    app.SetProgramFolder(folder.Path());
    ASSERT_OK(app.Init());
    ASSERT_OK(app.OpenPlainWindow());

    std::unique_ptr<CSound> sound(CreateSound(90000, nullptr, nullptr));
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->GetDataSize(), 220500u);
    EXPECT_EQ(sound->Play(0), 0);
    DWORD status = 0;
    ASSERT_EQ(sound->GetBuffer()->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING));
    // Buffered sounds need no player.
    EXPECT_EQ(app.GetSoundManager().GetPlayerCount(), 0);
    const int64_t before = GetPreciseTime();
    app.GetSoundManager().SoundStop(sound.get());
    ASSERT_EQ(sound->GetBuffer()->GetStatus(&status), DS_OK);
    EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
    // The stop waits for the buffer, never longer than its two seconds.
    EXPECT_LT(GetPreciseTime() - before, 2500000);

    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    // A sound is found by its name as well as by its number.
    CSound byName;
    EXPECT_OK(byName.LoadByName(gCString(L"Click"), &file, nullptr));
    EXPECT_EQ(byName.GetDataSize(), 400u);
    // Without a directory a load scans from where the last one left the file.
    BoxCapture boxes;
    EXPECT_EQ(CreateSound(99, &file, nullptr), nullptr);
    ASSERT_OK(file.Rewind());
    EXPECT_EQ(CreateSound(6, &file, nullptr), nullptr);
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_OK(file.Rewind());
    EXPECT_EQ(CreateSound(5, &file, nullptr), nullptr);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"Sound load size failed."), std::wstring::npos);
}

// The fill's arithmetic on its own: no device, no audio thread.
TEST(StreamFill, PassesLoopsAndRates)
{
    struct Case {
        const char* what;
        uint32_t frames;
        int32_t bits, loops;
        float rate, playedBefore;
        int fills;
        uint32_t written;
        int32_t loopsAfter;
        float playedAfter;
    } cases[] = {
        // A pass covers frames - 2 frames: the last two frames of the data are never played.
        {"two passes back to back", 1002, 8, 2, SemitoneRatio(0), 0.0f, 1, 2000, 0, 1.0f},
        {"endless passes fill the half", 1002, 8, -1, 1.0f, 0.0f, 1, 16384, -1, 0.384f},
        {"each half goes on where the last ended", 40002, 8, 1, 1.0f, 0.0f, 4, 40000, 0, 1.0f},
        {"16-bit stereo", 1002, 16, 1, 1.0f, 0.0f, 1, 4000, 0, 1.0f},
        {"no passes left", 1002, 8, 0, 1.0f, 0.0f, 1, 0, 0, 0.0f},
        {"played to the end", 1002, 8, 1, 1.0f, 1.0f, 1, 0, 1, 1.0f},
        // Another pitch plays nothing but moves on by 2^(n/12) of the frames; down by an octave, half.
        {"an octave down", 40002, 8, 1, SemitoneRatio(-12), 0.0f, 1, 0, 1, 0.2048f},
        {"too short to play", 2, 8, 1, 1.0f, 0.0f, 1, 0, 1, 0.0f},
    };
    for (const Case& c : cases) {
        StreamedSound streamed(c.frames, c.bits, c.bits == 16 ? 1 : 0);
        std::unique_ptr<uint8_t[]> half(new uint8_t[CSoundPlayer::kHalfBytes]);
        CStreamPosition position;
        position.loopsLeft = c.loops;
        position.playedFraction = c.playedBefore;
        Bytes played;
        for (int fill = 0; fill < c.fills; ++fill) {
            const uint32_t written = FillStreamHalf(streamed.sound, c.rate, position, half.get());
            played.insert(played.end(), half.get(), half.get() + written);
        }
        EXPECT_EQ(played.size(), c.written) << c.what;
        EXPECT_EQ(position.loopsLeft, c.loopsAfter) << c.what;
        EXPECT_NEAR(position.playedFraction, c.playedAfter, 1e-3f) << c.what;
        // Each pass starts again at the first frame, with no gap between passes.
        const uint32_t passBytes = (c.frames - 2) * streamed.sound.GetFrameSize();
        for (size_t i = 0; i < played.size(); ++i)
            ASSERT_EQ(played[i], streamed.data[i % passBytes]) << c.what << " byte " << i;
    }
    // Without an application nothing plays.
    EXPECT_EQ(StreamedSound(100).sound.Play(0), -1);
}

TEST(SoundPlayer, StartsFinishesAndIsRemovedByTheHeartbeat)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    TestApp app;
    StreamedSound streamed(40000);
    CSoundManager& sounds = app.GetSoundManager();
    const int32_t id = streamed.sound.Play(0);
    EXPECT_GE(id, 0);
    ASSERT_EQ(sounds.GetPlayerCount(), 1);
    ASSERT_TRUE(WaitUntil([&] { return sounds.GetPlayer(0)->IsFinished(); }, [] { return true; }));

    // The per-tick upkeep removes it on the next 256th tick, not before.
    while ((app.GetTickCounter() + 1) % 256 != 0) {
        ASSERT_OK(app.TickNow());
        ASSERT_EQ(sounds.GetPlayerCount(), 1);
    }
    ASSERT_OK(app.TickNow());
    EXPECT_EQ(sounds.GetPlayerCount(), 0);
    // Serial numbers count every player.
    EXPECT_EQ(streamed.sound.Play(0), id + 1);
}

// Closing while the audio thread refills: the close waits for a refill in flight and no refill
// follows it, so the sound and its stream can go at once.
TEST(SoundPlayer, TwoHundredStartsAndStopsWhileRefilling)
{
    REQUIRE_SOUND_ENVIRONMENT("null");
    TestApp app;
    CSoundManager& sounds = app.GetSoundManager();
    for (int cycle = 0; cycle < 200; ++cycle) {
        StreamedSound streamed(3000, 16, 1); // under one half per pass
        if (cycle % 2 == 0) {
            ASSERT_GE(streamed.sound.Play(0), 0) << cycle;
        } else {
            // Endless: refills keep coming until the close.
            CSoundPlayer player(&streamed.sound, -1, 0);
            ASSERT_GE(player.GetID(), 0);
            const LONG started = streamed.reads;
            ASSERT_TRUE(WaitUntil([&] { return streamed.reads > started + cycle % 3; }, [] { return true; })) << cycle;
            player.Close();
            const LONG closed = streamed.reads;
            Sleep(cycle % 3);
            EXPECT_EQ(streamed.reads, closed) << cycle;
        }
        Sleep(cycle % 4);
        sounds.SoundStop(&streamed.sound);
        EXPECT_EQ(sounds.GetPlayerCount(), 0);
    }
}

// Without a device everything fails quietly and nothing else calls back, so the refill in flight is
// the test's own.
TEST(NoSoundDevice, PlayerCloseWaitsForARefillInFlight)
{
    REQUIRE_SOUND_ENVIRONMENT("none");
    BoxCapture boxes;
    TestApp app;
    StreamedSound stream(40000, 8, 0, true);
    EXPECT_RESULT(stream.setFormatResult, kCreateFailure);
    std::unique_ptr<CSoundPlayer> player(new CSoundPlayer(&stream.sound, 1, 0));
    ASSERT_TRUE(player->IsFinished());
    EXPECT_EQ(player->GetID(), -1);

    std::unique_ptr<uint8_t[]> half(new uint8_t[CSoundPlayer::kHalfBytes]);
    WAVEHDR header = {};
    header.lpData = reinterpret_cast<LPSTR>(half.get());
    const auto callback = [&] {
        CSoundPlayer::WaveOutCallback(nullptr, WOM_DONE, reinterpret_cast<DWORD_PTR>(player.get()),
                                      reinterpret_cast<DWORD_PTR>(&header), 0);
    };
    std::thread audio(callback);
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
    callback();
    EXPECT_EQ(stream.reads, 1);
    EXPECT_TRUE(boxes.Boxes().empty());
}
