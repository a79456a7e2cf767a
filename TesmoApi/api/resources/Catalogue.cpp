#include "api/resources/Catalogue.h"

#include <cstring>

const char* StatusText(int32_t status) {
    switch (status) {
        case kStatusUndefined:
            return "undefined";
        case kStatusNormal:
            return "normal";
        case kStatusAlarm:
            return "alarm";
        case kStatusTrip:
            return "trip";
        default:
            return nullptr;
    }
}

void RaiseStatus(int32_t* status, int32_t candidate) {
    if (candidate > *status) *status = candidate;
}

void PrintedId(const char* catalogueId, char* printed) {
    JsonReadText(catalogueId, kJsonStringCut, printed, kPrintedIdSize);
}

bool IdEquals(const char* catalogueId, const char* requestedId) {
    char printed[kPrintedIdSize];
    PrintedId(catalogueId, printed);
    return std::strcmp(printed, requestedId) == 0;
}

void RaisePointStatuses(strMachine* machine) {
    for (int32_t p = 0; p < machine->countOfPoints; ++p) {
        strPoint* point = &machine->points[p];
        for (int32_t v = 0; v < machine->countOfVariables; ++v) {
            const strVariable& variable = machine->variables[v];
            if (variable.point == point) RaiseStatus(&point->status, variable.status);
        }
    }
}
