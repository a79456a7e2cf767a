// groups: every group of machines with the worst status of its machines.
#include "api/Resources.h"
#include "api/resources/Catalogue.h"
#include "api/resources/RequestClient.h"

eRequestResult OnGetGroups(const char* /*parameters*/, strJsonOutput* output) {
    RequestClient session;
    if (!session.Open() || !UpdateAllMachines(session.Client())) return ServerNotWorking(output);

    TesmoClient& client = session.Client();
    JsonOpenArray(output, nullptr, true);
    for (int g = 0; g < client.GetCountOfGroups(); ++g) {
        const strGroup* group = client.GetGroup(g);
        JsonOpenObject(output, nullptr, g == 0);
        JsonAddValue(output, "name", group->name, eJsonType::String, true);
        JsonAddValue(output, "id", group->id, eJsonType::String, false);
        JsonAddValue(output, "status", StatusText(group->status), eJsonType::String, false);
        JsonCloseObject(output);
    }
    JsonCloseArray(output);
    return Ok;
}
