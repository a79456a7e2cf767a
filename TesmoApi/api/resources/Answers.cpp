#include "api/resources/Answers.h"

eRequestResult ServerNotWorking(strJsonOutput* output) {
    JsonSetError(output, kMessageServerNotWorking, kErrorServerNotWorking);
    return ServiceError;
}

eRequestResult UsageError(strJsonOutput* output, const char* message, unsigned code) {
    JsonSetError(output, message, code);
    return BadRequest;
}
