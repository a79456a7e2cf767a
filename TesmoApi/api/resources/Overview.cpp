// The groups and machines resources.
#include "api/resources/Overview.h"

#include <cstring>

#include "api/Parameters.h"
#include "api/resources/Answers.h"
#include "api/resources/RequestClient.h"

bool PassesFilters(const strMachine& machine, const char* groupId, const char* status) {
    if (status[0] != '\0') {
        const char* word = StatusText(machine.status);
        if (word == nullptr || std::strcmp(word, status) != 0) return false;
    }
    return groupId[0] == '\0' || IdEquals(machine.group->id, groupId);
}

eRequestResult OnGetGroups(const char* /*parameters*/, strJsonOutput* output) {
    RequestClient session;
    if (!session.Open() || !UpdateAllMachines(session.Client())) return ServerNotWorking(output);
    WriteGroups(session.Client(), output);
    session.Succeeded();
    return Ok;
}

eRequestResult OnGetMachines(const char* parameters, strJsonOutput* output) {
    // Both filters are optional: one that cannot be read is off.
    char groupId[kIdSize];
    char status[kIdSize];
    if (!ReadText(parameters, "group_id", groupId, kIdLimit)) groupId[0] = '\0';
    if (!ReadText(parameters, "status", status, kIdLimit)) status[0] = '\0';

    RequestClient session;
    if (!session.Open() || !UpdateAllMachines(session.Client())) return ServerNotWorking(output);
    WriteMachines(session.Client(), output, groupId, status);
    session.Succeeded();
    return Ok;
}
