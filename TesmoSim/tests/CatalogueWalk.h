// Reads a catalogue reply back from its bytes, record by record, with a
// bounds check before every read, so the tests can compare what was sent
// with what the layouts demand (independently of the plant model).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "TesmoProtocol.h"

namespace tesmosim {

struct strWalkedMachine {
    std::string name;  // up to the first NUL or the whole 50-byte field
    int group = 0;
    int digital = 0, analog = 0, rpm = 0, points = 0, analyses = 0, specials = 0, trailing = 0;
    int pointVariables = 0;
    std::vector<int> numbers;  // variable numbers in the order of the values reply
    std::vector<char> analysisKinds;
    bool referencesValid = true;  // analysis and SPECIALICED positions point at existing records
};

struct strWalkedCatalogue {
    std::vector<std::string> groups;
    std::vector<strWalkedMachine> machines;
};

class CatalogueWalker {
  public:
    CatalogueWalker(const unsigned char* payload, std::size_t length)
        : data(payload), size(length) {}

    // False when any record would end beyond the payload, a count is negative,
    // or bytes are left over at the end.
    bool Walk(strWalkedCatalogue* out) {
        if (!Has(tesmo::kCatalogueCountsSize)) return false;
        int groups = tesmo::LoadI16(data + tesmo::kCatalogueGroupCountOffset);
        int machines = tesmo::LoadI16(data + tesmo::kCatalogueMachineCountOffset);
        if (groups < 0 || machines < 0) return false;
        at = tesmo::kCatalogueCountsSize;
        for (int g = 0; g < groups; ++g) {
            if (!Has(tesmo::kGroupRecordSize)) return false;
            out->groups.push_back(Text(data + at + tesmo::kGroupNameOffset));
            at += tesmo::kGroupRecordSize;
        }
        for (int m = 0; m < machines; ++m) {
            strWalkedMachine machine;
            if (!WalkMachine(&machine)) return false;
            out->machines.push_back(machine);
        }
        return at == size;
    }

    static std::string Text(const unsigned char* field) {
        std::size_t length = 0;
        while (length < tesmo::kNameFieldSize && field[length] != 0) ++length;
        return std::string(reinterpret_cast<const char*>(field), length);
    }

  private:
    bool Has(std::size_t bytes) const { return at + bytes <= size; }

    bool Numbered(std::size_t recordSize, int count, std::vector<int>* numbers) {
        for (int i = 0; i < count; ++i) {
            if (!Has(recordSize)) return false;
            numbers->push_back(tesmo::LoadI32(data + at + tesmo::kVariableNumberOffset));
            at += recordSize;
        }
        return true;
    }

    bool WalkMachine(strWalkedMachine* machine) {
        if (!Has(tesmo::kMachineRecordSize)) return false;
        const unsigned char* record = data + at;
        machine->name = Text(record + tesmo::kMachineNameOffset);
        machine->group = tesmo::LoadI16(record + tesmo::kMachineGroupOffset);
        machine->points = tesmo::LoadU16(record + tesmo::kMachinePointCountOffset);
        machine->rpm = tesmo::LoadU16(record + tesmo::kMachineRpmCountOffset);
        machine->analog = tesmo::LoadU16(record + tesmo::kMachineAnalogCountOffset);
        machine->digital = tesmo::LoadU16(record + tesmo::kMachineDigitalCountOffset);
        machine->analyses = tesmo::LoadU16(record + tesmo::kMachineAnalisisCountOffset);
        machine->specials = tesmo::LoadU16(record + tesmo::kMachineSpecialCountOffset);
        machine->trailing = tesmo::LoadU16(record + tesmo::kMachineTrailingCountOffset);
        at += tesmo::kMachineRecordSize;
        if (!Numbered(tesmo::kDigitalRecordSize, machine->digital, &machine->numbers) ||
            !Numbered(tesmo::kAnalogRecordSize, machine->analog, &machine->numbers) ||
            !Numbered(tesmo::kRpmRecordSize, machine->rpm, &machine->numbers))
            return false;
        std::vector<int> variablesOfPoint;
        for (int p = 0; p < machine->points; ++p) {
            if (!Has(tesmo::kPointHeaderSize)) return false;
            int variables = tesmo::LoadI16(data + at + tesmo::kPointVariableCountOffset);
            int skipped = tesmo::LoadI16(data + at + tesmo::kPointSkippedCountOffset);
            if (variables < 0 || skipped < 0) return false;
            at += tesmo::kPointHeaderSize;
            if (!Has(tesmo::kPointSkippedRecordSize * skipped)) return false;
            at += tesmo::kPointSkippedRecordSize * skipped;
            if (!Numbered(tesmo::kPointVariableRecordSize, variables, &machine->numbers))
                return false;
            variablesOfPoint.push_back(variables);
            machine->pointVariables += variables;
        }
        for (int a = 0; a < machine->analyses; ++a) {
            if (!Has(tesmo::kAnalisisRecordSize)) return false;
            const unsigned char* analysis = data + at;
            char kind = static_cast<char>(analysis[tesmo::kAnalisisKindOffset]);
            int point = tesmo::LoadI16(analysis + tesmo::kAnalisisPointOffset);
            int variable = tesmo::LoadI16(analysis + tesmo::kAnalisisVariableOffset);
            machine->analysisKinds.push_back(kind);
            bool inside = point >= 0 && point < machine->points && variable >= 0 &&
                          variable < variablesOfPoint[point];
            if (!inside || (kind != tesmo::kWireSpectrum && kind != tesmo::kWireWaveform))
                machine->referencesValid = false;
            at += tesmo::kAnalisisRecordSize;
        }
        std::size_t specialsStart = at;
        if (!Numbered(tesmo::kSpecialRecordSize, machine->specials, &machine->numbers))
            return false;
        for (int s = 0; s < machine->specials; ++s) {
            const unsigned char* special = data + specialsStart + s * tesmo::kSpecialRecordSize;
            int point = tesmo::LoadI16(special + tesmo::kSpecialPointOffset);
            int analysis = tesmo::LoadI16(special + tesmo::kSpecialAnalisisOffset);
            bool degrees = special[tesmo::kSpecialDegreesOffset] == tesmo::kSpecialDegreesMark;
            if (point < 0 || point >= machine->points) machine->referencesValid = false;
            if (!degrees && (analysis < 0 || analysis >= machine->analyses))
                machine->referencesValid = false;
        }
        if (!Has(tesmo::kTrailingRecordSize * machine->trailing)) return false;
        at += tesmo::kTrailingRecordSize * machine->trailing;
        return true;
    }

    const unsigned char* data;
    std::size_t size;
    std::size_t at = 0;
};

}  // namespace tesmosim
