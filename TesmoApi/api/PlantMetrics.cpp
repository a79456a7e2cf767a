#include "api/PlantMetrics.h"

#include <iterator>

#include "api/resources/Catalogue.h"
#include "api/resources/RequestClient.h"

namespace {

// A catalogue text as the API prints it: UTF-8, cut as the writer cuts it.
struct strPrintedText {
    char text[kPrintedIdSize];
    explicit strPrintedText(const char* catalogueText) { PrintedId(catalogueText, text); }
};

// Ids are not unique: like the API's lookups, the metrics take the first
// record with an id, so that no two samples share a label set.
bool IsFirstGroupWithId(TesmoClient& client, int index) {
    const strPrintedText id(client.GetGroup(index)->id);
    for (int g = 0; g < index; ++g) {
        if (IdEquals(client.GetGroup(g)->id, id.text)) return false;
    }
    return true;
}

bool IsFirstVariableWithId(const strMachine& machine, const strVariable& variable) {
    const strPrintedText id(variable.id);
    return FindById(machine.variables, machine.countOfVariables, id.text) == &variable;
}

// Calls visit(group, machine) for the first machine with each id of the
// first group with each id, groups and machines in order.
template <class Visit>
void ForEachMachine(TesmoClient& client, Visit visit) {
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        if (!IsFirstGroupWithId(client, g)) continue;
        strGroup& group = *client.GetGroup(g);
        for (int32_t m = 0; m < group.countOfMachines; ++m) {
            const strPrintedText id(group.machines[m].id);
            if (FindMachineInGroup(client, g, id.text) == m) visit(group, group.machines[m]);
        }
    }
}

void WriteGroupStatuses(TesmoClient& client, strExposition* out) {
    ExpositionFamily(out, "tesmo_group_status", "gauge",
                     "Status of a group, the worst of its machines: -1 undefined, 0 normal, "
                     "1 alarm, 2 trip.");
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        if (!IsFirstGroupWithId(client, g)) continue;
        const strGroup& group = *client.GetGroup(g);
        const strPrintedText id(group.id);
        const strLabel label = {"group", id.text};
        ExpositionNumber(out, "tesmo_group_status", &label, 1, group.status, kDoubleDigits);
    }
}

void WriteMachineStatuses(TesmoClient& client, strExposition* out) {
    ExpositionFamily(out, "tesmo_machine_status", "gauge",
                     "Status of a machine: -1 undefined, 0 normal, 1 alarm, 2 trip.");
    ForEachMachine(client, [out](const strGroup& group, const strMachine& machine) {
        const strPrintedText groupId(group.id);
        const strPrintedText machineId(machine.id);
        const strLabel labels[] = {{"group", groupId.text}, {"machine", machineId.text}};
        ExpositionNumber(out, "tesmo_machine_status", labels, std::size(labels), machine.status,
                         kDoubleDigits);
    });
}

// One sample per variable of name: its value, or its status code.
void WriteVariables(TesmoClient& client, strExposition* out, const char* name, bool status) {
    ForEachMachine(client, [out, name, status](const strGroup& group, const strMachine& machine) {
        const strPrintedText groupId(group.id);
        const strPrintedText machineId(machine.id);
        for (int32_t v = 0; v < machine.countOfVariables; ++v) {
            const strVariable& variable = machine.variables[v];
            if (!IsFirstVariableWithId(machine, variable)) continue;
            const strPrintedText point(variable.point != nullptr ? variable.point->id : "");
            const strPrintedText id(variable.id);
            const strPrintedText title(variable.name);
            const strPrintedText unit(variable.units);
            const strLabel labels[] = {{"group", groupId.text}, {"machine", machineId.text},
                                       {"point", point.text},   {"variable", id.text},
                                       {"name", title.text},    {"unit", unit.text}};
            if (status) {
                ExpositionNumber(out, name, labels, std::size(labels), variable.status,
                                 kDoubleDigits);
            } else {
                ExpositionNumber(out, name, labels, std::size(labels), variable.value,
                                 kFloatDigits);
            }
        }
    });
}

}  // namespace

void WritePlantMetrics(strExposition* out) {
    RequestClient session;
    const bool up = session.Open() && UpdateAllMachines(session.Client());
    ExpositionFamily(out, "tesmo_up", "gauge",
                     "1 when the Tesmo server answered this scrape's exchanges, else 0.");
    ExpositionCount(out, "tesmo_up", nullptr, 0, up ? 1 : 0);
    if (!up) return;
    session.Succeeded();
    TesmoClient& client = session.Client();
    WriteGroupStatuses(client, out);
    WriteMachineStatuses(client, out);
    ExpositionFamily(out, "tesmo_variable_value", "gauge",
                     "Current value of a variable, in its unit (digital: 1 on, 0 off).");
    WriteVariables(client, out, "tesmo_variable_value", false);
    ExpositionFamily(out, "tesmo_variable_status", "gauge",
                     "Status of a variable: -1 undefined, 0 normal, 1 alarm, 2 trip.");
    WriteVariables(client, out, "tesmo_variable_status", true);
}
