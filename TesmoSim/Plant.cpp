// The demo, large, empty and edge plants.
#include "Plant.h"

#include <cstdio>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>

#include "PlantFacts.h"
#include "SimHash.h"
#include "TesmoProtocol.h"

namespace tesmosim {

namespace {

constexpr std::uint8_t kHighSide = tesmo::kLevelHighBit | tesmo::kLevelHighHighBit;
constexpr std::uint8_t kBothSides = kHighSide | tesmo::kLevelLowBit | tesmo::kLevelLowLowBit;

constexpr bool SameText(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// The protocol's code of a diagnostic kind text; -1 when there is none.
constexpr std::int8_t KindCode(const char* text) {
    for (const tesmo::strSpecialKind& kind : tesmo::kSpecialKinds)
        if (SameText(kind.text, text)) return kind.code;
    return -1;
}

constexpr bool IsKnownKind(std::int8_t code) {
    for (const tesmo::strSpecialKind& kind : tesmo::kSpecialKinds)
        if (kind.code == code) return true;
    return false;
}

// Diagnostic kind codes the plants use.
constexpr std::int8_t kKindComponent = KindCode("COMPONENT");
constexpr std::int8_t kKindUnbalance = KindCode("UNBALANCE");
constexpr std::int8_t kKindMisalignment = KindCode("MISALIGMENT");
constexpr std::int8_t kKindLooseness = KindCode("LOOSENESS");
constexpr std::int8_t kKindGear = KindCode("GEAR");
constexpr std::int8_t kKindBearing = KindCode("BEARING");
constexpr std::int8_t kKindImpacts = KindCode("IMPACTS");
constexpr std::int8_t kKindPhase = KindCode("PHASE");
// A code of no known kind, as a newer server might send.
constexpr std::int8_t kKindUnknown = 20;
static_assert(!IsKnownKind(kKindUnknown), "the unknown kind must stay unknown");

// Stored analyses are spread over the first hour of each storage period.
constexpr std::uint64_t kOffsetSpread = 3600;

// A waveform holds 2.56 samples per spectral line, sampled at 2.56 fmax.
constexpr double kSamplesPerLine = 2.56;

// A point measurement as the server names it, with its alarm levels.
struct strMeasure {
    const char* name;
    const char* units;
    float highHigh;
    float high;
    double nominal;
    eSignal signal;
};

const strMeasure kVelocity = {"Velocidad", demo::kVelocityUnits, 11.0f, demo::kVelocityHigh,
                              2.8,         eSignal::Level};
const strMeasure kAcceleration = {"Aceleracion", "g", 10.0f, 5.0f, 1.5, eSignal::Level};
const strMeasure kEnvelope = {"Envolvente", "gE", 6.0f, 3.0f, 0.8, eSignal::Level};
const strMeasure kTemperature = {"Temperatura",
                                 "\xB0"
                                 "C",
                                 95.0f,
                                 80.0f,
                                 48,
                                 eSignal::Level};
const strMeasure kDisplacement = {"Desplazamiento 1X", "\xB5m", 100.0f, 65.0f, 25, eSignal::Level};
// Phase wanders far below its levels: they only catch a sensor gone wild.
const strMeasure kPhase = {"Fase 1X", "\xB0", 340.0f, 300.0f, 120, eSignal::Phase};
const strMeasure kKurtosis = {"Curtosis", "-", 8.0f, 5.0f, 3.0, eSignal::Level};

strSimLevels HighLevels(float highHigh, float high) {
    strSimLevels levels;
    levels.flags = kHighSide;
    levels.highHigh = highHigh;
    levels.high = high;
    return levels;
}

strSimLevels BothLevels(float highHigh, float high, float low, float lowLow) {
    strSimLevels levels = HighLevels(highHigh, high);
    levels.flags = kBothSides;
    levels.low = low;
    levels.lowLow = lowLow;
    return levels;
}

// Adds records to one machine, numbering its variables by slot.
class MachineBuilder {
  public:
    MachineBuilder(strSimMachine* target, int position)
        : machine(target),
          base(position * kNumbersPerMachine),
          pointNumbers(target->CountOfPointVariables()) {}

    void Point(std::int16_t number, char letter, const char* name,
               std::initializer_list<const strMeasure*> measures, std::int16_t skipped = 0) {
        strSimPoint point;
        point.number = number;
        point.letter = letter;
        point.name = name;
        point.skipped = skipped;
        for (const strMeasure* measure : measures) {
            strSimVariable variable = Variable(++pointNumbers, measure->name, measure->units,
                                               measure->nominal, measure->signal);
            variable.levels = HighLevels(measure->highHigh, measure->high);
            point.variables.push_back(std::move(variable));
        }
        machine->points.push_back(std::move(point));
    }

    void Digital(const char* name) {
        int slot = kFirstDigitalSlot + static_cast<int>(machine->digital.size());
        machine->digital.push_back(Variable(slot, name, "", 1, eSignal::Digital));
    }

    void Analog(const char* name, const char* units, const strSimLevels& levels, double nominal) {
        int slot = kFirstAnalogSlot + static_cast<int>(machine->analog.size());
        strSimVariable variable = Variable(slot, name, units, nominal, eSignal::Level);
        variable.levels = levels;
        machine->analog.push_back(std::move(variable));
    }

    // An ANALOG variable without levels whose value moves as signal does.
    void Unlevelled(const char* name, eSignal signal, double nominal) {
        Analog(name, "", strSimLevels(), nominal);
        machine->analog.back().signal = signal;
    }

    void Rpm(const char* name, double nominal) {
        int slot = kFirstRpmSlot + static_cast<int>(machine->rpm.size());
        strSimVariable variable = Variable(slot, name, "", nominal, eSignal::Speed);
        variable.levels =
            HighLevels(static_cast<float>(nominal * 1.15), static_cast<float>(nominal * 1.08));
        machine->rpm.push_back(std::move(variable));
    }

    // A spectrum of the point's variable; with a waveform of the same span too.
    void Spectrum(int point, int variable, float fmax, std::uint16_t lines, std::uint16_t averages,
                  bool withWaveform) {
        strSimAnalysis analysis;
        analysis.kind = tesmo::kWireSpectrum;
        analysis.point = static_cast<std::int16_t>(point);
        analysis.variable = static_cast<std::int16_t>(variable);
        analysis.fmax = fmax;
        analysis.lines = lines;
        analysis.averages = averages;
        analysis.samples = static_cast<std::uint16_t>(lines * kSamplesPerLine);
        analysis.fs = static_cast<float>(fmax * kSamplesPerLine);
        machine->analyses.push_back(analysis);
        if (!withWaveform) return;
        analysis.kind = tesmo::kWireWaveform;
        machine->analyses.push_back(analysis);
    }

    // A diagnostic indicator at a point, in the units of one of the machine's
    // analyses (or in degrees).
    void Special(const char* name, int point, int analysis, std::int8_t kindCode) {
        strSimSpecial special;
        int slot = kFirstSpecialSlot + static_cast<int>(machine->specials.size());
        special.variable = Variable(slot, name, "", 1.0, eSignal::Level);
        special.variable.levels = HighLevels(6.0f, 3.0f);
        special.point = static_cast<std::int16_t>(point);
        special.analysis = static_cast<std::int16_t>(analysis);
        special.kindCode = kindCode;
        machine->specials.push_back(std::move(special));
    }

    void PhaseSpecial(const char* name, int point) {
        Special(name, point, 0, kKindPhase);
        strSimSpecial& special = machine->specials.back();
        special.degrees = true;
        special.variable.signal = eSignal::Phase;
        special.variable.nominal = kPhase.nominal;
        special.variable.levels = strSimLevels();
    }

  private:
    strSimVariable Variable(int slot, const char* name, const char* units, double nominal,
                            eSignal signal) const {
        strSimVariable variable;
        variable.number = base + slot;
        variable.name = name;
        variable.units = units;
        variable.nominal = nominal;
        variable.signal = signal;
        return variable;
    }

    strSimMachine* machine;
    int base;
    int pointNumbers;
};

enum class eKind { Pump, Fan, Compressor, Gearbox };

void BuildPump(MachineBuilder* add) {
    add->Point(1, 'H', demo::kPointMotorFreeEnd,
               {&kVelocity, &kAcceleration, &kEnvelope, &kTemperature}, 1);
    add->Point(1, 'V', demo::kPointMotorFreeEnd, {&kVelocity});
    add->Point(2, 'H', "Motor lado acoplamiento",
               {&kVelocity, &kAcceleration, &kEnvelope, &kDisplacement, &kPhase}, 2);
    add->Point(2, 'A', "Motor lado acoplamiento", {&kVelocity});
    add->Point(3, 'H', "Bomba lado acoplamiento", {&kVelocity, &kEnvelope, &kKurtosis});
    add->Point(4, 'H', "Bomba lado libre", {&kVelocity, &kTemperature});
    add->Digital("Motor en marcha");
    add->Analog(demo::kPressureName, demo::kPressureUnits, BothLevels(12, 10, 3, 2), 6.5);
    add->Analog("Caudal", "m\xB3/h", BothLevels(520, 480, 120, 80), 320);
    add->Analog("Corriente del motor", "A", HighLevels(180, 160), 110);
    add->Rpm("Velocidad de giro", demo::kPumpSpeedRpm);
    add->Spectrum(0, 0, 1000, demo::kSpectrumLines, 4, true);  // 0, 1
    add->Spectrum(0, 2, 500, 400, 8, false);                   // 2
    add->Spectrum(2, 0, 1000, 800, 4, true);                   // 3, 4
    add->Spectrum(2, 1, 10000, 3200, 4, true);                 // 5, 6
    add->Spectrum(4, 0, 1000, 800, 4, true);                   // 7, 8
    add->Spectrum(4, 1, 500, 400, 8, false);                   // 9
    add->Spectrum(5, 0, 1000, 800, 4, false);                  // 10
    add->Special("Desequilibrio", 2, 3, kKindUnbalance);
    add->Special("Desalineaci\xF3n", 2, 3, kKindMisalignment);
    add->Special("Rodamiento lado libre", 0, 2, kKindBearing);
    add->PhaseSpecial("Fase 1X acoplamiento", 2);
}

void BuildFan(MachineBuilder* add) {
    add->Point(1, 'H', demo::kPointMotorFreeEnd, {&kVelocity, &kEnvelope, &kTemperature});
    add->Point(2, 'H', "Motor lado acoplamiento", {&kVelocity, &kAcceleration, &kEnvelope}, 1);
    add->Point(3, 'H', "Ventilador lado acoplamiento",
               {&kVelocity, &kEnvelope, &kDisplacement, &kPhase});
    add->Point(3, 'V', "Ventilador lado acoplamiento", {&kVelocity});
    add->Point(4, 'H', "Ventilador lado libre", {&kVelocity, &kEnvelope});
    add->Digital("Motor en marcha");
    add->Analog("Corriente del motor", "A", HighLevels(95, 85), 60);
    add->Analog("Temperatura de gases",
                "\xB0"
                "C",
                HighLevels(220, 180), 140);
    add->Rpm("Velocidad de giro", 1480);
    add->Spectrum(0, 0, 500, 800, 4, true);   // 0, 1
    add->Spectrum(1, 0, 500, 800, 4, true);   // 2, 3
    add->Spectrum(1, 2, 500, 400, 8, false);  // 4
    add->Spectrum(2, 0, 500, 800, 4, true);   // 5, 6
    add->Spectrum(4, 0, 500, 800, 4, true);   // 7, 8
    add->Spectrum(4, 1, 500, 400, 8, false);  // 9
    add->Special("Desequilibrio", 2, 5, kKindUnbalance);
    add->Special("Holgura", 3, 5, kKindLooseness);
    add->Special("Rodamiento ventilador", 4, 9, kKindBearing);
}

void BuildCompressor(MachineBuilder* add) {
    add->Point(1, 'H', demo::kPointMotorFreeEnd, {&kVelocity, &kEnvelope, &kTemperature});
    add->Point(1, 'V', demo::kPointMotorFreeEnd, {&kVelocity});
    add->Point(2, 'H', "Motor lado acoplamiento", {&kVelocity, &kAcceleration, &kEnvelope});
    add->Point(3, 'H', "Compresor lado acoplamiento",
               {&kVelocity, &kAcceleration, &kDisplacement, &kPhase}, 1);
    add->Point(3, 'A', "Compresor lado acoplamiento", {&kVelocity});
    add->Point(4, 'H', "Compresor lado libre", {&kVelocity, &kEnvelope, &kTemperature});
    add->Digital("Motor en marcha");
    add->Analog("Presi\xF3n de aspiraci\xF3n", "bar", BothLevels(2.0f, 1.6f, 0.6f, 0.4f), 1.0);
    add->Analog("Presi\xF3n de impulsi\xF3n", "bar", BothLevels(9.0f, 8.2f, 5.0f, 4.0f), 7.0);
    add->Analog("Corriente del motor", "A", HighLevels(420, 380), 300);
    add->Rpm("Velocidad de giro", 2985);
    add->Spectrum(0, 0, 1000, 800, 4, true);    // 0, 1
    add->Spectrum(2, 0, 1000, 800, 4, true);    // 2, 3
    add->Spectrum(3, 0, 2000, 1600, 4, true);   // 4, 5
    add->Spectrum(3, 1, 10000, 3200, 4, true);  // 6, 7
    add->Spectrum(5, 0, 1000, 800, 4, false);   // 8
    add->Spectrum(5, 1, 500, 400, 8, false);    // 9
    add->Special("Desequilibrio", 3, 4, kKindUnbalance);
    add->Special("Desalineaci\xF3n", 3, 4, kKindMisalignment);
    add->Special(
        "Paso de l\xF3"
        "bulos",
        3, 4, kKindComponent);
    add->Special("Rodamiento compresor", 5, 9, kKindBearing);
    add->PhaseSpecial("Fase 1X compresor", 3);
}

void BuildGearbox(MachineBuilder* add) {
    add->Point(1, 'H', "Eje de entrada", {&kVelocity, &kAcceleration, &kEnvelope, &kTemperature});
    add->Point(1, 'V', "Eje de entrada", {&kVelocity});
    add->Point(2, 'H', "Eje intermedio", {&kVelocity, &kAcceleration, &kEnvelope}, 2);
    add->Point(3, 'H', "Eje de salida", {&kVelocity, &kAcceleration, &kEnvelope, &kTemperature});
    add->Point(3, 'A', "Eje de salida", {&kVelocity});
    add->Digital("Motor en marcha");
    add->Analog("Temperatura de aceite",
                "\xB0"
                "C",
                HighLevels(90, 80), 55);
    add->Analog("Corriente del motor", "A", HighLevels(260, 230), 170);
    add->Rpm("Velocidad de entrada", 1490);
    add->Rpm("Velocidad de salida", 1490 / 3.2);
    add->Spectrum(0, 0, 2000, 1600, 4, true);   // 0, 1
    add->Spectrum(0, 1, 10000, 6400, 2, true);  // 2, 3
    add->Spectrum(2, 1, 10000, 3200, 4, true);  // 4, 5
    add->Spectrum(2, 2, 1000, 800, 8, false);   // 6
    add->Spectrum(3, 0, 1000, 800, 4, true);    // 7, 8
    add->Special("Engrane", 2, 4, kKindGear);
    add->Special("Rodamiento eje intermedio", 2, 6, kKindBearing);
    add->Special("Impactos", 2, 4, kKindImpacts);
}

// How each kind of machine is built, and its rated power in kW.
struct strKindTemplate {
    void (*build)(MachineBuilder* add);
    double powerKw;
};
const strKindTemplate kKindTemplates[] = {
    {BuildPump, 90}, {BuildFan, 55}, {BuildCompressor, 250}, {BuildGearbox, 132}};

// Which measurements carry a fault at the faulty point.
bool CarriesFault(eFault fault, const std::string& measurement) {
    switch (fault) {
        case eFault::Unbalance:
            return measurement == kVelocity.name;
        case eFault::Misalignment:
            return measurement == kVelocity.name || measurement == kDisplacement.name;
        case eFault::Bearing:
            return measurement == kEnvelope.name || measurement == kAcceleration.name;
        case eFault::None:
            break;
    }
    return false;
}

std::int8_t KindOfFault(eFault fault) {
    switch (fault) {
        case eFault::Unbalance:
            return kKindUnbalance;
        case eFault::Misalignment:
            return kKindMisalignment;
        case eFault::Bearing:
            return kKindBearing;
        case eFault::None:
            break;
    }
    return kKindUnknown;
}

void MarkFault(strSimMachine* machine, int faultPoint) {
    if (machine->condition != eCondition::Alarm && machine->condition != eCondition::Trip) return;
    for (strSimVariable& variable : machine->points[faultPoint].variables)
        variable.faulty = CarriesFault(machine->fault, variable.name);
    for (strSimSpecial& special : machine->specials)
        special.variable.faulty = special.kindCode == KindOfFault(machine->fault);
}

struct strMachineSpec {
    const char* name;
    int group;
    eKind kind;
    eCondition condition;
    eFault fault;
    int faultPoint;
};

strSimMachine BuildMachine(const strMachineSpec& spec, int position, std::uint32_t seed) {
    strSimMachine machine;
    machine.name = spec.name;
    machine.group = static_cast<std::int16_t>(spec.group);
    machine.condition = spec.condition;
    machine.fault = spec.fault;
    MachineBuilder add(&machine, position);
    const strKindTemplate& kind = kKindTemplates[static_cast<int>(spec.kind)];
    kind.build(&add);
    machine.powerKw = kind.powerKw;
    machine.speedRpm = machine.rpm.front().nominal;
    MarkFault(&machine, spec.faultPoint);
    for (std::size_t a = 0; a < machine.analyses.size(); ++a)
        machine.analyses[a].offset = static_cast<std::int32_t>(
            Hash3(seed, static_cast<std::uint64_t>(position), a) % kOffsetSpread);
    return machine;
}

const strMachineSpec kDemoMachines[] = {
    {demo::kMachineNormal, 0, eKind::Pump, eCondition::Normal, eFault::None, 0},
    {demo::kMachineAlarm, 0, eKind::Pump, eCondition::Alarm, eFault::Misalignment, 2},
    {demo::kMachineStopped, 0, eKind::Pump, eCondition::Stopped, eFault::None, 0},
    {demo::kMachineLongName, 0, eKind::Pump, eCondition::Normal, eFault::None, 0},
    {demo::kMachineUnknownKind, 0, eKind::Pump, eCondition::Normal, eFault::None, 0},
    {demo::kMachineFan, 1, eKind::Fan, eCondition::Normal, eFault::None, 0},
    {demo::kMachineFanAlarm, 1, eKind::Fan, eCondition::Alarm, eFault::Unbalance, 2},
    {demo::kMachineFanLast, 1, eKind::Fan, eCondition::Normal, eFault::None, 0},
    {demo::kMachineTrip, 3, eKind::Compressor, eCondition::Trip, eFault::Misalignment, 3},
    {demo::kMachineCompressor, 3, eKind::Compressor, eCondition::Normal, eFault::None, 0},
    {demo::kMachineCompressorLast, 3, eKind::Compressor, eCondition::Normal, eFault::None, 0},
    {demo::kMachineBearingFault, 3, eKind::Gearbox, eCondition::Alarm, eFault::Bearing, 2},
};
static_assert(sizeof kDemoMachines / sizeof kDemoMachines[0] == demo::kMachineCount,
              "the demo plant's machine count");
// A name field holds 49 characters and a terminator.
constexpr std::size_t kLongestName = tesmo::kNameFieldSize - 1;
static_assert(std::char_traits<char>::length(demo::kMachineLongName) == kLongestName,
              "the long machine name fills its field");
static_assert(static_cast<int>(demo::kSpectrumLines * kSamplesPerLine) == demo::kWaveformSamples,
              "the pump's first waveform has the samples of its spectrum's lines");

strSimPlant BuildDemo(std::uint32_t seed) {
    strSimPlant plant;
    plant.groups = {demo::kGroupPumps, demo::kGroupFans, demo::kGroupEmpty,
                    demo::kGroupCompressors};
    int position = 0;
    for (const strMachineSpec& spec : kDemoMachines)
        plant.machines.push_back(BuildMachine(spec, position++, seed));
    // One pump also has an indicator whose diagnostic kind the kind table lacks.
    MachineBuilder pump(&plant.machines[4], 4);
    pump.Special("Indicador de cavitaci\xF3n", 4, 9, kKindUnknown);
    plant.machines[4].trailing = 2;
    return plant;
}

// Large plant: a repeating mix of machine kinds and conditions.
constexpr int kLargeGroupCount = 16;

strMachineSpec LargeSpec(int position, char* name, std::size_t nameSize) {
    static const char* const kKindNames[] = {"Bomba", "Ventilador", "Compresor", "Reductor"};
    static const eFault kKindFaults[] = {eFault::Misalignment, eFault::Unbalance,
                                         eFault::Misalignment, eFault::Bearing};
    static const int kFaultPoints[] = {2, 2, 3, 2};
    int kind = position % 4;
    std::snprintf(name, nameSize, "L-%04d %s", position + 1, kKindNames[kind]);
    strMachineSpec spec = {name, 0, static_cast<eKind>(kind), eCondition::Normal, eFault::None, 0};
    if (position % 29 == 13) {
        spec.condition = eCondition::Stopped;
    } else if (position % 17 == 8) {
        spec.condition = eCondition::Trip;
    } else if (position % 9 == 4) {
        spec.condition = eCondition::Alarm;
    }
    if (spec.condition == eCondition::Alarm || spec.condition == eCondition::Trip) {
        spec.fault = kKindFaults[kind];
        spec.faultPoint = kFaultPoints[kind];
    }
    return spec;
}

strSimPlant BuildLarge(std::uint32_t seed) {
    strSimPlant plant;
    char text[tesmo::kNameFieldSize];
    for (int g = 0; g < kLargeGroupCount; ++g) {
        std::snprintf(text, sizeof text, "\xC1rea %02d", g + 1);
        plant.groups.push_back(text);
    }
    std::size_t size = tesmo::kCatalogueCountsSize + tesmo::kGroupRecordSize * plant.groups.size();
    for (int position = 0;; ++position) {
        strSimMachine machine =
            BuildMachine(LargeSpec(position, text, sizeof text), position, seed);
        std::size_t block = MachineBlockSize(machine);
        if (size + block > tesmo::kMaxReplyPayload) break;
        size += block;
        plant.machines.push_back(std::move(machine));
    }
    // Trailing records take the catalogue to within one record of the bound.
    plant.machines.back().trailing =
        static_cast<std::uint16_t>((tesmo::kMaxReplyPayload - size) / tesmo::kTrailingRecordSize);
    // Consecutive machines share a group, as the server lists them.
    std::size_t count = plant.machines.size();
    for (std::size_t m = 0; m < count; ++m)
        plant.machines[m].group = static_cast<std::int16_t>(m * kLargeGroupCount / count);
    return plant;
}

// Edge plant: one machine of each kind with awkward names, the pump with
// awkward values and the largest stored spectrum too; then a machine and a
// group with long accented names, and two machines sharing an id.
const strMachineSpec kEdgeMachines[] = {
    {edge::kMachineQuote, 0, eKind::Pump, eCondition::Normal, eFault::None, 0},
    {edge::kMachineBackslash, 0, eKind::Fan, eCondition::Alarm, eFault::Unbalance, 2},
    {edge::kMachineTab, 1, eKind::Compressor, eCondition::Normal, eFault::None, 0},
    {edge::kMachineFull, 1, eKind::Gearbox, eCondition::Normal, eFault::None, 0},
    {edge::kMachineTwin, 1, eKind::Fan, eCondition::Normal, eFault::None, 0},
    {edge::kMachineAccented, 2, eKind::Pump, eCondition::Normal, eFault::None, 0},
    {edge::kMachineTwin, 2, eKind::Pump, eCondition::Normal, eFault::None, 0},
};
static_assert(sizeof kEdgeMachines / sizeof kEdgeMachines[0] == edge::kMachineCount,
              "the edge plant's machine count");
// These names fill their fields too.
static_assert(std::char_traits<char>::length(edge::kMachineFull) == kLongestName,
              "the full name fills its field");
static_assert(std::char_traits<char>::length(edge::kMachineAccented) == kLongestName,
              "the accented machine name fills its field");
static_assert(std::char_traits<char>::length(edge::kGroupAccented) == kLongestName,
              "the accented group name fills its field");

const strMeasure kEdgeMeasure = {edge::kMeasureName, "\"\xB5m\"\\", 100.0f, 65.0f, 25,
                                 eSignal::Level};
// The edge spectrum's definition: 0 to 20 kHz in 12800 lines, one average.
constexpr float kEdgeFmax = 20000;
constexpr std::uint16_t kEdgeLines = 12800;
static_assert(tesmo::kAnalisisValuesOffset +
                      tesmo::kAnalisisValueSize * edge::kLargestSpectrumValues <=
                  tesmo::kMaxReplyPayload,
              "the largest spectrum fits an analysis reply");
static_assert(tesmo::kAnalisisValuesOffset +
                      tesmo::kAnalisisValueSize * (edge::kLargestSpectrumValues + 1) >
                  tesmo::kMaxReplyPayload,
              "one value more does not");

strSimPlant BuildEdge(std::uint32_t seed) {
    strSimPlant plant;
    plant.groups = {edge::kGroupQuoted, edge::kGroupLetters, edge::kGroupAccented};
    int position = 0;
    for (const strMachineSpec& spec : kEdgeMachines)
        plant.machines.push_back(BuildMachine(spec, position++, seed));
    strSimMachine& pump = plant.machines[0];
    MachineBuilder add(&pump, 0);
    add.Point(5, 'H', edge::kPointName, {&kEdgeMeasure});
    add.Unlevelled("Presi\xF3n \"NaN\"", eSignal::Fixed, std::numeric_limits<double>::quiet_NaN());
    add.Unlevelled("Caudal \\ +inf", eSignal::Fixed, std::numeric_limits<double>::infinity());
    add.Unlevelled("Caudal \\ -inf", eSignal::Fixed, -std::numeric_limits<double>::infinity());
    add.Unlevelled("Sensor intermitente", eSignal::Dropout, 4.0);
    add.Spectrum(static_cast<int>(pump.points.size()) - 1, 0, kEdgeFmax, kEdgeLines, 1, false);
    pump.analyses.back().stored = edge::kLargestSpectrumValues;
    pump.analyses.back().offset = pump.analyses.front().offset;
    return plant;
}

}  // namespace

int strSimMachine::CountOfPointVariables() const {
    int count = 0;
    for (const strSimPoint& point : points) count += static_cast<int>(point.variables.size());
    return count;
}

std::size_t MachineBlockSize(const strSimMachine& machine) {
    std::size_t size = tesmo::kMachineRecordSize +
                       tesmo::kDigitalRecordSize * machine.digital.size() +
                       tesmo::kAnalogRecordSize * machine.analog.size() +
                       tesmo::kRpmRecordSize * machine.rpm.size() +
                       tesmo::kAnalisisRecordSize * machine.analyses.size() +
                       tesmo::kSpecialRecordSize * machine.specials.size() +
                       tesmo::kTrailingRecordSize * machine.trailing;
    for (const strSimPoint& point : machine.points)
        size += tesmo::kPointHeaderSize +
                tesmo::kPointSkippedRecordSize * static_cast<std::size_t>(point.skipped) +
                tesmo::kPointVariableRecordSize * point.variables.size();
    return size;
}

strSimPlant BuildPlant(eSimPlant which, std::uint32_t seed) {
    switch (which) {
        case eSimPlant::Demo:
            return BuildDemo(seed);
        case eSimPlant::Large:
            return BuildLarge(seed);
        case eSimPlant::Edge:
            return BuildEdge(seed);
        case eSimPlant::Empty:
            break;
    }
    return strSimPlant();
}

const strSimVariable* FindVariable(const strSimMachine& machine, std::uint8_t kind,
                                   std::uint16_t index, std::uint16_t subIndex) {
    auto at = [index](const std::vector<strSimVariable>& list) -> const strSimVariable* {
        return index < list.size() ? &list[index] : nullptr;
    };
    switch (kind) {
        case tesmo::kKindPoint:
            if (index >= machine.points.size()) return nullptr;
            if (subIndex >= machine.points[index].variables.size()) return nullptr;
            return &machine.points[index].variables[subIndex];
        case tesmo::kKindRpm:
            return at(machine.rpm);
        case tesmo::kKindAnalog:
            return at(machine.analog);
        case tesmo::kKindDigital:
            return at(machine.digital);
        case tesmo::kKindSpecial:
            return index < machine.specials.size() ? &machine.specials[index].variable : nullptr;
        default:
            break;
    }
    return nullptr;
}

}  // namespace tesmosim
