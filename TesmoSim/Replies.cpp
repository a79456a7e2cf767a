// Wire encoding of the simulator's replies.
#include "Replies.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "SimNoise.h"
#include "TesmoProtocol.h"

namespace tesmosim {

namespace {

using namespace tesmo;

// Appends n bytes to the message and returns where they start: zeros, or
// with noise its bytes. Encoders then write only the fields a client reads,
// so whatever they leave is what a client does not read. The pointer is
// valid until the message grows again.
unsigned char* Grow(Bytes* message, std::size_t n, SimNoise* noise) {
    std::size_t at = message->size();
    message->resize(at + n);
    if (noise != nullptr) noise->Fill(message->data() + at, n);
    return message->data() + at;
}

// A reply's header. A client reads only its length (written when the message
// is finished): with noise the other fields are noise, otherwise they carry
// the request's command and machine and a reserved 0.
void BeginMessage(Bytes* message, std::uint32_t command, std::uint16_t machine, SimNoise* noise) {
    message->clear();
    unsigned char* header = Grow(message, kHeaderSize, noise);
    if (noise == nullptr) StoreHeader(header, command, machine, 0);
}

void FinishMessage(Bytes* message) {
    StoreU32(message->data() + kHeaderLengthOffset,
             static_cast<std::uint32_t>(message->size() - kHeaderSize));
}

// Copies a text, cut to width - 1 bytes, into a fixed field and terminates
// it: every text a client is sent ends inside its field. The bytes after the
// terminator are left as they are.
void PutText(unsigned char* field, const std::string& text, std::size_t width) {
    std::size_t length = std::min(text.size(), width - 1);
    std::memcpy(field, text.data(), length);
    field[length] = 0;
}

// The level flags byte (keeping the bits a client does not read as they are)
// and the four levels.
void PutLevels(unsigned char* at, const strSimLevels& levels) {
    const std::size_t kFloat = 4;
    at[0] = static_cast<unsigned char>((at[0] & kLevelFlagsUnread) | levels.flags);
    StoreF32(at + 1, levels.highHigh);
    StoreF32(at + 1 + kFloat, levels.high);
    StoreF32(at + 1 + 2 * kFloat, levels.low);
    StoreF32(at + 1 + 3 * kFloat, levels.lowLow);
}

unsigned char* PutNumberedName(Bytes* message, std::size_t size, const strSimVariable& variable,
                               SimNoise* noise) {
    unsigned char* record = Grow(message, size, noise);
    StoreI32(record + kVariableNumberOffset, variable.number);
    PutText(record + kVariableNameOffset, variable.name, kNameFieldSize);
    return record;
}

void EncodeMachineRecord(const strSimMachine& machine, Bytes* message, SimNoise* noise) {
    unsigned char* record = Grow(message, kMachineRecordSize, noise);
    PutText(record + kMachineNameOffset, machine.name, kNameFieldSize);
    StoreI16(record + kMachineGroupOffset, machine.group);
    auto count = [](std::size_t n) { return static_cast<std::uint16_t>(n); };
    StoreU16(record + kMachinePointCountOffset, count(machine.points.size()));
    StoreU16(record + kMachineRpmCountOffset, count(machine.rpm.size()));
    StoreU16(record + kMachineAnalogCountOffset, count(machine.analog.size()));
    StoreU16(record + kMachineDigitalCountOffset, count(machine.digital.size()));
    StoreU16(record + kMachineAnalisisCountOffset, count(machine.analyses.size()));
    StoreU16(record + kMachineSpecialCountOffset, count(machine.specials.size()));
    StoreU16(record + kMachineTrailingCountOffset, machine.trailing);
}

void EncodePoint(const strSimPoint& point, Bytes* message, SimNoise* noise) {
    unsigned char* header = Grow(message, kPointHeaderSize, noise);
    StoreI16(header + kPointNumberOffset, point.number);
    header[kPointLetterOffset] = static_cast<unsigned char>(point.letter);
    PutText(header + kPointNameOffset, point.name, kNameFieldSize);
    StoreI16(header + kPointVariableCountOffset, static_cast<std::int16_t>(point.variables.size()));
    StoreI16(header + kPointSkippedCountOffset, point.skipped);
    Grow(message, kPointSkippedRecordSize * static_cast<std::size_t>(point.skipped), noise);
    for (const strSimVariable& variable : point.variables) {
        unsigned char* record = PutNumberedName(message, kPointVariableRecordSize, variable, noise);
        PutText(record + kPointVariableUnitsOffset, variable.units, kUnitsFieldSize);
        PutLevels(record + kPointVariableLevelsOffset, variable.levels);
    }
}

void EncodeAnalysisRecord(const strSimAnalysis& analysis, Bytes* message, SimNoise* noise) {
    unsigned char* record = Grow(message, kAnalisisRecordSize, noise);
    record[kAnalisisKindOffset] = static_cast<unsigned char>(analysis.kind);
    StoreI16(record + kAnalisisPointOffset, analysis.point);
    StoreI16(record + kAnalisisVariableOffset, analysis.variable);
    StoreF32(record + kAnalisisFmaxOffset, analysis.fmax);
    StoreU16(record + kAnalisisLinesOffset, analysis.lines);
    StoreU16(record + kAnalisisAveragesOffset, analysis.averages);
    StoreU16(record + kAnalisisSamplesOffset, analysis.samples);
    StoreF32(record + kAnalisisFsOffset, analysis.fs);
}

void EncodeSpecial(const strSimSpecial& special, Bytes* message, SimNoise* noise) {
    unsigned char* record = PutNumberedName(message, kSpecialRecordSize, special.variable, noise);
    StoreI16(record + kSpecialPointOffset, special.point);
    StoreI16(record + kSpecialAnalisisOffset, special.analysis);
    // The mark is read: any byte but the mark means the units of the analysis.
    unsigned char* mark = record + kSpecialDegreesOffset;
    if (special.degrees)
        *mark = kSpecialDegreesMark;
    else if (*mark == kSpecialDegreesMark)
        *mark = kSpecialDegreesMark + 1;
    PutLevels(record + kSpecialLevelsOffset, special.variable.levels);
}

// Overwrites n bytes of DIGITAL records or values with noise when the client
// steps over them unread.
void NoiseUnreadDigital(unsigned char* at, std::size_t n, SimNoise* noise) {
    if (noise != nullptr && !noise->ReadsDigital()) noise->Fill(at, n);
}

void EncodeMachine(const strSimMachine& machine, Bytes* message, SimNoise* noise) {
    EncodeMachineRecord(machine, message, noise);
    std::size_t digital = message->size();
    for (const strSimVariable& variable : machine.digital)
        PutNumberedName(message, kDigitalRecordSize, variable, noise);
    NoiseUnreadDigital(message->data() + digital, message->size() - digital, noise);
    for (const strSimVariable& variable : machine.analog) {
        unsigned char* record = PutNumberedName(message, kAnalogRecordSize, variable, noise);
        PutText(record + kAnalogUnitsOffset, variable.units, kUnitsFieldSize);
        PutLevels(record + kAnalogLevelsOffset, variable.levels);
    }
    for (const strSimVariable& variable : machine.rpm)
        PutLevels(PutNumberedName(message, kRpmRecordSize, variable, noise) + kRpmLevelsOffset,
                  variable.levels);
    for (const strSimPoint& point : machine.points) EncodePoint(point, message, noise);
    for (const strSimAnalysis& analysis : machine.analyses)
        EncodeAnalysisRecord(analysis, message, noise);
    for (const strSimSpecial& special : machine.specials) EncodeSpecial(special, message, noise);
    Grow(message, kTrailingRecordSize * machine.trailing, noise);
}

// Writes one 5-byte value entry and returns the status it stands for.
int PutEntry(unsigned char** at, const strSimContext& context, const strSimMachine& machine,
             const strSimVariable& variable) {
    double value = VariableValue(context, machine, variable, context.now);
    std::uint8_t code = ValueCode(machine, variable, value);
    if (variable.signal == eSignal::Digital) {
        (*at)[0] = value > 0 ? 1 : 0;
    } else {
        StoreF32(*at, static_cast<float>(value));
    }
    (*at)[kValueStatusOffset] = code;
    *at += kValueEntrySize;
    return StatusOfValueCode(code);
}

std::uint8_t MachineByte(const strSimMachine& machine, int worst) {
    if (!machine.Running())
        return static_cast<std::uint8_t>(kMachineStatusUndefined |
                                         (kAuxStateOff << kMachineAuxStateShift));
    return static_cast<std::uint8_t>(worst | kMachineAuxFlagBit |
                                     (kAuxStateOn << kMachineAuxStateShift));
}

std::uint8_t AnalysisByte(const strSimContext& context, const strSimMachine& machine,
                          const strSimAnalysis& analysis) {
    const strSimVariable& variable = machine.points[analysis.point].variables[analysis.variable];
    int status = StatusOfValueCode(
        ValueCode(machine, variable, VariableValue(context, machine, variable, context.now)));
    return status < 0 ? kAnalisisStatusUndefined : static_cast<std::uint8_t>(status);
}

}  // namespace

std::int64_t MaxTrendSamples() {
    return static_cast<std::int64_t>((kMaxReplyPayload - kTrendSamplesOffset) / kTrendSampleSize);
}

void EncodeLogin(bool accepted, std::uint16_t version, Bytes* message, SimNoise* noise) {
    message->clear();
    unsigned char* reply = Grow(message, kLoginReplySize, noise);
    StoreU32(reply, accepted ? static_cast<std::uint32_t>(LoginAccepted) : kLoginRefused);
    StoreU16(reply + kLoginReplyVersionOffset, version);
}

void EncodeStamp(std::uint32_t command, std::int32_t stamp, Bytes* message, SimNoise* noise) {
    BeginMessage(message, command, 0, noise);
    StoreI32(Grow(message, kStampReplySize, noise), stamp);
    FinishMessage(message);
}

void EncodeCatalogue(const strSimPlant& plant, Bytes* message, SimNoise* noise) {
    BeginMessage(message, Catalogue, 0, noise);
    unsigned char* counts = Grow(message, kCatalogueCountsSize, noise);
    StoreI16(counts + kCatalogueGroupCountOffset, static_cast<std::int16_t>(plant.groups.size()));
    StoreI16(counts + kCatalogueMachineCountOffset,
             static_cast<std::int16_t>(plant.machines.size()));
    for (const std::string& group : plant.groups)
        PutText(Grow(message, kGroupRecordSize, noise) + kGroupNameOffset, group, kNameFieldSize);
    for (const strSimMachine& machine : plant.machines) EncodeMachine(machine, message, noise);
    FinishMessage(message);
}

void EncodeSpecialKinds(const strSimPlant& plant, Bytes* message, SimNoise* noise) {
    BeginMessage(message, SpecialKinds, 0, noise);
    for (const strSimMachine& machine : plant.machines) {
        StoreI16(Grow(message, kSpecialKindsCountSize, noise),
                 static_cast<std::int16_t>(machine.specials.size()));
        for (const strSimSpecial& special : machine.specials)
            Grow(message, kSpecialKindEntrySize, noise)[kSpecialKindCodeOffset] =
                static_cast<unsigned char>(special.kindCode);
    }
    // Clients refuse an empty reply; a plant without machines sends one byte.
    if (message->size() == kHeaderSize) Grow(message, 1, noise);
    FinishMessage(message);
}

std::int32_t StampOfCatalogue(const Bytes& catalogue, std::uint32_t seed) {
    const std::uint32_t kFnvOffset = 2166136261u, kFnvPrime = 16777619u;
    std::uint32_t hash = kFnvOffset ^ seed;
    for (std::size_t i = kHeaderSize; i < catalogue.size(); ++i)
        hash = (hash ^ catalogue[i]) * kFnvPrime;
    return hash == 0 ? 1 : static_cast<std::int32_t>(hash);
}

std::size_t ValuesPayloadSize(const strSimMachine& machine) {
    std::size_t entries = machine.digital.size() + machine.analog.size() + machine.rpm.size() +
                          static_cast<std::size_t>(machine.CountOfPointVariables()) +
                          machine.specials.size();
    return kMachineStatusSize + kValueEntrySize * entries +
           kAnalisisStatusSize * machine.analyses.size();
}

void EncodeValues(const strSimContext& context, const strSimPlant& plant, std::uint16_t position,
                  std::uint32_t command, Bytes* message, SimNoise* noise) {
    BeginMessage(message, command, position, noise);
    if (position >= plant.machines.size()) {
        *Grow(message, kMachineStatusSize, nullptr) = kMachineStatusUndefined;
        FinishMessage(message);
        return;
    }
    const strSimMachine& machine = plant.machines[position];
    unsigned char* start = Grow(message, ValuesPayloadSize(machine), noise);
    unsigned char* at = start + kMachineStatusSize;
    int worst = kStatusNormal;
    auto entry = [&](const strSimVariable& variable) {
        worst = std::max(worst, PutEntry(&at, context, machine, variable));
    };
    for (const strSimVariable& variable : machine.digital) entry(variable);
    NoiseUnreadDigital(start + kMachineStatusSize, kValueEntrySize * machine.digital.size(), noise);
    for (const strSimVariable& variable : machine.analog) entry(variable);
    for (const strSimVariable& variable : machine.rpm) entry(variable);
    for (const strSimPoint& point : machine.points)
        for (const strSimVariable& variable : point.variables) entry(variable);
    for (const strSimAnalysis& analysis : machine.analyses)
        *at++ = AnalysisByte(context, machine, analysis);
    for (const strSimSpecial& special : machine.specials) entry(special.variable);
    start[0] =
        static_cast<unsigned char>((start[0] & kMachineStatusUnread) | MachineByte(machine, worst));
    FinishMessage(message);
}

void EncodeTrend(const strSimContext& context, const strSimPlant& plant, std::uint16_t position,
                 const strTrendRequest& request, std::uint32_t command, bool mapped,
                 std::vector<strSample>* samples, Bytes* message, SimNoise* noise) {
    samples->clear();
    const strSimVariable* variable = nullptr;
    if (position < plant.machines.size())
        variable =
            FindVariable(plant.machines[position], request.kind, request.index, request.subIndex);
    if (variable != nullptr) {
        const strSimMachine& machine = plant.machines[position];
        strTrendSpan span = TrendSpan(context, request.from, request.to);
        if (mapped) {
            MappedTrend(context, machine, *variable, span,
                        std::min<std::int64_t>(request.maxItems, MaxTrendSamples()), samples);
        } else {
            RawTrend(context, machine, *variable, span, MaxTrendSamples(), samples);
        }
    }
    BeginMessage(message, command, position, noise);
    // The reply opens with bytes a client does not read: the request's
    // address and span, or noise.
    unsigned char* head = Grow(message, kTrendSamplesOffset, noise);
    if (noise == nullptr) {
        head[kTrendKindOffset] = request.kind;
        StoreU16(head + kTrendIndexOffset, request.index);
        StoreU16(head + kTrendSubIndexOffset, request.subIndex);
        StoreI32(head + kTrendFromOffset, request.from);
        StoreI32(head + kTrendToOffset, request.to);
    }
    StoreI32(head + kTrendCountOffset, static_cast<std::int32_t>(samples->size()));
    unsigned char* at = Grow(message, kTrendSampleSize * samples->size(), noise);
    for (const strSample& sample : *samples) {
        StoreI32(at, sample.time);
        StoreF32(at + kTrendSampleSize / 2, sample.value);
        at += kTrendSampleSize;
    }
    FinishMessage(message);
}

void EncodeAnalysis(const strSimContext& context, const strSimPlant& plant, std::uint16_t position,
                    const strAnalysisRequest& request, std::uint32_t command,
                    std::vector<float>* values, Bytes* message, SimNoise* noise) {
    BeginMessage(message, command, position, noise);
    // The reply opens with bytes a client does not read, alone the empty
    // reply: the request's fields, or noise.
    unsigned char* head = Grow(message, kAnalisisEmptyReply, noise);
    if (noise == nullptr) {
        StoreU16(head + kAnalisisPositionOffset, request.position);
        StoreI32(head + kAnalisisFromOffset, request.from);
        StoreI32(head + kAnalisisToOffset, request.to);
        StoreI32(head + kAnalisisFlagOffset, request.flag);
    }
    std::int32_t time = 0;
    bool found = position < plant.machines.size() &&
                 request.position < plant.machines[position].analyses.size() &&
                 LatestAnalysisTime(context, plant.machines[position],
                                    plant.machines[position].analyses[request.position],
                                    request.from, request.to, &time);
    if (!found) {
        FinishMessage(message);
        return;
    }
    const strSimMachine& machine = plant.machines[position];
    const strSimAnalysis& analysis = machine.analyses[request.position];
    AnalysisValues(context, machine, analysis, time, values);
    unsigned char* result =
        Grow(message, kAnalisisValuesOffset - kAnalisisEmptyReply, noise) - kAnalisisEmptyReply;
    result[kAnalisisTypeOffset] = static_cast<unsigned char>(analysis.kind);
    StoreI32(result + kAnalisisTimeOffset, time);
    StoreI32(result + kAnalisisCountOffset, static_cast<std::int32_t>(values->size()));
    StoreF32(result + kAnalisisRpmOffset, static_cast<float>(MachineSpeed(context, machine, time)));
    StoreF32(result + kAnalisisResultFsOffset, analysis.fs);
    StoreF32(result + kAnalisisFminOffset, 0.0f);
    StoreF32(result + kAnalisisResultFmaxOffset, analysis.fmax);
    StoreF32(result + kAnalisisKwOffset, static_cast<float>(MachinePower(context, machine, time)));
    unsigned char* at = Grow(message, kAnalisisValueSize * values->size(), noise);
    for (float value : *values) {
        StoreF32(at, value);
        at += kAnalisisValueSize;
    }
    FinishMessage(message);
}

}  // namespace tesmosim
