// Stored analyses: the latest result in the window or the 14-byte empty
// reply; spectra with running-speed peaks and bearing tones; waveforms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "SimTestSupport.h"

namespace tesmosim {

namespace {

struct strDecoded {
    bool empty = true;
    char type = 0;
    std::int32_t time = 0;
    float rpm = 0, fmax = 0, kw = 0;
    std::vector<float> values;
};

class AnalysisReply : public ::testing::Test {
  protected:
    void SetUp() override { plant = BuildPlant(eSimPlant::Demo, 1); }

    strDecoded Analysis(int machine, int definition, std::int64_t from, std::int64_t to) {
        strAnalysisRequest request;
        request.position = static_cast<std::uint16_t>(definition);
        request.from = static_cast<std::int32_t>(from);
        request.to = static_cast<std::int32_t>(to);
        EncodeAnalysis(TestContext(), plant, static_cast<std::uint16_t>(machine), request,
                       tesmo::Analisis, &scratch, &reply);
        std::uint32_t length = AnnouncedLength(reply);
        EXPECT_EQ(length, reply.size() - tesmo::kHeaderSize);
        strDecoded decoded;
        if (length == tesmo::kAnalisisEmptyReply) return decoded;
        const unsigned char* payload = Payload(reply);
        std::int32_t n = tesmo::LoadI32(payload + tesmo::kAnalisisCountOffset);
        EXPECT_EQ(length, tesmo::kAnalisisValuesOffset + tesmo::kAnalisisValueSize * n);
        decoded.empty = false;
        decoded.type = static_cast<char>(payload[tesmo::kAnalisisTypeOffset]);
        decoded.time = tesmo::LoadI32(payload + tesmo::kAnalisisTimeOffset);
        decoded.rpm = tesmo::LoadF32(payload + tesmo::kAnalisisRpmOffset);
        decoded.fmax = tesmo::LoadF32(payload + tesmo::kAnalisisResultFmaxOffset);
        decoded.kw = tesmo::LoadF32(payload + tesmo::kAnalisisKwOffset);
        for (std::int32_t i = 0; i < n; ++i)
            decoded.values.push_back(tesmo::LoadF32(payload + tesmo::kAnalisisValuesOffset +
                                                    i * tesmo::kAnalisisValueSize));
        return decoded;
    }

    static double Resolution(const strDecoded& spectrum) {
        return spectrum.fmax / static_cast<double>(spectrum.values.size());
    }

    static double LineHz(const strDecoded& spectrum, std::size_t line) {
        return static_cast<double>(line) * Resolution(spectrum);
    }

    // Index of the highest line of a spectrum between two frequencies.
    static std::size_t PeakLine(const strDecoded& spectrum, double lowHz, double highHz) {
        double resolution = Resolution(spectrum);
        std::size_t low = static_cast<std::size_t>(lowHz / resolution);
        std::size_t high =
            std::min(spectrum.values.size(), static_cast<std::size_t>(highHz / resolution) + 1);
        return static_cast<std::size_t>(
            std::max_element(spectrum.values.begin() + low, spectrum.values.begin() + high) -
            spectrum.values.begin());
    }

    strSimPlant plant;
    std::vector<float> scratch;
    Bytes reply;
};

TEST_F(AnalysisReply, AnswersTheLatestStoredResultInsideTheWindow) {
    strDecoded latest = Analysis(0, 0, kTestNow - 86400, kTestNow);
    ASSERT_FALSE(latest.empty);
    EXPECT_EQ(latest.type, tesmo::kWireSpectrum);
    EXPECT_LE(latest.time, kTestNow);
    EXPECT_GT(latest.time, kTestNow - demo::kAnalysisPeriod);
    EXPECT_TRUE(Analysis(0, 0, latest.time + 1, kTestNow).empty)
        << "nothing stored after the latest";
    strDecoded earlier = Analysis(0, 0, kTestNow - 86400, latest.time - 1);
    ASSERT_FALSE(earlier.empty);
    EXPECT_EQ(latest.time - earlier.time, demo::kAnalysisPeriod);
    strDecoded exact = Analysis(0, 0, earlier.time, earlier.time);
    EXPECT_EQ(exact.time, earlier.time) << "a window of one second finds the result stored then";
    EXPECT_EQ(exact.values, earlier.values) << "the same stored result every time";
}

TEST_F(AnalysisReply, EmptyReplyIsExactlyFourteenBytes) {
    EXPECT_TRUE(Analysis(0, 0, kTestNow + 1, kTestNow + 86400).empty) << "the future";
    EXPECT_EQ(AnnouncedLength(reply), tesmo::kAnalisisEmptyReply);
    EXPECT_TRUE(Analysis(0, 0, kTestNow - 600, kTestNow - 3600).empty) << "from after to";
    EXPECT_TRUE(Analysis(0, 99, kTestNow - 86400, kTestNow).empty) << "no such definition";
    EXPECT_TRUE(Analysis(99, 0, kTestNow - 86400, kTestNow).empty) << "no such machine";
    int stopped = MachinePosition(plant, demo::kMachineStopped);
    EXPECT_TRUE(Analysis(stopped, 0, kTestNow - 86400, kTestNow).empty)
        << "a stopped machine stores none";
    EXPECT_EQ(AnnouncedLength(reply), tesmo::kAnalisisEmptyReply);
}

TEST_F(AnalysisReply, SpectrumHasItsLinesAndPeaksAtRunningSpeedHarmonics) {
    strDecoded spectrum = Analysis(0, 0, kTestNow - 86400, kTestNow);
    ASSERT_EQ(spectrum.values.size(), static_cast<std::size_t>(demo::kSpectrumLines));
    EXPECT_NEAR(spectrum.rpm, demo::kPumpSpeedRpm, demo::kPumpSpeedRpm * 0.01);
    EXPECT_GT(spectrum.kw, 0.0f);
    double resolution = Resolution(spectrum);
    double f1 = spectrum.rpm / 60.0;
    for (int harmonic = 1; harmonic <= 3; ++harmonic) {
        double expected = harmonic * f1;
        std::size_t line = PeakLine(spectrum, expected - 10, expected + 10);
        EXPECT_NEAR(LineHz(spectrum, line), expected, 2 * resolution) << harmonic << "X";
    }
    float floor = spectrum.values[spectrum.values.size() - 1];
    EXPECT_GT(floor, 0.0f) << "a noise floor";
    EXPECT_GT(spectrum.values[PeakLine(spectrum, f1 - 10, f1 + 10)], 10 * floor);
}

TEST_F(AnalysisReply, BearingFaultShowsDefectTonesOthersDoNot) {
    int gearbox = MachinePosition(plant, demo::kMachineBearingFault);
    // The gearbox's definition 6: envelope spectrum at its faulty point.
    strDecoded faulty = Analysis(gearbox, 6, kTestNow - 86400, kTestNow);
    ASSERT_FALSE(faulty.empty);
    double outerRace = 3.58 * faulty.rpm / 60.0;
    std::size_t line = PeakLine(faulty, outerRace - 5, outerRace + 5);
    EXPECT_NEAR(LineHz(faulty, line), outerRace, 2 * Resolution(faulty));
    float tone = faulty.values[line];
    float floor = faulty.values.back();
    EXPECT_GT(tone, 10 * floor);
    // The healthy pump's envelope spectrum (definition 2) has only the floor there.
    strDecoded healthy = Analysis(0, 2, kTestNow - 86400, kTestNow);
    double healthyOuter = 3.58 * healthy.rpm / 60.0;
    float healthyTone = healthy.values[PeakLine(healthy, healthyOuter - 2, healthyOuter + 2)];
    EXPECT_LT(healthyTone, 3 * healthy.values.back() + 0.01f);
}

TEST_F(AnalysisReply, WaveformCarriesItsSamplesAndSwingsAroundZero) {
    strDecoded waveform = Analysis(0, 1, kTestNow - 86400, kTestNow);
    ASSERT_FALSE(waveform.empty);
    EXPECT_EQ(waveform.type, tesmo::kWireWaveform);
    ASSERT_EQ(waveform.values.size(), static_cast<std::size_t>(demo::kWaveformSamples));
    double sum = 0;
    float highest = 0;
    for (float value : waveform.values) {
        sum += value;
        highest = std::max(highest, std::fabs(value));
    }
    EXPECT_LT(std::fabs(sum / static_cast<double>(waveform.values.size())), 0.2 * highest);
    EXPECT_GT(highest, 1.0f);
}

}  // namespace

}  // namespace tesmosim
