#include "tests/platform/GraphTestSupport.h"

#include <gtest/gtest.h>

using namespace GraphTest;

namespace {
const CMediaType pcm = AudioType(WAVE_FORMAT_PCM, 2, 44100, 16);
} // namespace

TEST(MediaType, CopiesOwnTheirFormatAndPartialTypesMatchWhatTheyName) {
    CMediaType copy = pcm;
    EXPECT_NE(copy.Format(), pcm.Format());
    EXPECT_TRUE(copy == pcm);
    copy.Format()[0] ^= 1;
    EXPECT_FALSE(copy == pcm);

    AM_MEDIA_TYPE* task = CreateMediaType(&pcm);
    EXPECT_TRUE(CMediaType(*task) == pcm);
    DeleteMediaType(task);

    CMediaType partial;
    partial.SetType(&MEDIATYPE_Audio);
    EXPECT_TRUE(partial.IsPartiallySpecified());
    EXPECT_TRUE(pcm.MatchesPartial(&partial));
    partial.SetSubtype(&MEDIASUBTYPE_IEEE_FLOAT);
    EXPECT_FALSE(pcm.MatchesPartial(&partial));
}

TEST(MemAllocator, RoundsBuffersUpAndHandsOutFreshSamples) {
    IMemAllocator* created = nullptr;
    ASSERT_EQ(CMemAllocator::Create(&created), S_OK);
    Com<IMemAllocator> allocator(created);
    ALLOCATOR_PROPERTIES request{2, 10, 8, 3};
    ALLOCATOR_PROPERTIES actual{};
    ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
    EXPECT_EQ(actual.cbBuffer, 13); // prefix + buffer a multiple of the alignment
    ALLOCATOR_PROPERTIES badAlignment{2, 10, 3, 0};
    EXPECT_EQ(allocator->SetProperties(&badAlignment, &actual), VFW_E_BADALIGN);

    IMediaSample* first = nullptr;
    IMediaSample* second = nullptr;
    IMediaSample* third = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(allocator->GetBuffer(&third, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    BYTE* data = nullptr;
    first->GetPointer(&data);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data - 3) % 8, 0u);

    REFERENCE_TIME start = 500, end = 0;
    first->SetTime(&start, nullptr);
    EXPECT_EQ(first->GetTime(&start, &end), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(end, 501);
    EXPECT_EQ(first->SetActualDataLength(14), VFW_E_BUFFER_OVERFLOW);
    first->SetActualDataLength(4);
    first->SetPreroll(TRUE);
    first->Release();
    ASSERT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
    EXPECT_EQ(first->GetTime(&start, &end), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(first->GetActualDataLength(), 13);
    EXPECT_EQ(first->IsPreroll(), S_FALSE);

    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);
    allocator->Decommit();
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BUFFERS_OUTSTANDING);
    first->Release();
    second->Release();
    ALLOCATOR_PROPERTIES none{0, 10, 1, 0};
    ASSERT_EQ(allocator->SetProperties(&none, &actual), S_OK);
    EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
}
