// The JSON writer on the largest answers: a trend of 30,000 samples and the
// largest stored spectrum (65,549 values), written by the resources' own
// document templates from a source that hands out samples from memory, and
// FormatTime, which every sample's time goes through.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "api/Parameters.h"
#include "api/Times.h"
#include "api/resources/Analysis.h"
#include "api/resources/Trend.h"

namespace {

// The gateway's results buffer.
constexpr uint32_t kResultsSize = 1000000;
// Room for every answer below, so that the writer writes all of it.
constexpr uint32_t kLargeResultsSize = 4000000;
constexpr int kTrendSamples = 30000;
constexpr int kSpectrumValues = 65549;
constexpr int32_t kFirstSampleTime = 1733616000;  // 2024-12-08T00:00:00Z
constexpr int32_t kSamplePeriod = 600;

template <size_t N>
void Copy(char (&field)[N], const char* text) {
    std::snprintf(field, N, "%s", text);
}

// One group with one machine with one ANALOG variable and one spectrum
// definition, answering the trend and analysis queries from memory, with
// values of the spread a vibration level has.
class MemorySource {
  public:
    MemorySource() {
        Copy(group.name, "Bombeo");
        Copy(group.id, "Bombeo");
        group.countOfMachines = 1;
        group.machines = &machine;
        Copy(machine.name, "P-101");
        Copy(machine.id, "P-101");
        machine.group = &group;
        machine.countOfPoints = 1;
        machine.points = &point;
        machine.countOfVariables = 1;
        machine.variables = &variable;
        machine.countOfAnalisis = 1;
        machine.analisis = &definition;
        Copy(point.name, "Motor lado libre");
        Copy(point.id, "1H");
        Copy(variable.id, "1");
        Copy(variable.name, "Velocidad");
        Copy(variable.type, "VIBRATION");
        variable.point = &point;
        Copy(definition.id, "1/S");
        definition.type = 'S';
        definition.point = &point;
        Copy(definition.magnitude, "Velocity");
        Copy(definition.units, "mm/s");
        for (int i = 0; i < kTrendSamples; ++i) {
            float level = 2.5f + 0.7f * std::sin(0.01f * static_cast<float>(i));
            samples.push_back({kFirstSampleTime + kSamplePeriod * i, level});
        }
        for (int i = 0; i < kSpectrumValues; ++i) {
            values.push_back(0.03f + 0.02f * std::cos(0.37f * static_cast<float>(i)));
        }
        header = {'E', kFirstSampleTime, 2980.7f, 0.0f, 0.0f, 1000.0f, 79.28f, kSpectrumValues};
    }

    int GetCountOfGroups() { return 1; }
    strGroup* GetGroup(int i) { return i == 0 ? &group : nullptr; }
    bool Update(strMachine*) { return true; }
    bool GetTrend(int* count, strMachine*, strVariable*, long, long, int, bool) {
        *count = static_cast<int>(samples.size());
        return true;
    }
    bool GetTrendData(strTimeValue* out, int i) {
        *out = samples[static_cast<size_t>(i)];
        return true;
    }
    bool GetAnalisis(strAnalisisData* data, strMachine*, strAnalisis*, long, long, bool) {
        *data = header;
        return true;
    }
    bool GetAnalisisData(float* out, int i) {
        *out = values[static_cast<size_t>(i)];
        return true;
    }

  private:
    strGroup group = {};
    strMachine machine = {};
    strPoint point = {};
    strVariable variable = {};
    strAnalisis definition = {};
    std::vector<strTimeValue> samples;
    std::vector<float> values;
    strAnalisisData header = {};
};

// Writes one document per iteration into a buffer of size bytes; the
// answer's length is reported as bytes, and whether it fitted.
template <class Write>
void WriteDocuments(benchmark::State& state, uint32_t size, Write write) {
    MemorySource source;
    std::vector<char> buffer(size);
    size_t length = 0;
    bool failed = false;
    for (auto _ : state) {
        strJsonOutput output;
        JsonInit(&output, buffer.data(), size);
        if (!write(source, &output)) state.SkipWithError("the write failed");
        // An answer that failed was replaced by its error document.
        length = std::strlen(buffer.data());
        failed = output.error;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * length));
    state.counters["answer_bytes"] = static_cast<double>(length);
    state.counters["fits"] = failed ? 0 : 1;
}

strTrendRequest TrendRequest() {
    strTrendRequest request = {};
    Copy(request.machineId, "P-101");
    Copy(request.variableId, "1");
    request.from = kFirstSampleTime;
    request.to = kFirstSampleTime + kSamplePeriod * kTrendSamples;
    request.maxItems = kTrendSamples;
    request.mapped = false;
    return request;
}

strAnalysisRequest SpectrumRequest() {
    strAnalysisRequest request = {};
    Copy(request.machineId, "P-101");
    Copy(request.analysisId, "1/S");
    request.time = kFirstSampleTime;
    return request;
}

// Range 0: the gateway's results buffer; 1: a buffer the answer fits in.
uint32_t BufferSize(const benchmark::State& state) {
    return state.range(0) == 0 ? kResultsSize : kLargeResultsSize;
}

void BM_WriteTrend30000(benchmark::State& state) {
    const strTrendRequest request = TrendRequest();
    WriteDocuments(state, BufferSize(state), [&request](MemorySource& source, strJsonOutput* out) {
        return WriteTrend(source, out, request);
    });
}
BENCHMARK(BM_WriteTrend30000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WriteSpectrum65549(benchmark::State& state) {
    const strAnalysisRequest request = SpectrumRequest();
    WriteDocuments(state, BufferSize(state), [&request](MemorySource& source, strJsonOutput* out) {
        return WriteAnalysis(source, out, request);
    });
}
BENCHMARK(BM_WriteSpectrum65549)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_FormatTime(benchmark::State& state) {
    char text[kTimeTextSize];
    int32_t time = kFirstSampleTime;
    for (auto _ : state) {
        FormatTime(time, text);
        benchmark::DoNotOptimize(text);
        time += kSamplePeriod;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (kTimeTextSize - 1)));
}
BENCHMARK(BM_FormatTime);

}  // namespace
