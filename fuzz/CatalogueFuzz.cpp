// A catalogue reply, a diagnostic kinds reply and a values reply as the
// client receives them. Input: a flags byte (bit 0: current protocol; the
// rest picks the machine for the values), then the catalogue and the kinds
// payloads each behind a 16-bit little-endian length, then the values
// payload. Checks that a parsed catalogue is a consistent tree (every pointer
// inside its array, every text terminated) and stays so after the kinds and
// values are applied.
#include <cstdint>
#include <cstring>

#include "ByteView.h"
#include "Catalogue.h"
#include "FuzzCheck.h"
#include "Values.h"

using namespace tesmo;

namespace {

// Takes a length-prefixed piece off the front of input.
ByteView TakePiece(const unsigned char** data, size_t* size) {
    if (*size < 2) return ByteView();
    size_t length = (*data)[0] | static_cast<size_t>((*data)[1]) << 8;
    *data += 2;
    *size -= 2;
    if (length > *size) length = *size;
    ByteView piece(*data, length);
    *data += length;
    *size -= length;
    return piece;
}

template <size_t N>
void CheckText(const char (&text)[N]) {
    FUZZ_CHECK(std::memchr(text, 0, N) != nullptr);
}

template <typename T>
bool Inside(const T* element, const T* array, int32_t count) {
    return element >= array && element < array + count;
}

void CheckVariable(const strVariable& variable, const strMachine& machine) {
    CheckText(variable.name);
    CheckText(variable.id);
    CheckText(variable.type);
    CheckText(variable.units);
    FUZZ_CHECK(variable.point == nullptr ||
               Inside(variable.point, machine.points, machine.countOfPoints));
    FUZZ_CHECK(variable.status >= kStatusUndefined && variable.status <= kStatusTrip);
}

void CheckMachine(const strMachine& machine, const strCatalogue& catalogue) {
    CheckText(machine.name);
    CheckText(machine.id);
    FUZZ_CHECK(Inside(machine.group, catalogue.groups, catalogue.countOfGroups));
    FUZZ_CHECK(machine.status >= kStatusUndefined);
    for (int32_t v = 0; v < machine.countOfVariables; ++v)
        CheckVariable(machine.variables[v], machine);
    int32_t pointVariables = 0;
    for (int32_t p = 0; p < machine.countOfPoints; ++p) {
        const strPoint& point = machine.points[p];
        CheckText(point.name);
        CheckText(point.id);
        FUZZ_CHECK(point.countOfVariables >= 0);
        if (point.countOfVariables == 0) continue;
        FUZZ_CHECK(Inside(point.variables, machine.variables, machine.countOfVariables));
        FUZZ_CHECK(point.variables + point.countOfVariables <=
                   machine.variables + machine.countOfVariables);
        pointVariables += point.countOfVariables;
    }
    FUZZ_CHECK(pointVariables <= machine.countOfVariables);
    for (int32_t a = 0; a < machine.countOfAnalisis; ++a) {
        const strAnalisis& analisis = machine.analisis[a];
        CheckText(analisis.id);
        CheckText(analisis.magnitude);
        CheckText(analisis.units);
        FUZZ_CHECK(Inside(analisis.point, machine.points, machine.countOfPoints));
        FUZZ_CHECK(analisis.status >= kStatusUndefined && analisis.status <= kStatusTrip);
    }
    if (machine.countOfSpecial > 0)
        FUZZ_CHECK(Inside(machine.firstSpecial, machine.variables, machine.countOfVariables));
}

void CheckCatalogue(const strCatalogue& catalogue) {
    FUZZ_CHECK((catalogue.groups != nullptr) == (catalogue.countOfGroups > 0));
    FUZZ_CHECK((catalogue.machines != nullptr) == (catalogue.countOfMachines > 0));
    for (int32_t g = 0; g < catalogue.countOfGroups; ++g) {
        const strGroup& group = catalogue.groups[g];
        CheckText(group.name);
        CheckText(group.id);
        if (group.countOfMachines > 0)
            FUZZ_CHECK(Inside(group.machines, catalogue.machines, catalogue.countOfMachines));
    }
    for (int32_t m = 0; m < catalogue.countOfMachines; ++m)
        CheckMachine(catalogue.machines[m], catalogue);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size < 1) return 0;
    const unsigned char flags = data[0];
    bool currentProtocol = (flags & 1) != 0;
    data++, size--;
    ByteView cataloguePayload = TakePiece(&data, &size);
    ByteView kindsPayload = TakePiece(&data, &size);
    ByteView valuesPayload(data, size);

    strCatalogue catalogue;
    if (!ParseCatalogue(cataloguePayload, currentProtocol, &catalogue)) {
        FUZZ_CHECK(catalogue.groups == nullptr && catalogue.machines == nullptr);
        return 0;
    }
    CheckCatalogue(catalogue);
    ApplySpecialKinds(kindsPayload, catalogue.machines, catalogue.countOfMachines);
    if (catalogue.countOfMachines > 0) {
        strMachine& machine = catalogue.machines[(flags >> 1) % catalogue.countOfMachines];
        bool fits = valuesPayload.Size() >= ValuesLayoutSize(machine);
        FUZZ_CHECK(ApplyValues(valuesPayload, currentProtocol, &machine) == fits);
    }
    CheckCatalogue(catalogue);
    delete[] catalogue.groups;
    ReleaseMachines(catalogue.machines, catalogue.countOfMachines);
    return 0;
}
