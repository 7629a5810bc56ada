#include "CitrixClientData.h"

CCitrixClientData& CCitrixClientData::Instance() {
    static CCitrixClientData instance;
    return instance;
}

void CCitrixClientData::Push(const uint8_t* data, size_t size) {
    std::vector<uint8_t> block(data, data + size);  // copied before the lock is taken
    CCriticalSectionLocker locker(lock);
    sendQueue.push_back(std::move(block));
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
