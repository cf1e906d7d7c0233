#include "tests/PluginBase/FilterTestSupport.h"

#include "tests/TestFolder.h"

#include <gtest/gtest.h>
#include <string>

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();

using GraphTest::RegistryValue;

TEST(Server, TheFactoryMakesFiltersThatAnswerEveryInterface) {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(GUID_NULL, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(DllGetClassObject(DX::CLSID_DXPlugin, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory)),
              S_OK);
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)),
              S_OK);
    factory->Release();
    for (const IID& iid : {DX::IID_IDXPlugin, IID_ISpecifyPropertyPages, IID_IPersistStream,
                           IID_IStaticFilterPreset, IID_IMediaParams, IID_IMediaParamInfo,
                           IID_IMediaParamsSetUICallback, IID_IMfxSoftSynth, IID_IMfxSoftSynth2}) {
        IUnknown* face = nullptr;
        ASSERT_EQ(filter->QueryInterface(iid, reinterpret_cast<void**>(&face)), S_OK);
        face->Release();
    }
    EXPECT_EQ(filter->Release(), 0u);
}

TEST(Server, RegistrationWritesTheServerAndTheFilterAndUnregistrationRemovesThem) {
    const TestFolder root;
    const ScopedEnv data("XDG_DATA_HOME", root.path.c_str());
    const std::string server = "CLSID\\{A0C640F5-2C3B-4606-9899-CA1E7503729E}";
    const std::string filter = "CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\"
                               "{A0C640F5-2C3B-4606-9899-CA1E7503729E}";
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(RegistryValue(server, nullptr), "Quillon Sonavel");
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH); // the filter is linked into the test
    EXPECT_EQ(RegistryValue(server + "\\InprocServer32", nullptr), module);
    EXPECT_EQ(RegistryValue(server + "\\InprocServer32", "ThreadingModel"), "Both");
    EXPECT_EQ(RegistryValue(filter, "FriendlyName"), "Quillon Sonavel");
    EXPECT_EQ(RegistryValue(filter, "Merit"), std::to_string(0x00200000));
    EXPECT_EQ(RegistryValue(filter + "\\Pins\\0", "Name"), "Input");
    EXPECT_EQ(RegistryValue(filter + "\\Pins\\1", "Flags"), std::to_string(REG_PINFLAG_B_OUTPUT));
    EXPECT_EQ(RegistryValue(filter + "\\Pins\\1\\Types\\0", "MajorType"),
              "{73647561-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(RegistryValue(filter + "\\Pins\\2", "Name"), "<none>");
    ASSERT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(RegistryValue(server, nullptr), "<none>");
    EXPECT_EQ(RegistryValue(filter, "FriendlyName"), "<none>");
}
