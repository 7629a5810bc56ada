#include "CitrixClient.h"

#include "CitrixClientData.h"

CCitrixClient::CCitrixClient(const std::string& channelName) {
    CCitrixClientData& data = CCitrixClientData::Instance();
    if (data.client) throw 1;
    data.client = this;
    data.channelName = channelName;
}
