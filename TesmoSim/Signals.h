// The value functions of the simulated plant: current values and statuses,
// trend samples and stored analyses, all computed on demand from the plant,
// the seed and a point in time. Nothing is stored, so every answer for the
// same (seed, time) is the same.
#pragma once

#include <cstdint>
#include <vector>

#include "Plant.h"

namespace tesmosim {

// What every value function needs besides the plant.
struct strSimContext {
    std::uint32_t seed = 1;
    std::int64_t now = 0;    // the current time, UTC seconds
    int trendPeriod = 600;   // seconds between trend samples
    int historySeconds = 0;  // how far back trends and analyses reach
    int analysisPeriod = 0;  // seconds between stored analyses of one definition
};

// The value of a variable of the machine at time t.
double VariableValue(const strSimContext& context, const strSimMachine& machine,
                     const strSimVariable& variable, std::int64_t t);

// The value status code (0 normal, 1/2 high alarm/trip, 3/4 low alarm/trip,
// the first undefined one) of a value, from the variable's levels and flags.
std::uint8_t ValueCode(const strSimMachine& machine, const strSimVariable& variable, double value);

// Running speed of the machine's measured shaft (rpm) and its power (kW) at t.
double MachineSpeed(const strSimContext& context, const strSimMachine& machine, std::int64_t t);
double MachinePower(const strSimContext& context, const strSimMachine& machine, std::int64_t t);

// Trend samples of one variable between from and to (both included), at
// multiples of the trend period, never in the future nor before the history.
struct strTrendSpan {
    std::int64_t first = 0;  // time of the first sample
    std::int64_t count = 0;  // number of samples
};
strTrendSpan TrendSpan(const strSimContext& context, std::int64_t from, std::int64_t to);

struct strSample {
    std::int32_t time;
    float value;
};

// All samples of the span, at most `limit` of them from the oldest on.
void RawTrend(const strSimContext& context, const strSimMachine& machine,
              const strSimVariable& variable, const strTrendSpan& span, std::int64_t limit,
              std::vector<strSample>* out);

// At most maxItems samples spread over the span: the span is cut into
// maxItems equal runs of samples and the highest sample of each run is kept,
// so peaks survive the thinning. maxItems of 0 or less gives none.
void MappedTrend(const strSimContext& context, const strSimMachine& machine,
                 const strSimVariable& variable, const strTrendSpan& span, std::int64_t maxItems,
                 std::vector<strSample>* out);

// The time of the latest stored result of the analysis in [from, to]; false
// when there is none (always for a stopped machine).
bool LatestAnalysisTime(const strSimContext& context, const strSimMachine& machine,
                        const strSimAnalysis& analysis, std::int64_t from, std::int64_t to,
                        std::int32_t* time);

// The values of the stored result at time t: the spectrum's lines from 0 Hz
// to fmax, or the waveform's samples at fs.
void AnalysisValues(const strSimContext& context, const strSimMachine& machine,
                    const strSimAnalysis& analysis, std::int32_t t, std::vector<float>* out);

}  // namespace tesmosim
