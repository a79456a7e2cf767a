// Value functions: a daily cycle plus noise around each variable's nominal
// value, pushed into the alarm or trip band for the variables that carry a
// machine's fault; spectra and waveforms built from the running speed.
#include "Signals.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "SimHash.h"
#include "TesmoProtocol.h"

namespace tesmosim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::int64_t kSecondsPerDay = 86400;

// Shares of the daily cycle and of the noise in a variable's movement.
constexpr double kDailyShare = 0.7;
constexpr double kNoiseShare = 0.3;
// Relative swing of a value around its nominal, of the speed and of the power.
constexpr double kNormalSwing = 0.12;
constexpr double kSpeedSwing = 0.002;
constexpr double kPowerSwing = 0.1;
constexpr double kPhaseSwingDegrees = 10;
// Where a faulty value sits: the alarm band between high and high-high
// (middle and half-width, as shares of the band), or above high-high.
constexpr double kAlarmMiddle = 0.5;
constexpr double kAlarmSwing = 0.3;
constexpr double kTripFactor = 1.25;
constexpr double kTripSwing = 0.1;
// A dropping-out sensor reports NaN whenever the noise lies below this.
constexpr double kDropoutBelow = -0.3;
// What is left of a level while the machine stands still.
constexpr double kStoppedResidue = 0.05;

// Floor division for possibly negative times.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// A movement in [-1, 1]: the daily cycle at a per-variable phase plus noise.
double Wave(const strSimContext& context, std::int32_t number, std::int64_t t) {
    double day = static_cast<double>(t - FloorDiv(t, kSecondsPerDay) * kSecondsPerDay) /
                 static_cast<double>(kSecondsPerDay);
    double phase = 0.37 * number;
    return kDailyShare * std::sin(2 * kPi * day + phase) +
           kNoiseShare * Noise(context.seed, static_cast<std::uint64_t>(number),
                               static_cast<std::uint64_t>(t));
}

double FaultyLevel(const strSimMachine& machine, const strSimVariable& variable, double wave) {
    double high = variable.levels.high;
    double highHigh = variable.levels.highHigh;
    if (machine.condition == eCondition::Trip) return highHigh * (kTripFactor + kTripSwing * wave);
    return high + (highHigh - high) * (kAlarmMiddle + kAlarmSwing * wave);
}

// One spectral component: a frequency and a peak amplitude.
struct strComponent {
    double frequency;
    double amplitude;
};

// Harmonic shares of the running speed for each fault.
constexpr double kShares1X = 0.8, kShares2X = 0.3, kShares3X = 0.15;
constexpr double kUnbalance1X = 1.2;
constexpr double kMisalignment2X = 0.9, kMisalignment3X = 0.45;
// Bearing defect frequencies as multiples of the running speed (outer and
// inner race), the share of their first harmonic and how many harmonics.
constexpr double kOuterRace = 3.58, kInnerRace = 5.42;
constexpr double kBearingShare = 0.4;
constexpr int kBearingHarmonics = 4;
// Noise floor of a spectrum and of a waveform, as shares of the overall level.
constexpr double kSpectrumFloor = 0.015;
constexpr double kWaveformNoise = 0.05;
// Impacts in a waveform: height as a share of the overall level, ringing
// frequency as a share of fs, and decay time.
constexpr double kImpactHeightBearing = 3.0, kImpactHeight = 0.3;
constexpr double kRingingShare = 0.2;
constexpr double kImpactDecaySeconds = 0.002;

std::vector<strComponent> Components(const strSimMachine& machine, double overall, double f1) {
    bool faulty = machine.condition == eCondition::Alarm || machine.condition == eCondition::Trip;
    double one = kShares1X, two = kShares2X, three = kShares3X;
    if (faulty && machine.fault == eFault::Unbalance) one = kUnbalance1X;
    if (faulty && machine.fault == eFault::Misalignment) {
        two = kMisalignment2X;
        three = kMisalignment3X;
    }
    std::vector<strComponent> components = {
        {f1, one * overall}, {2 * f1, two * overall}, {3 * f1, three * overall}};
    if (faulty && machine.fault == eFault::Bearing) {
        for (int h = 1; h <= kBearingHarmonics; ++h) {
            components.push_back({h * kOuterRace * f1, kBearingShare * overall / h});
            components.push_back({h * kInnerRace * f1, kBearingShare * overall / (2 * h)});
        }
    }
    return components;
}

const strSimVariable& AnalysedVariable(const strSimMachine& machine,
                                       const strSimAnalysis& analysis) {
    return machine.points[analysis.point].variables[analysis.variable];
}

// Spreads a component over the lines next to its frequency, as a Hanning
// window's main lobe does.
void AddPeak(std::vector<float>* lines, double position, double amplitude) {
    const double lobe = 2.0;
    int lowest = static_cast<int>(std::ceil(position - lobe));
    int highest = static_cast<int>(std::floor(position + lobe));
    for (int j = std::max(lowest, 0); j <= highest && j < static_cast<int>(lines->size()); ++j) {
        double weight = 0.5 + 0.5 * std::cos(kPi * (j - position) / lobe);
        (*lines)[j] += static_cast<float>(amplitude * weight);
    }
}

void Spectrum(const strSimContext& context, const std::vector<strComponent>& components,
              double overall, const strSimAnalysis& analysis, std::int32_t t,
              std::vector<float>* out) {
    std::size_t count = analysis.stored > 0 ? static_cast<std::size_t>(analysis.stored)
                                            : static_cast<std::size_t>(analysis.lines);
    out->assign(count, 0.0f);
    double resolution = analysis.fmax / static_cast<double>(count);
    std::uint64_t key = Hash3(context.seed, static_cast<std::uint64_t>(analysis.offset),
                              static_cast<std::uint64_t>(t));
    for (std::size_t j = 0; j < out->size(); ++j)
        (*out)[j] = static_cast<float>(kSpectrumFloor * overall *
                                       (0.6 + 0.4 * std::fabs(Noise(key, j, 0))));
    for (const strComponent& component : components)
        AddPeak(out, component.frequency / resolution, component.amplitude);
}

void Waveform(const strSimContext& context, const strSimMachine& machine,
              const std::vector<strComponent>& components, double overall, double f1,
              const strSimAnalysis& analysis, std::int32_t t, std::vector<float>* out) {
    out->assign(analysis.samples, 0.0f);
    std::uint64_t key = Hash3(context.seed, static_cast<std::uint64_t>(analysis.offset),
                              static_cast<std::uint64_t>(t));
    bool bearing = machine.fault == eFault::Bearing && machine.condition != eCondition::Normal;
    double impactRate = bearing ? kOuterRace * f1 : f1;
    double impactHeight = (bearing ? kImpactHeightBearing : kImpactHeight) * overall;
    double ringing = kRingingShare * analysis.fs;
    for (std::size_t j = 0; j < out->size(); ++j) {
        double time = static_cast<double>(j) / analysis.fs;
        double x = kWaveformNoise * overall * Noise(key, j, 1);
        for (std::size_t k = 0; k < components.size(); ++k) {
            double phase = kPi * Noise(key, k, 2);
            x += components[k].amplitude *
                 std::sin(2 * kPi * components[k].frequency * time + phase);
        }
        if (impactRate > 0) {
            double sinceImpact = std::fmod(time, 1.0 / impactRate);
            x += impactHeight * std::exp(-sinceImpact / kImpactDecaySeconds) *
                 std::sin(2 * kPi * ringing * sinceImpact);
        }
        (*out)[j] = static_cast<float>(x);
    }
}

}  // namespace

double VariableValue(const strSimContext& context, const strSimMachine& machine,
                     const strSimVariable& variable, std::int64_t t) {
    double wave = Wave(context, variable.number, t);
    bool running = machine.Running();
    switch (variable.signal) {
        case eSignal::Digital:
            return running ? 1.0 : 0.0;
        case eSignal::Speed:
            return running ? variable.nominal * (1 + kSpeedSwing * wave) : 0.0;
        case eSignal::Phase:
            return variable.nominal + kPhaseSwingDegrees * wave;
        case eSignal::Fixed:
            return variable.nominal;
        case eSignal::Dropout:
            if (Noise(context.seed, static_cast<std::uint64_t>(variable.number),
                      static_cast<std::uint64_t>(t)) < kDropoutBelow)
                return std::numeric_limits<double>::quiet_NaN();
            break;
        case eSignal::Level:
            break;
    }
    if (!running) return variable.nominal * kStoppedResidue * (1 + 0.5 * wave);
    if (variable.faulty) return FaultyLevel(machine, variable, wave);
    return variable.nominal * (1 + kNormalSwing * wave);
}

std::uint8_t ValueCode(const strSimMachine& machine, const strSimVariable& variable, double value) {
    if (!machine.Running()) return tesmo::kValueCodeUndefined;
    const strSimLevels& levels = variable.levels;
    if ((levels.flags & tesmo::kLevelHighHighBit) && value >= levels.highHigh)
        return tesmo::kValueCodeTrip;
    if ((levels.flags & tesmo::kLevelHighBit) && value >= levels.high)
        return tesmo::kValueCodeAlarm;
    if ((levels.flags & tesmo::kLevelLowLowBit) && value <= levels.lowLow)
        return tesmo::kValueCodeTripToo;
    if ((levels.flags & tesmo::kLevelLowBit) && value <= levels.low)
        return tesmo::kValueCodeAlarmToo;
    return tesmo::kValueCodeNormal;
}

double MachineSpeed(const strSimContext& context, const strSimMachine& machine, std::int64_t t) {
    if (machine.rpm.empty()) return 0;
    return VariableValue(context, machine, machine.rpm.front(), t);
}

double MachinePower(const strSimContext& context, const strSimMachine& machine, std::int64_t t) {
    if (!machine.Running()) return 0;
    std::int32_t key = machine.rpm.empty() ? 0 : machine.rpm.front().number + 1;
    return machine.powerKw * (0.8 + kPowerSwing * Wave(context, key, t));
}

strTrendSpan TrendSpan(const strSimContext& context, std::int64_t from, std::int64_t to) {
    strTrendSpan span;
    std::int64_t period = context.trendPeriod;
    std::int64_t earliest = std::max(from, context.now - context.historySeconds);
    std::int64_t latest = std::min(to, context.now);
    span.first = -FloorDiv(-earliest, period) * period;
    if (latest < span.first) return span;
    span.count = (latest - span.first) / period + 1;
    return span;
}

void RawTrend(const strSimContext& context, const strSimMachine& machine,
              const strSimVariable& variable, const strTrendSpan& span, std::int64_t limit,
              std::vector<strSample>* out) {
    out->clear();
    std::int64_t count = std::min(span.count, limit);
    for (std::int64_t i = 0; i < count; ++i) {
        std::int64_t t = span.first + i * context.trendPeriod;
        out->push_back({static_cast<std::int32_t>(t),
                        static_cast<float>(VariableValue(context, machine, variable, t))});
    }
}

void MappedTrend(const strSimContext& context, const strSimMachine& machine,
                 const strSimVariable& variable, const strTrendSpan& span, std::int64_t maxItems,
                 std::vector<strSample>* out) {
    if (span.count <= maxItems || maxItems <= 0) {
        RawTrend(context, machine, variable, span, std::max<std::int64_t>(maxItems, 0), out);
        return;
    }
    out->clear();
    for (std::int64_t run = 0; run < maxItems; ++run) {
        std::int64_t begin = run * span.count / maxItems;
        std::int64_t end = (run + 1) * span.count / maxItems;
        strSample peak = {0, 0};
        for (std::int64_t i = begin; i < end; ++i) {
            std::int64_t t = span.first + i * context.trendPeriod;
            float value = static_cast<float>(VariableValue(context, machine, variable, t));
            if (i == begin || value > peak.value) peak = {static_cast<std::int32_t>(t), value};
        }
        out->push_back(peak);
    }
}

bool LatestAnalysisTime(const strSimContext& context, const strSimMachine& machine,
                        const strSimAnalysis& analysis, std::int64_t from, std::int64_t to,
                        std::int32_t* time) {
    if (!machine.Running()) return false;
    std::int64_t upper = std::min(to, context.now);
    std::int64_t lower = std::max(from, context.now - context.historySeconds);
    std::int64_t period = context.analysisPeriod;
    std::int64_t latest = FloorDiv(upper - analysis.offset, period) * period + analysis.offset;
    if (latest < lower) return false;
    *time = static_cast<std::int32_t>(latest);
    return true;
}

void AnalysisValues(const strSimContext& context, const strSimMachine& machine,
                    const strSimAnalysis& analysis, std::int32_t t, std::vector<float>* out) {
    double overall = VariableValue(context, machine, AnalysedVariable(machine, analysis), t);
    double f1 = MachineSpeed(context, machine, t) / 60.0;
    std::vector<strComponent> components = Components(machine, overall, f1);
    if (analysis.kind == tesmo::kWireSpectrum) {
        Spectrum(context, components, overall, analysis, t, out);
        return;
    }
    Waveform(context, machine, components, overall, f1, analysis, t, out);
}

}  // namespace tesmosim
