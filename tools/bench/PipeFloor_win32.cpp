#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "PipeFloor.h"

std::vector<double> MeasurePipeFloor(int count, int length) {
    std::vector<double> samples;
    const std::string name = "\\\\.\\pipe\\tovbench-floor-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 65536, 65536, 0,
                                     nullptr);
    if (server == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "CreateNamedPipe failed: %lu\n", GetLastError());
        return samples;
    }
    HANDLE client = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (client == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "CreateFile of the pipe failed: %lu\n", GetLastError());
        CloseHandle(server);
        return samples;
    }
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> completed{0};
    // The reader waits as the driver's reader does: the read's event or the stop event.
    std::thread reader([&] {
        HANDLE readEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::vector<char> buffer(static_cast<size_t>(length));
        for (int i = 0; i < count; ++i) {
            OVERLAPPED overlapped = {};
            overlapped.hEvent = readEvent;
            ResetEvent(readEvent);
            DWORD got = 0;
            if (!ReadFile(client, buffer.data(), static_cast<DWORD>(buffer.size()), &got, &overlapped)) {
                if (GetLastError() != ERROR_IO_PENDING) break;
                HANDLE events[2] = {readEvent, stop};
                if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
                    CancelIo(client);
                    break;
                }
                if (!GetOverlappedResult(client, &overlapped, &got, FALSE)) break;
            }
            completed.store(i + 1, std::memory_order_release);
        }
        CloseHandle(readEvent);
    });
    std::vector<char> message(static_cast<size_t>(length), 0);
    for (int i = 0; i < count; ++i) {
        message[1] = static_cast<char>(i);
        const bench::Clock::time_point start = bench::Clock::now();
        DWORD written = 0;
        if (!WriteFile(server, message.data(), static_cast<DWORD>(message.size()), &written, nullptr)) break;
        while (completed.load(std::memory_order_acquire) <= i) std::this_thread::yield();
        samples.push_back(bench::NanosecondsBetween(start, bench::Clock::now()));
    }
    SetEvent(stop);
    reader.join();
    CloseHandle(client);
    CloseHandle(server);
    CloseHandle(stop);
    return samples;
}
