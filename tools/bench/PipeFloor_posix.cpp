#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "BenchSupport.h"
#include "PipeFloor.h"

// The plain reader: poll and recv into one buffer, nothing else. A named function, so that the
// instructions figure can count what it executes under callgrind.
void PipeFloorReader(int descriptor, int count, int length, std::atomic<int>* completed) {
    std::vector<char> buffer(static_cast<size_t>(length));
    for (int i = 0; i < count; ++i) {
        pollfd entry = {descriptor, POLLIN, 0};
        if (poll(&entry, 1, -1) <= 0) break;
        if (recv(descriptor, buffer.data(), buffer.size(), 0) <= 0) break;
        completed->store(i + 1, std::memory_order_release);
    }
}

std::vector<double> MeasurePipeFloor(int count, int length) {
    std::vector<double> samples;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair) != 0) {
        std::perror("socketpair");
        return samples;
    }
    std::atomic<int> completed{0};
    std::thread reader(PipeFloorReader, pair[1], count, length, &completed);
    std::vector<char> message(static_cast<size_t>(length), 0);
    for (int i = 0; i < count; ++i) {
        message[1] = static_cast<char>(i);
        const bench::Clock::time_point start = bench::Clock::now();
        if (send(pair[0], message.data(), message.size(), 0) < 0) break;
        while (completed.load(std::memory_order_acquire) <= i) std::this_thread::yield();
        samples.push_back(bench::NanosecondsBetween(start, bench::Clock::now()));
    }
    shutdown(pair[0], SHUT_RDWR);
    reader.join();
    close(pair[0]);
    close(pair[1]);
    return samples;
}
