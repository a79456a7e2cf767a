// With noise, every reply differs from the quiet one exactly in the bits a
// client does not read, and there it is noise. The unread parts of each
// layout are written out here with their own literal offsets.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "SimNoise.h"
#include "SimTestSupport.h"

namespace tesmosim {

namespace {

// For every byte of a message, the bits a client does not read.
using Mask = std::vector<std::uint8_t>;

enum class eUnread {
    Bytes,      // the whole span
    AfterText,  // the bytes of a text field after its terminator
    HighFlags,  // bits 4 to 7 of a level flags byte
};

struct strUnread {
    std::size_t offset;
    std::size_t width;
    eUnread how;
};

using Layout = std::vector<strUnread>;

const Layout kHeader = {{0, 6, eUnread::Bytes}, {10, 4, eUnread::Bytes}};
const Layout kGroup = {{0, 50, eUnread::AfterText}, {50, 4, eUnread::Bytes}};
const Layout kMachine = {
    {0, 50, eUnread::AfterText}, {50, 130, eUnread::Bytes}, {182, 8, eUnread::Bytes}};
const Layout kDigital = {{4, 50, eUnread::AfterText}, {54, 112, eUnread::Bytes}};
const Layout kAnalog = {{4, 50, eUnread::AfterText},
                        {54, 10, eUnread::AfterText},
                        {64, 12, eUnread::Bytes},
                        {76, 1, eUnread::HighFlags},
                        {93, 8, eUnread::Bytes}};
const Layout kRpm = {{4, 50, eUnread::AfterText},
                     {54, 12, eUnread::Bytes},
                     {66, 1, eUnread::HighFlags},
                     {83, 8, eUnread::Bytes}};
const Layout kPointHeader = {
    {3, 50, eUnread::AfterText}, {53, 12, eUnread::Bytes}, {69, 12, eUnread::Bytes}};
const Layout kPointVariable = {{4, 50, eUnread::AfterText},
                               {54, 10, eUnread::AfterText},
                               {64, 2, eUnread::Bytes},
                               {66, 1, eUnread::HighFlags},
                               {83, 8, eUnread::Bytes}};
const Layout kAnalysis = {{5, 2, eUnread::Bytes}};
// The degrees mark at 60 is read, but only compared with '0': the round
// trips show that it keeps its meaning.
const Layout kSpecial = {{4, 50, eUnread::AfterText},
                         {56, 2, eUnread::Bytes},
                         {60, 14, eUnread::Bytes},
                         {74, 1, eUnread::HighFlags},
                         {91, 8, eUnread::Bytes}};

// Builds the mask of a message from its quiet form, record by record.
class MaskBuilder {
  public:
    explicit MaskBuilder(const Bytes& quiet) : message(quiet), mask(quiet.size(), 0) {
        Record(kHeader, tesmo::kHeaderSize);
    }

    // A record of size bytes at the walk's position, unread as the layout says.
    void Record(const Layout& layout, std::size_t size) {
        for (const strUnread& span : layout) Mark(at + span.offset, span.width, span.how);
        at += size;
    }
    void Unread(std::size_t size) { Record({{0, size, eUnread::Bytes}}, size); }
    void Read(std::size_t size) { at += size; }

    std::uint16_t U16(std::size_t offset) const { return tesmo::LoadU16(&message[at + offset]); }
    Mask Done() const { return mask; }

  private:
    void Mark(std::size_t from, std::size_t width, eUnread how) {
        if (how == eUnread::HighFlags) {
            mask[from] = 0xF0;
            return;
        }
        std::size_t i = from;
        if (how == eUnread::AfterText)
            while (i < from + width && message[i++] != 0) {
            }
        for (; i < from + width; ++i) mask[i] = 0xFF;
    }

    const Bytes& message;
    Mask mask;
    std::size_t at = 0;
};

Mask CatalogueMask(const Bytes& quiet, bool readsDigital) {
    MaskBuilder walk(quiet);
    std::uint16_t groups = walk.U16(0), machines = walk.U16(2);
    walk.Read(4);
    for (int g = 0; g < groups; ++g) walk.Record(kGroup, 54);
    for (int m = 0; m < machines; ++m) {
        std::uint16_t points = walk.U16(190), rpm = walk.U16(192), analog = walk.U16(194),
                      digital = walk.U16(196), analyses = walk.U16(198), specials = walk.U16(200),
                      trailing = walk.U16(202);
        walk.Record(kMachine, 204);
        for (int k = 0; k < digital; ++k) {
            if (readsDigital)
                walk.Record(kDigital, 166);
            else
                walk.Unread(166);
        }
        for (int k = 0; k < analog; ++k) walk.Record(kAnalog, 101);
        for (int k = 0; k < rpm; ++k) walk.Record(kRpm, 91);
        for (int p = 0; p < points; ++p) {
            std::uint16_t variables = walk.U16(65), skipped = walk.U16(67);
            walk.Record(kPointHeader, 81);
            walk.Unread(55 * skipped);
            for (int v = 0; v < variables; ++v) walk.Record(kPointVariable, 91);
        }
        for (int a = 0; a < analyses; ++a) walk.Record(kAnalysis, 21);
        for (int s = 0; s < specials; ++s) walk.Record(kSpecial, 99);
        walk.Unread(14 * trailing);
    }
    return walk.Done();
}

Mask KindsMask(const Bytes& quiet, std::size_t machines) {
    MaskBuilder walk(quiet);
    for (std::size_t m = 0; m < machines; ++m) {
        std::uint16_t entries = walk.U16(0);
        walk.Read(2);
        for (int k = 0; k < entries; ++k) walk.Record({{1, 20, eUnread::Bytes}}, 21);
    }
    return walk.Done();
}

// The machine byte's bits 5 to 7, then per DIGITAL entry all but the byte
// that says on or off and the status byte, or the whole entry for a client
// that steps over them.
Mask ValuesMask(const Bytes& quiet, std::size_t digital, bool readsDigital) {
    MaskBuilder walk(quiet);
    Mask mask = walk.Done();
    mask[14] = 0xE0;
    for (std::size_t k = 0; k < digital; ++k)
        for (std::size_t i = 0; i < 5; ++i)
            if (!readsDigital || (i >= 1 && i <= 3)) mask[15 + 5 * k + i] = 0xFF;
    return mask;
}

// A reply whose payload opens with `head` unread bytes.
Mask HeadMask(const Bytes& quiet, std::size_t head) {
    MaskBuilder walk(quiet);
    walk.Unread(head);
    return walk.Done();
}

// Compares noisy replies with quiet ones: no bit outside the mask may differ
// (checked at once); inside it, for each kind of unread byte (whole bytes,
// flag bits, machine byte bits), at least a third of the bits over all the
// replies compared must (checked at the end).
class NoiseTally {
  public:
    explicit NoiseTally(std::string name) : what(std::move(name)) {}
    ~NoiseTally() {
        EXPECT_FALSE(bits.empty()) << what;
        for (const auto& kind : bits)
            EXPECT_GE(3 * kind.second.second, kind.second.first)
                << what << ": bits " << static_cast<int>(kind.first);
    }

    void Compare(const Bytes& quiet, const Bytes& noisy, const Mask& unread) {
        ASSERT_EQ(quiet.size(), noisy.size()) << what;
        int wrong = 0;
        for (std::size_t i = 0; i < quiet.size(); ++i) {
            unsigned differs = static_cast<unsigned>(quiet[i] ^ noisy[i]);
            if ((differs & ~static_cast<unsigned>(unread[i])) != 0 && ++wrong <= 3)
                ADD_FAILURE() << what << ": read byte " << i << " changed";
            if (unread[i] == 0) continue;
            for (int bit = 0; bit < 8; ++bit) {
                bits[unread[i]].first += (unread[i] >> bit) & 1;
                bits[unread[i]].second += ((differs & unread[i]) >> bit) & 1;
            }
        }
    }

  private:
    std::string what;
    std::map<std::uint8_t, std::pair<int, int>> bits;  // per mask: unread bits, noisy bits
};

class Noise : public ::testing::TestWithParam<int> {
  protected:
    int Version() const { return GetParam(); }
    bool Current() const { return Version() >= tesmo::kCurrentProtocolVersion; }

    strSimPlant plant = BuildPlant(eSimPlant::Demo, 1);
    SimNoise noise{42, GetParam()};
    Bytes quiet, noisy;
};

TEST_P(Noise, CatalogueAndKindsDifferOnlyWhereUnread) {
    NoiseTally catalogues("catalogue"), kinds("kinds");
    for (eSimPlant which : {eSimPlant::Demo, eSimPlant::Large, eSimPlant::Empty}) {
        plant = BuildPlant(which, 1);
        EncodeCatalogue(plant, &quiet);
        EncodeCatalogue(plant, &noisy, &noise);
        catalogues.Compare(quiet, noisy, CatalogueMask(quiet, Current()));
        EncodeSpecialKinds(plant, &quiet);
        EncodeSpecialKinds(plant, &noisy, &noise);
        if (which != eSimPlant::Empty)
            kinds.Compare(quiet, noisy, KindsMask(quiet, plant.machines.size()));
    }
}

TEST_P(Noise, ExchangeRepliesDifferOnlyWhereUnread) {
    EncodeLogin(true, static_cast<std::uint16_t>(Version()), &quiet);
    EncodeLogin(true, static_cast<std::uint16_t>(Version()), &noisy, &noise);
    Mask login(8, 0);
    login[4] = login[5] = 0xFF;
    NoiseTally("login").Compare(quiet, noisy, login);

    EncodeStamp(tesmo::CatalogueStamp, 7, &quiet);
    EncodeStamp(tesmo::CatalogueStamp, 7, &noisy, &noise);
    NoiseTally("stamp").Compare(quiet, noisy, HeadMask(quiet, 0));

    NoiseTally values("values");
    for (std::uint16_t m = 0; m < plant.machines.size(); ++m) {
        EncodeValues(TestContext(), plant, m, tesmo::Values, &quiet);
        EncodeValues(TestContext(), plant, m, tesmo::Values, &noisy, &noise);
        values.Compare(quiet, noisy,
                       ValuesMask(quiet, plant.machines[m].digital.size(), Current()));
    }

    strTrendRequest trend;
    trend.kind = tesmo::kKindPoint;
    trend.from = static_cast<std::int32_t>(kTestNow - 86400);
    trend.to = static_cast<std::int32_t>(kTestNow);
    trend.maxItems = 24;
    std::vector<strSample> samples;
    EncodeTrend(TestContext(), plant, 0, trend, tesmo::TrendMapped, true, &samples, &quiet);
    EncodeTrend(TestContext(), plant, 0, trend, tesmo::TrendMapped, true, &samples, &noisy, &noise);
    NoiseTally("trend").Compare(quiet, noisy, HeadMask(quiet, 13));

    std::vector<float> scratch;
    for (std::int32_t to : {static_cast<std::int32_t>(kTestNow), 1}) {
        strAnalysisRequest analysis;
        analysis.from = to - 86400;
        analysis.to = to;
        EncodeAnalysis(TestContext(), plant, 0, analysis, tesmo::Analisis, &scratch, &quiet);
        EncodeAnalysis(TestContext(), plant, 0, analysis, tesmo::Analisis, &scratch, &noisy,
                       &noise);
        NoiseTally(quiet.size() > 28 ? "analysis" : "empty analysis")
            .Compare(quiet, noisy, HeadMask(quiet, 14));
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, Noise, ::testing::Values(200, 150),
                         [](const ::testing::TestParamInfo<int>& version) {
                             return "version" + std::to_string(version.param);
                         });

}  // namespace

}  // namespace tesmosim
