#include "CitrixClientData.h"

CCitrixClientData& CCitrixClientData::Instance() {
    static CCitrixClientData instance;
    return instance;
}

bool CCitrixClientData::Push(const uint8_t* data, size_t size, uint32_t madeInLoad) {
    std::vector<uint8_t> block(data, data + size);  // copied before the lock is taken
    CCriticalSectionLocker locker(lock);
    if (madeInLoad != kCurrentLoad && madeInLoad != load) return false;
    sendQueue.push_back(std::move(block));
    return true;
}

uint32_t CCitrixClientData::Load() {
    CCriticalSectionLocker locker(lock);
    return load;
}

const std::vector<uint8_t>* CCitrixClientData::Front() {
    CCriticalSectionLocker locker(lock);
    return sendQueue.empty() ? nullptr : &sendQueue.front();
}

void CCitrixClientData::Pop() {
    CCriticalSectionLocker locker(lock);
    if (!sendQueue.empty()) sendQueue.pop_front();
}

void CCitrixClientData::EndSession() {
    std::list<std::vector<uint8_t>> dropped;
    {
        CCriticalSectionLocker locker(lock);
        dropped.swap(sendQueue);
        // Blocks made for this load by a thread that outlives it are refused from here on.
        load = load + 1 == kCurrentLoad ? 0 : load + 1;
    }
    wdData = nullptr;
    channelNumber = 0;
    queueVirtualWrite = nullptr;
    maxDataSize = 0;
    hpcMode = false;
    sessionEnded = true;
}

bool CCitrixClientData::TakeEndedSession() {
    const bool ended = sessionEnded;
    sessionEnded = false;
    return ended;
}

size_t CCitrixClientData::QueuedBlocks() {
    CCriticalSectionLocker locker(lock);
    return sendQueue.size();
}
