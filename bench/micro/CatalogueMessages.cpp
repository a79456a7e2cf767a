#include "CatalogueMessages.h"

#include "Replies.h"
#include "TesmoProtocol.h"

namespace {

using tesmosim::Bytes;

std::vector<unsigned char> Payload(const Bytes& message) {
    return std::vector<unsigned char>(message.begin() + tesmo::kHeaderSize, message.end());
}

}  // namespace

strCatalogueMessages LargePlantMessages() {
    using namespace tesmosim;
    strSimPlant plant = BuildPlant(eSimPlant::Large, 1);
    Bytes message;
    strCatalogueMessages messages;
    EncodeCatalogue(plant, &message);
    messages.catalogue = Payload(message);
    EncodeSpecialKinds(plant, &message);
    messages.kinds = Payload(message);
    return messages;
}
