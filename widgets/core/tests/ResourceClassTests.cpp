// The resource classes of images, image lists, fonts, gradients and widgets: loaded from a
// file that the real vrfbuild writes, and refusing damaged bodies without leaving anything
// half-made.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "BoxCapture.h"
#include "CFontFace.h"
#include "CGradient.h"
#include "CImageList.h"
#include "CResourceDirectory.h"
#include "CResourceFileWriter.h"
#include "CWidget.h"
#include "FontEngine.h"
#include "Programs.h"
#include "ResourceTags.h"
#include "TempFolder.h"
#include "gCFile.h"

namespace {

const wchar_t kFontFile[] = L"LiberationSans-Regular.ttf";

// The font engine for one test.
class FontEngineOn {
public:
    FontEngineOn() { EXPECT_OK(InitFontEngine()); }
    ~FontEngineOn() { DoneFontEngine(); }
};

std::unique_ptr<gCResourceObject> Make(uint32_t tag)
{
    switch (tag) {
    case kTagImage:
        return std::make_unique<CImageBase>();
    case kTagImageList:
        return std::make_unique<CImageList>();
    case kTagFont:
        return std::make_unique<gCFont>();
    case kTagGradient:
        return std::make_unique<CGradient>();
    default:
        return std::make_unique<CWidget>();
    }
}

std::string Hex(uint32_t value)
{
    char text[12];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

std::string Describe(CImageBase& image)
{
    std::string text = std::to_string(image.GetWidth()) + "x" + std::to_string(image.GetHeight());
    for (int32_t y = 0; y < image.GetHeight(); ++y)
        for (int32_t x = 0; x < image.GetWidth(); ++x)
            text += " " + Hex(image.GetPixel(x, y));
    return text;
}

// What the object holds, in a line.
std::string Describe(gCResourceObject& object)
{
    switch (object.GetTypeTag()) {
    case kTagImage:
        return "image " + Describe(static_cast<CImageBase&>(object));
    case kTagImageList: {
        CImageList& list = static_cast<CImageList&>(object);
        std::string text = "list of " + std::to_string(list.GetCount());
        for (int32_t i = 0; i < list.GetCount(); ++i)
            text += ", " + Describe(*list.GetImage(i));
        return text;
    }
    case kTagFont: {
        FT_Face face = static_cast<gCFont&>(object).GetFace();
        return face ? std::string("font ") + face->family_name + " " + face->style_name : "no font";
    }
    case kTagGradient: {
        CGradient& gradient = static_cast<CGradient&>(object);
        std::string text = "gradient";
        for (int32_t i = 0; i < gradient.GetCount(); ++i)
            text += " " + std::to_string(std::lround(gradient.GetStop(i).position * 100)) +
                    "%:" + Hex(gradient.GetStop(i).colour);
        return text;
    }
    default: {
        CWidget& widget = static_cast<CWidget&>(object);
        return "widget " + std::to_string(widget.GetWidth()) + "x" + std::to_string(widget.GetHeight());
    }
    }
}

} // namespace

// By ID through the directory and by name by scanning, one after another on the same stream.
TEST(ResourceClasses, EachLoadsByIDAndByNameFromAFileOfVrfbuild)
{
    FontEngineOn engine;
    TempFolder folder;
    ASSERT_TRUE(CopyFileW((ProgramFolder() + kFontFile).c_str(), folder.File(kFontFile).Text(), FALSE));
    ASSERT_EQ(CompileDataFile(L"vrfbuild.exe", folder.Path(),
                              "version 1\n"
                              "image 1 Dot 2 2 FF000000 FFFFFFFF 0x80336699\n"
                              "imagelist 2 \"Two images\" 1 1\n"
                              "font 3 Face LiberationSans-Regular.ttf\n"
                              "gradient 4 Fade 0 FF000000 0.5 80FF0000 1 00FFFFFF\n"
                              "widget 5 \"Quorvel Updater\" 640 240\n",
                              folder.Path() + L"res.vrf"),
              0u);
    gCFile file;
    ASSERT_OK(file.OpenFullPath(folder.File(L"res.vrf"), kAccessRead));
    CResourceDirectory directory;
    ASSERT_OK(directory.Read(file));
    const std::string dot = "2x2 FF000000 FFFFFFFF 80336699 FF000000";
    const struct {
        uint32_t tag, id;
        const wchar_t* name;
        std::string holds;
    } cases[] = {
        {kTagImage, 1, L"Dot", "image " + dot},
        {kTagImageList, 2, L"Two images", "list of 2, " + dot + ", " + dot},
        {kTagFont, 3, L"Face", "font Liberation Sans Regular"},
        {kTagGradient, 4, L"Fade", "gradient 0%:FF000000 50%:80FF0000 100%:00FFFFFF"},
        {kTagWidget, 5, L"Quorvel Updater", "widget 640x240"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        std::unique_ptr<gCResourceObject> byID = Make(c.tag), byName = Make(c.tag);
        EXPECT_EQ(byID->GetTypeTag(), c.tag);
        ASSERT_OK(byID->LoadByID(c.id, &file, &directory));
        ASSERT_OK(byName->LoadByName(gCString(c.name), &file, nullptr));
        for (gCResourceObject* loaded : {byID.get(), byName.get()}) {
            EXPECT_EQ(Describe(*loaded), c.holds);
            EXPECT_EQ(loaded->GetID(), c.id);
            EXPECT_STREQ(loaded->GetName().Text(), c.name);
        }
    }
    // The image's memory DC shows its pixels; a face drawn at a size reads the font's bytes, and
    // a font that holds none opens no face.
    CImageBase image;
    ASSERT_OK(image.LoadByID(1, &file, &directory));
    EXPECT_EQ(GetPixel(image.GetMemDC(), 0, 1), RGB(0x33, 0x66, 0x99));
    gCFont font;
    ASSERT_OK(font.LoadByName(gCString(L"Face"), &file, &directory));
    CFontFace face;
    EXPECT_RESULT(face.Open(gCFont(), 16), kCreateFailure);
    ASSERT_OK(face.Open(font, 16));
    EXPECT_GT(face.MeasureText(gCString(L"Quorvel")), 30);
}

// Each object first holds a sound resource of its kind (ID 1); a damaged one (ID 7) is then
// refused with one report and leaves it holding the first, with the first's ID and name.
TEST(ResourceClasses, DamagedBodiesAreRefusedWith23AndLeaveTheObjectAsItWas)
{
    FontEngineOn engine;
    const Bytes font = ReadWholeFile(gCString((ProgramFolder() + kFontFile).c_str()));
    ASSERT_FALSE(font.empty());
    const Bytes pixel = Concat({U32(1), U32(1), U32(0xFF445566)});
    const uint32_t nan = 0x7FC00000, half = 0x3F000000, quarter = 0x3E800000, onePointFive = 0x3FC00000;
    const Bytes sized = Concat({U32(kTagWidgetSize), U32(8), U32(3), U32(4)});
    const struct {
        uint32_t tag;
        Bytes good;
        std::string holds;
    } kinds[] = {
        {kTagImage, pixel, "image 1x1 FF445566"},
        {kTagImageList, Concat({U32(1), pixel}), "list of 1, 1x1 FF445566"},
        {kTagFont, Concat({U32(font.size()), font}), "font Liberation Sans Regular"},
        {kTagGradient, Concat({U32(1), U32(0), U32(0xFF778899)}), "gradient 0%:FF778899"},
        {kTagWidget, Concat({U32(16), sized}), "widget 3x4"},
    };
    const struct {
        int kind;
        Bytes damaged;
        std::string detail;
        // Bytes of the body that lie past the chunk's declared end.
        uint32_t outside = 0;
    } cases[] = {
        {0, {}, "Error reading image size."},
        {0, Concat({U32(0), U32(1)}), "Error reading image size."},
        {0, Concat({U32(16385), U32(1), Bytes(16385 * 4)}), "Error reading image size."},
        {0, Concat({U32(0xFFFFFFFF), U32(0xFFFFFFFF), U32(0)}), "Error reading image size."},
        {0, Concat({U32(2), U32(2), Bytes(12)}), "Error reading image size."},
        {0, pixel, "Error reading image size.", 4},
        {1, Concat({U32(5), pixel}), "Error reading number of images."},
        {1, U32(0xFFFFFFFF), "Error reading number of images."},
        {1, Concat({U32(kMaxImageListCount + 1), Bytes((kMaxImageListCount + 1) * 12)}),
         "Error reading number of images."},
        {1, Concat({U32(2), pixel, U32(2), U32(1), U32(0)}), "Error reading image size."},
        {2, U32(0), "Error reading font data size."},
        {2, Concat({U32(100), Bytes(10)}), "Error reading font data size."},
        {2, Concat({U32(16), Ansi("not a font file!")}), "Font data refused by the font engine."},
        {3, U32(0), "Error reading number of gradient stops."},
        {3, Concat({U32(kMaxGradientStops + 1), Bytes((kMaxGradientStops + 1) * 8)}),
         "Error reading number of gradient stops."},
        {3, Concat({U32(3), U32(0), U32(1), U32(half), U32(2)}), "Error reading number of gradient stops."},
        {3, Concat({U32(1), U32(nan), U32(1)}), "Gradient stop out of order."},
        {3, Concat({U32(2), U32(half), U32(1), U32(quarter), U32(2)}), "Gradient stop out of order."},
        {3, Concat({U32(1), U32(onePointFive), U32(1)}), "Gradient stop out of order."},
        {4, {}, "Error reading widget data block size."},
        {4, Concat({U32(17), sized}), "Error reading widget data block size."},
        {4, Concat({U32(12), U32('xtra'), U32(5), U32(0)}), "Error reading widget data chunk."},
        {4, Concat({U32(12), U32('xtra'), U32(4), U32(0)}), "Widget has no size."},
        {4, Concat({U32(12), U32(kTagWidgetSize), U32(4), U32(3)}), "Error reading widget size."},
        {4, Concat({U32(16), U32(kTagWidgetSize), U32(8), U32(3), U32(0xFFFFFFFF)}), "Error reading widget size."},
        {4, Concat({U32(16), U32(kTagWidgetSize), U32(8), U32(kMaxWidgetSide + 1), U32(3)}),
         "Error reading widget size."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.detail + " " + std::to_string(&c - cases));
        TempFolder folder;
        CResourceFileWriter writer;
        gCMemFile good, damaged;
        const auto& kind = kinds[c.kind];
        ASSERT_OK(good.WriteBytes(kind.good.data(), static_cast<uint32_t>(kind.good.size())));
        ASSERT_OK(damaged.WriteBytes(c.damaged.data(), static_cast<uint32_t>(c.damaged.size())));
        ASSERT_OK(writer.AddResource(kind.tag, 1, gCString(L"Good"), good));
        // Before the body, the chunk holds its ID (4 bytes) and its name with the line end (10).
        ASSERT_OK(writer.AddResource(kind.tag, 7, gCString(L"Bad"), damaged, 14 + c.damaged.size() - c.outside));
        ASSERT_OK(writer.AddResource(kTagText, 8, gCString(L"After"), good));
        ASSERT_OK(writer.SaveAs(folder.File(L"res.vrf")));
        gCFile file;
        ASSERT_OK(file.OpenFullPath(folder.File(L"res.vrf"), kAccessRead));

        std::unique_ptr<gCResourceObject> object = Make(kind.tag);
        ASSERT_OK(object->LoadByID(1, &file, nullptr));
        BoxCapture boxes;
        EXPECT_RESULT(object->LoadByID(7, &file, nullptr), kResourceReadFailure);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"An error occurred reading data from a binary resource file.\n" +
                                             std::wstring(c.detail.begin(), c.detail.end()));
        EXPECT_EQ(Describe(*object), kind.holds);
        EXPECT_EQ(object->GetID(), 1u);
        EXPECT_STREQ(object->GetName().Text(), L"Good");
    }
}
