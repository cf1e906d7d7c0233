#include "tests/platform/GraphTestSupport.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>

using namespace GraphTest;

namespace {

// Buffers of 64 bytes; the properties take only while no buffer is out.
HRESULT Resize(IMemAllocator* allocator, LONG buffers) {
    ALLOCATOR_PROPERTIES request{buffers, 64, 1, 0}, actual{};
    return allocator->SetProperties(&request, &actual);
}

Com<IMemAllocator> CommittedAllocator(LONG buffers) {
    IMemAllocator* allocator = nullptr;
    CMemAllocator::Create(&allocator);
    Resize(allocator, buffers);
    allocator->Commit();
    return Com<IMemAllocator>(allocator);
}

} // namespace

TEST(AllocatorThreads, DecommitWakesTheThreadWaitingForABuffer) {
    Com<IMemAllocator> allocator = CommittedAllocator(1);
    IMediaSample* held = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&held, nullptr, nullptr, 0), S_OK);
    auto waiting = std::async(std::launch::async, [&] {
        IMediaSample* sample = nullptr;
        return allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    allocator->Decommit();
    EXPECT_EQ(waiting.get(), VFW_E_NOT_COMMITTED);

    held->Release(); // the last buffer back frees the memory
    EXPECT_EQ(Resize(allocator.get(), 1), S_OK);
}

TEST(AllocatorThreads, BuffersCycleOnTwoThreadsWhileTheControlThreadCommitsAndDecommits) {
    Com<IMemAllocator> allocator = CommittedAllocator(2);
    std::atomic<bool> done{false};
    std::atomic<int> received{0};
    auto cycle = [&] {
        while (!done) {
            IMediaSample* sample = nullptr;
            if (allocator->GetBuffer(&sample, nullptr, nullptr, 0) != S_OK) continue;
            sample->SetActualDataLength(8);
            sample->Release();
            ++received;
        }
    };
    auto first = std::async(std::launch::async, cycle);
    auto second = std::async(std::launch::async, cycle);
    for (int i = 0; i < 200 || received < 1000; ++i) {
        allocator->Decommit();
        allocator->Commit();
    }
    done = true;
    first.get();
    second.get();
    allocator->Decommit();
    // Every buffer is back and every reference the samples held is gone.
    EXPECT_EQ(Resize(allocator.get(), 2), S_OK);
    EXPECT_EQ(allocator.release()->Release(), 0u);
}
