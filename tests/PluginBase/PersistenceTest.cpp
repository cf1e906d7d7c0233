#include "tests/PluginBase/FilterTestSupport.h"

#include <gtest/gtest.h>

using namespace FilterTest;

namespace {

constexpr std::size_t stateSize = 32818;

std::vector<BYTE> SavedState(DXPlugin& filter) {
    MemoryStream stream;
    EXPECT_EQ(filter.Save(&stream, FALSE), S_OK);
    return stream.bytes;
}

std::vector<MP_DATA> HostValues(DXPlugin& filter) {
    std::vector<MP_DATA> values(7);
    for (DWORD i = 0; i < 7; ++i)
        filter.GetParam(i, &values[i]);
    return values;
}

} // namespace

TEST(Persistence, TheStateIsOneBlockOfKnownSizeAndHeaderAndTracksDirtiness) {
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    ULARGE_INTEGER size{};
    ASSERT_EQ(filter->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, stateSize);
    std::vector<BYTE> state = SavedState(*filter);
    ASSERT_EQ(state.size(), stateSize);
    const std::vector<BYTE> header{0x4C, 0xAD, 0xAE, 0x05, 0x17, 0, 0, 0, 0x32, 0x80, 0, 0};
    EXPECT_EQ(std::vector<BYTE>(state.begin(), state.begin() + 12), header);

    MemoryStream stream, full;
    full.limit = stateSize - 1;
    EXPECT_EQ(filter->Save(&full, TRUE), E_FAIL);
    EXPECT_EQ(filter->IsDirty(), S_OK);
    ASSERT_EQ(filter->Save(&stream, TRUE), S_OK);
    EXPECT_EQ(filter->IsDirty(), S_FALSE);
    ASSERT_EQ(filter->SetParam(1, 0.9f), S_OK);
    EXPECT_EQ(filter->IsDirty(), S_OK);
}

TEST(Persistence, ALoadInTwoReadsRestoresASavedStateAndRefusesShortOrForeignOnes) {
    Com<DXPlugin> saved = Make<DXPlugin>(nullptr);
    for (DWORD i : {0, 2, 4})
        ASSERT_EQ(saved->SetParam(i, 0.25f), S_OK);
    const std::vector<BYTE> state = SavedState(*saved);
    Com<DXPlugin> loaded = Make<DXPlugin>(nullptr);
    const std::vector<MP_DATA> defaults = HostValues(*loaded);

    std::vector<BYTE> oldVersion = state, wrongSize = state;
    oldVersion[4] = 22;
    wrongSize[8] = 0x31; // 32817
    for (const std::vector<BYTE>& bytes : {oldVersion, wrongSize}) {
        MemoryStream stream(bytes);
        EXPECT_EQ(loaded->Load(&stream), E_FAIL);
        EXPECT_EQ(stream.position, 12u); // nothing read past the header
    }
    MemoryStream truncated(std::vector<BYTE>(state.begin(), state.end() - 1));
    EXPECT_EQ(loaded->Load(&truncated), E_FAIL);
    EXPECT_EQ(HostValues(*loaded), defaults);

    MemoryStream stream(state);
    ASSERT_EQ(loaded->Load(&stream), S_OK);
    EXPECT_EQ(stream.reads, 2);
    EXPECT_EQ(HostValues(*loaded), HostValues(*saved));
    EXPECT_EQ(SavedState(*loaded), state);
}

TEST(Presets, OneDefaultPresetNamedToFitItsBuffer) {
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    WCHAR name[8] = {L'x', L'x', L'x', L'x', L'x'};
    ASSERT_EQ(filter->GetPresetName(0, name, LONG(4 * sizeof(WCHAR))), S_OK); // 8 bytes on Windows
    EXPECT_STREQ(name, L"Def");
    EXPECT_EQ(name[4], L'x');
    ASSERT_EQ(filter->GetPresetName(0, name, LONG(sizeof(name))), S_OK);
    EXPECT_STREQ(name, L"Default");
    EXPECT_EQ(filter->GetPresetName(1, name, LONG(sizeof(name))), E_INVALIDARG);

    const std::vector<MP_DATA> defaults = HostValues(*filter);
    ASSERT_EQ(filter->SetParam(0xFFFFFFFF, 0.0f), S_OK);
    EXPECT_EQ(filter->SetPreset(1), E_INVALIDARG);
    ASSERT_EQ(filter->SetPreset(0), S_OK);
    EXPECT_EQ(HostValues(*filter), defaults);
}
