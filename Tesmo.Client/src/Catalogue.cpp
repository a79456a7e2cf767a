#include "Catalogue.h"

#include <cstdio>

namespace tesmo {

namespace {

// A zero-initialised array of count elements, or null when count is not positive.
template <typename T>
T* NewArray(std::int32_t count) {
    return count > 0 ? new T[static_cast<std::size_t>(count)]() : nullptr;
}

// Copies text cut to outSize - 1 bytes, always terminated (outSize > 0).
void CopyText(char* out, std::size_t outSize, const char* text) {
    std::size_t n = 0;
    for (; n + 1 < outSize && text[n] != 0; ++n) out[n] = text[n];
    out[n] = 0;
}

// The decimal text of number, cut to outSize - 1 bytes (outSize > 0).
void FormatNumber(char* out, std::size_t outSize, std::int32_t number) {
    std::snprintf(out, outSize, "%d", static_cast<int>(number));
}

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
    for (; *a != 0 && *b != 0; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

// The name and type of a point variable from the server's measurement text.
void TranslateMeasurement(const char* received, char* name, std::size_t nameSize, char* type,
                          std::size_t typeSize) {
    for (const strMeasurementName& entry : kMeasurementNames) {
        if (EqualsIgnoringAsciiCase(received, entry.received)) {
            CopyText(name, nameSize, entry.name);
            CopyText(type, typeSize, entry.type);
            return;
        }
    }
    CopyText(name, nameSize, received);
    CopyText(type, typeSize, kTypeVibration);
}

// The level flags byte at offset and the four levels after it.
void ReadLevels(const ByteView& record, std::size_t offset, strVariable* variable) {
    std::uint8_t flags = record.U8(offset);
    variable->highEnable = (flags & kLevelHighBit) ? 1 : 0;
    variable->highHighEnable = (flags & kLevelHighHighBit) ? 1 : 0;
    variable->lowEnable = (flags & kLevelLowBit) ? 1 : 0;
    variable->lowLowEnable = (flags & kLevelLowLowBit) ? 1 : 0;
    variable->highHigh = record.F32(offset + 1);
    variable->high = record.F32(offset + 5);
    variable->low = record.F32(offset + 9);
    variable->lowLow = record.F32(offset + 13);
}

// The fields every variable record starts with: number and name.
void ReadIdentity(const ByteView& record, strVariable* variable) {
    FormatNumber(variable->id, sizeof variable->id, record.I32(kVariableNumberOffset));
    record.Text(kVariableNameOffset, kNameFieldSize, variable->name, sizeof variable->name);
}

void Address(strVariable* variable, std::uint8_t kind, std::int32_t index, std::int32_t subIndex) {
    variable->kind = kind;
    variable->index = static_cast<std::uint16_t>(index);
    variable->subIndex = static_cast<std::uint16_t>(subIndex);
}

void InitMachine(strMachine* machine) {
    machine->status = kStatusUndefined;
    machine->auxState = kStatusUndefined;
}

// Reads the machine record and links the machine to its group.
bool ReadMachine(const ByteView& record, strCatalogue* catalogue, strMachine* machine) {
    record.Text(kMachineNameOffset, kNameFieldSize, machine->name, sizeof machine->name);
    CopyText(machine->id, sizeof machine->id, machine->name);
    std::int16_t position = record.I16(kMachineGroupOffset);
    if (position < 0 || position >= catalogue->countOfGroups) return false;
    strGroup* group = &catalogue->groups[position];
    machine->group = group;
    if (group->countOfMachines == 0) group->machines = machine;
    ++group->countOfMachines;
    machine->countOfPoints = record.U16(kMachinePointCountOffset);
    machine->countOfRpm = record.U16(kMachineRpmCountOffset);
    machine->countOfAnalog = record.U16(kMachineAnalogCountOffset);
    machine->countOfDigital = record.U16(kMachineDigitalCountOffset);
    machine->countOfAnalisis = record.U16(kMachineAnalisisCountOffset);
    machine->countOfSpecial = record.U16(kMachineSpecialCountOffset);
    return true;
}

// Counting pass over a machine block that starts at the cursor: adds the point
// variables to countOfVariables, so that the arrays can be allocated with
// their final size. The point headers and their variable records, which are
// read afterwards, must lie within the payload, which also bounds what is
// allocated; the records nothing is read from are only stepped over.
bool MeasureBlock(RecordCursor cursor, bool currentProtocol, strMachine* machine) {
    machine->countOfVariables = machine->countOfAnalog + machine->countOfRpm +
                                machine->countOfSpecial +
                                (currentProtocol ? machine->countOfDigital : 0);
    cursor.StepOver(static_cast<std::uint64_t>(machine->countOfDigital), kDigitalRecordSize);
    cursor.StepOver(static_cast<std::uint64_t>(machine->countOfAnalog), kAnalogRecordSize);
    cursor.StepOver(static_cast<std::uint64_t>(machine->countOfRpm), kRpmRecordSize);
    for (std::int32_t p = 0; p < machine->countOfPoints; ++p) {
        ByteView header;
        if (!cursor.Next(kPointHeaderSize, &header)) return false;
        std::int16_t variables = header.I16(kPointVariableCountOffset);
        std::int16_t skipped = header.I16(kPointSkippedCountOffset);
        if (variables < 0 || skipped < 0) return false;
        cursor.StepOver(static_cast<std::uint64_t>(skipped), kPointSkippedRecordSize);
        if (!cursor.Skip(static_cast<std::uint64_t>(variables), kPointVariableRecordSize))
            return false;
        machine->countOfVariables += variables;
    }
    return true;
}

void AllocateMachineArrays(strMachine* machine) {
    machine->points = NewArray<strPoint>(machine->countOfPoints);
    machine->variables = NewArray<strVariable>(machine->countOfVariables);
    machine->analisis = NewArray<strAnalisis>(machine->countOfAnalisis);
    for (std::int32_t p = 0; p < machine->countOfPoints; ++p)
        machine->points[p].status = kStatusUndefined;
    for (std::int32_t v = 0; v < machine->countOfVariables; ++v)
        machine->variables[v].status = kStatusUndefined;
    for (std::int32_t a = 0; a < machine->countOfAnalisis; ++a)
        machine->analisis[a].status = kStatusUndefined;
}

// Reads the machine's walk of records after its machine record. `next` is the
// next free element of the machine's variables.
class BlockReader {
  public:
    BlockReader(RecordCursor* cursor, strMachine* machine, bool currentProtocol)
        : cursor_(cursor), machine_(machine), currentProtocol_(currentProtocol) {}

    bool Read(std::uint16_t trailing) {
        if (!ReadDigital() || !ReadAnalog() || !ReadRpm() || !ReadPoints() || !ReadAnalisis() ||
            !ReadSpecial())
            return false;
        cursor_->StepOver(trailing, kTrailingRecordSize);
        return true;
    }

  private:
    strVariable* NextVariable() {
        if (next_ >= machine_->countOfVariables) return nullptr;
        return &machine_->variables[next_++];
    }

    // The next record of width bytes and the next free variable for it.
    bool Take(std::size_t width, ByteView* record, strVariable** variable) {
        return cursor_->Next(width, record) && (*variable = NextVariable()) != nullptr;
    }

    bool ReadDigital() {
        if (!currentProtocol_) {
            cursor_->StepOver(static_cast<std::uint64_t>(machine_->countOfDigital),
                              kDigitalRecordSize);
            return true;
        }
        for (std::int32_t k = 0; k < machine_->countOfDigital; ++k) {
            ByteView record;
            strVariable* variable;
            if (!Take(kDigitalRecordSize, &record, &variable)) return false;
            ReadIdentity(record, variable);
            CopyText(variable->units, sizeof variable->units, kUnitsDigital);
            CopyText(variable->type, sizeof variable->type, kTypeDigital);
            Address(variable, kKindDigital, k, 0);
        }
        return true;
    }

    bool ReadAnalog() {
        for (std::int32_t k = 0; k < machine_->countOfAnalog; ++k) {
            ByteView record;
            strVariable* variable;
            if (!Take(kAnalogRecordSize, &record, &variable)) return false;
            ReadIdentity(record, variable);
            record.Text(kAnalogUnitsOffset, kUnitsFieldSize, variable->units,
                        sizeof variable->units);
            CopyText(variable->type, sizeof variable->type, kTypeAnalog);
            ReadLevels(record, kAnalogLevelsOffset, variable);
            Address(variable, kKindAnalog, k, 0);
        }
        return true;
    }

    bool ReadRpm() {
        for (std::int32_t k = 0; k < machine_->countOfRpm; ++k) {
            ByteView record;
            strVariable* variable;
            if (!Take(kRpmRecordSize, &record, &variable)) return false;
            ReadIdentity(record, variable);
            CopyText(variable->units, sizeof variable->units, kUnitsRpm);
            CopyText(variable->type, sizeof variable->type, kTypeRpm);
            ReadLevels(record, kRpmLevelsOffset, variable);
            Address(variable, kKindRpm, k, 0);
        }
        return true;
    }

    bool ReadPoints() {
        for (std::int32_t p = 0; p < machine_->countOfPoints; ++p) {
            ByteView header;
            if (!cursor_->Next(kPointHeaderSize, &header)) return false;
            strPoint* point = &machine_->points[p];
            std::snprintf(point->id, sizeof point->id, "%d%c",
                          static_cast<int>(header.I16(kPointNumberOffset)),
                          static_cast<char>(header.U8(kPointLetterOffset)));
            header.Text(kPointNameOffset, kNameFieldSize, point->name, sizeof point->name);
            std::int16_t variables = header.I16(kPointVariableCountOffset);
            std::int16_t skipped = header.I16(kPointSkippedCountOffset);
            if (variables < 0 || skipped < 0) return false;
            point->countOfVariables = variables;
            point->variables = variables > 0 ? &machine_->variables[next_] : nullptr;
            cursor_->StepOver(static_cast<std::uint64_t>(skipped), kPointSkippedRecordSize);
            for (std::int32_t v = 0; v < variables; ++v)
                if (!ReadPointVariable(point, p, v)) return false;
        }
        return true;
    }

    bool ReadPointVariable(strPoint* point, std::int32_t p, std::int32_t v) {
        ByteView record;
        strVariable* variable;
        if (!Take(kPointVariableRecordSize, &record, &variable)) return false;
        char measurement[kNameFieldSize];
        record.Text(kVariableNameOffset, kNameFieldSize, measurement, sizeof measurement);
        TranslateMeasurement(measurement, variable->name, sizeof variable->name, variable->type,
                             sizeof variable->type);
        FormatNumber(variable->id, sizeof variable->id, record.I32(kVariableNumberOffset));
        record.Text(kPointVariableUnitsOffset, kUnitsFieldSize, variable->units,
                    sizeof variable->units);
        variable->point = point;
        ReadLevels(record, kPointVariableLevelsOffset, variable);
        Address(variable, kKindPoint, p, v);
        return true;
    }

    bool ReadAnalisis() {
        for (std::int32_t a = 0; a < machine_->countOfAnalisis; ++a) {
            ByteView record;
            if (!cursor_->Next(kAnalisisRecordSize, &record)) return false;
            if (!ReadAnalisisRecord(record, &machine_->analisis[a])) return false;
        }
        return true;
    }

    bool ReadAnalisisRecord(const ByteView& record, strAnalisis* analisis) {
        char kind = static_cast<char>(record.U8(kAnalisisKindOffset));
        std::int16_t p = record.I16(kAnalisisPointOffset);
        std::int16_t v = record.I16(kAnalisisVariableOffset);
        if (kind != kWireSpectrum && kind != kWireWaveform) return false;
        if (p < 0 || p >= machine_->countOfPoints) return false;
        strPoint* point = &machine_->points[p];
        if (v < 0 || v >= point->countOfVariables) return false;
        const strVariable* analysed = &point->variables[v];
        analisis->type = kind == kWireSpectrum ? kSpectrumLetter : kWaveformLetter;
        std::snprintf(analisis->id, sizeof analisis->id, "%.47s/%c", analysed->id, analisis->type);
        CopyText(analisis->magnitude, sizeof analisis->magnitude, analysed->name);
        CopyText(analisis->units, sizeof analisis->units, analysed->units);
        analisis->point = point;
        analisis->fmax = record.F32(kAnalisisFmaxOffset);
        analisis->lines = record.U16(kAnalisisLinesOffset);
        analisis->averages = record.U16(kAnalisisAveragesOffset);
        analisis->samples = record.U16(kAnalisisSamplesOffset);
        analisis->fs = record.F32(kAnalisisFsOffset);
        return true;
    }

    bool ReadSpecial() {
        for (std::int32_t s = 0; s < machine_->countOfSpecial; ++s) {
            ByteView record;
            strVariable* variable;
            if (!Take(kSpecialRecordSize, &record, &variable)) return false;
            if (s == 0) machine_->firstSpecial = variable;
            std::int16_t p = record.I16(kSpecialPointOffset);
            if (p < 0 || p >= machine_->countOfPoints) return false;
            ReadIdentity(record, variable);
            CopyText(variable->units, sizeof variable->units, SpecialUnits(record));
            variable->point = &machine_->points[p];
            CopyText(variable->type, sizeof variable->type, kTypeSpecial);
            ReadLevels(record, kSpecialLevelsOffset, variable);
            Address(variable, kKindSpecial, s, 0);
        }
        return true;
    }

    // "degrees" when marked so, otherwise the units of the analysis the record
    // names; a position outside the machine's analyses gives empty units.
    const char* SpecialUnits(const ByteView& record) const {
        if (static_cast<char>(record.U8(kSpecialDegreesOffset)) == kSpecialDegreesMark)
            return kUnitsDegrees;
        std::int16_t a = record.I16(kSpecialAnalisisOffset);
        if (a < 0 || a >= machine_->countOfAnalisis) return "";
        return machine_->analisis[a].units;
    }

    RecordCursor* cursor_;
    strMachine* machine_;
    bool currentProtocol_;
    std::int32_t next_ = 0;
};

void ReleaseCatalogue(strCatalogue* catalogue) {
    delete[] catalogue->groups;
    ReleaseMachines(catalogue->machines, catalogue->countOfMachines);
    *catalogue = strCatalogue();
}

bool ReadGroups(RecordCursor* cursor, strCatalogue* catalogue) {
    for (std::int32_t g = 0; g < catalogue->countOfGroups; ++g) {
        ByteView record;
        if (!cursor->Next(kGroupRecordSize, &record)) return false;
        strGroup* group = &catalogue->groups[g];
        record.Text(kGroupNameOffset, kNameFieldSize, group->name, sizeof group->name);
        CopyText(group->id, sizeof group->id, group->name);
    }
    return true;
}

bool ReadMachines(RecordCursor* cursor, bool currentProtocol, strCatalogue* catalogue) {
    for (std::int32_t m = 0; m < catalogue->countOfMachines; ++m) {
        ByteView record;
        if (!cursor->Next(kMachineRecordSize, &record)) return false;
        strMachine* machine = &catalogue->machines[m];
        if (!ReadMachine(record, catalogue, machine)) return false;
        std::uint16_t trailing = record.U16(kMachineTrailingCountOffset);
        if (!MeasureBlock(*cursor, currentProtocol, machine)) return false;
        AllocateMachineArrays(machine);
        if (!BlockReader(cursor, machine, currentProtocol).Read(trailing)) return false;
    }
    return true;
}

}  // namespace

bool ParseCatalogue(ByteView payload, bool currentProtocol, strCatalogue* out) {
    *out = strCatalogue();
    if (!payload.Contains(0, kCatalogueCountsSize)) return false;
    std::int16_t groups = payload.I16(kCatalogueGroupCountOffset);
    std::int16_t machines = payload.I16(kCatalogueMachineCountOffset);
    if (groups < 0 || machines < 0) return false;
    // The group and machine records alone must fit before anything is allocated.
    std::uint64_t least = static_cast<std::uint64_t>(groups) * kGroupRecordSize +
                          static_cast<std::uint64_t>(machines) * kMachineRecordSize;
    if (least > payload.Size() - kCatalogueCountsSize) return false;

    strCatalogue catalogue;
    catalogue.groups = NewArray<strGroup>(groups);
    catalogue.countOfGroups = groups;
    for (std::int32_t g = 0; g < groups; ++g) catalogue.groups[g].status = kStatusUndefined;
    catalogue.machines = NewArray<strMachine>(machines);
    catalogue.countOfMachines = machines;
    for (std::int32_t m = 0; m < machines; ++m) InitMachine(&catalogue.machines[m]);

    RecordCursor cursor(payload, kCatalogueCountsSize);
    if (!ReadGroups(&cursor, &catalogue) || !ReadMachines(&cursor, currentProtocol, &catalogue)) {
        ReleaseCatalogue(&catalogue);
        return false;
    }
    *out = catalogue;
    return true;
}

void ApplySpecialKinds(ByteView payload, strMachine* machines, std::int32_t countOfMachines) {
    RecordCursor cursor(payload);
    for (std::int32_t m = 0; m < countOfMachines; ++m) {
        ByteView countField;
        if (!cursor.Next(kSpecialKindsCountSize, &countField)) return;
        std::int16_t count = countField.I16(0);
        const strMachine& machine = machines[m];
        for (std::int32_t k = 0; k < count; ++k) {
            ByteView entry;
            if (!cursor.Next(kSpecialKindEntrySize, &entry)) return;
            if (k >= machine.countOfSpecial || machine.firstSpecial == nullptr) continue;
            const char* text = SpecialKindText(entry.I8(kSpecialKindCodeOffset));
            strVariable* variable = machine.firstSpecial + k;
            CopyText(variable->type, sizeof variable->type, text ? text : kTypeSpecial);
        }
    }
}

void ReleaseMachines(strMachine* machines, std::int32_t countOfMachines) {
    for (std::int32_t m = 0; m < countOfMachines; ++m) {
        delete[] machines[m].analisis;
        delete[] machines[m].points;
        delete[] machines[m].variables;
    }
    delete[] machines;
}

const char* SpecialKindText(std::int8_t code) {
    for (const strSpecialKind& kind : kSpecialKinds)
        if (kind.code == code) return kind.text;
    return nullptr;
}

}  // namespace tesmo
