#include <gtest/gtest.h>

#include <memory>

#include "Descriptors.h"
#include "v4l2/UsbDescriptorParser.h"

using namespace vorq::platform;
using namespace descriptors;

namespace {
const char kUpgrade[] = "{1B7FDAAF-9F57-4F6F-AD21-3BD92341BB54}";
const char kSettings[] = "{A7A6A934-3A4A-4351-85F4-042EF2CDCAAB}";
const char kZoom[] = "{9D33BBE7-E619-435C-8FAC-528EECCCBCA4}";

// "id guid" per unit, from a heap copy of exactly the input's size so that an
// over-read shows under ASan.
std::vector<std::string> units(const Bytes& bytes, int interfaceNumber = -1)
{
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() + !bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    std::vector<std::string> out;
    for (const auto& u : UsbDescriptorParser::extensionUnits(exact.get(), bytes.size(), interfaceNumber))
        out.push_back(std::to_string(u.unitId) + " " + formatGuid(u.guid));
    return out;
}

std::string unit(int id, const char* guid) { return std::to_string(id) + " " + guid; }
} // namespace

TEST(UsbDescriptorParser, GuidIsReadInMicrosoftByteOrder)
{
    const Bytes raw = {0xAF, 0xDA, 0x7F, 0x1B, 0x57, 0x9F, 0x6F, 0x4F, 0xAD, 0x21, 0x3B, 0xD9, 0x23, 0x41, 0xBB, 0x54};
    EXPECT_EQ(units(join({head(), videoControl(0), extensionUnit(3, raw)})),
              std::vector<std::string>{unit(3, kUpgrade)});
}

TEST(UsbDescriptorParser, OnlyUnitsOfTheWantedVideoControlInterfaceCount)
{
    // Two cameras in one device, and the extension-unit byte pattern inside
    // audio, streaming and vendor interfaces, where it means something else.
    const Bytes d = join({head(), audioControl(0), extensionUnit(7, kZoom),
                          videoControl(1), extensionUnit(4, kSettings), extensionUnit(6, kZoom),
                          videoStreaming(2), extensionUnit(8, kUpgrade),
                          videoControl(3), extensionUnit(3, kUpgrade),
                          interface(4, 0xFF, 0x01), extensionUnit(9, kUpgrade)});
    EXPECT_EQ(units(d, 1), (std::vector<std::string>{unit(4, kSettings), unit(6, kZoom)}));
    EXPECT_EQ(units(d, 3), std::vector<std::string>{unit(3, kUpgrade)});
    EXPECT_EQ(units(d, -1).size(), 3u);
    EXPECT_TRUE(units(d, 2).empty());
}

TEST(UsbDescriptorParser, MalformedDescriptorsGiveNoBogusUnits)
{
    const Bytes good = join({head(), videoControl(0), extensionUnit(3, kUpgrade)});
    const std::vector<std::string> justGood = {unit(3, kUpgrade)};

    // bLength 0 or 1 ends the walk; what came before is kept.
    for (uint8_t length : {0, 1})
        EXPECT_EQ(units(join({good, {length, 0x24, 0x06, 5}, extensionUnit(4, kSettings)})), justGood)
            << "bLength " << int(length);

    // A unit cut off by the end of the data.
    for (std::size_t cut : {1u, 12u, 25u}) {
        Bytes bytes = join({good, extensionUnit(4, kSettings)});
        bytes.resize(bytes.size() - cut);
        EXPECT_EQ(units(bytes), justGood) << "cut " << cut;
    }

    // Too short to hold the GUID: skipped, and the walk goes on past it.
    const Bytes shortUnit = {19, 0x24, 0x06, 5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    EXPECT_EQ(units(join({good, shortUnit, extensionUnit(4, kSettings)})),
              (std::vector<std::string>{unit(3, kUpgrade), unit(4, kSettings)}));

    // A truncated interface descriptor opens no VideoControl interface.
    EXPECT_TRUE(units(join({{7, 0x04, 0, 0, 1, 0x0E, 0x01}, extensionUnit(3, kUpgrade)})).empty());

    // Reserved unit id 0 and a repeated id add nothing.
    EXPECT_EQ(units(join({good, extensionUnit(0, kZoom), extensionUnit(3, kZoom)})), justGood);

    EXPECT_TRUE(units({}).empty());
    EXPECT_TRUE(units({0x09}).empty());
    EXPECT_TRUE(UsbDescriptorParser::extensionUnits(nullptr, 40, -1).empty());
}
