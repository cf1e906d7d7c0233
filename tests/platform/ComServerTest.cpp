#include "tests/platform/GraphTestSupport.h"

#include <gtest/gtest.h>
#include <string>

#include "tests/TestFolder.h"

using namespace GraphTest;

namespace {

constexpr CLSID filterClass{
    0xa0c640f5, 0x2c3b, 0x4606, {0x98, 0x99, 0xca, 0x1e, 0x75, 0x03, 0x72, 0x9e}};
constexpr CLSID allocatorClass{
    0xa0c640f7, 0x2c3b, 0x4606, {0x98, 0x99, 0xca, 0x1e, 0x75, 0x03, 0x72, 0x9e}};

CUnknown* CreateFilter(LPUNKNOWN outer, HRESULT*) {
    return new TestSource(outer);
}

// A class without IAMovieSetup: registration writes its server keys only, where a filter
// also registers with the filter mapper (the Server tests check the product's entries).
CUnknown* CreateAllocator(LPUNKNOWN outer, HRESULT*) {
    return new CMemAllocator("Registered allocator", outer);
}

const CFactoryTemplate templates[] = {
    {L"Test source", &filterClass, CreateFilter, nullptr, nullptr},
    {L"Allocator", &allocatorClass, CreateAllocator, nullptr, nullptr},
};

IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    FactoryGetClassObject(templates, filterClass, IID_IClassFactory,
                          reinterpret_cast<void**>(&factory));
    return factory;
}

// An outer object that aggregates the filter and hands out its interfaces.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) return GetInterface(this, ppv);
        return inner->QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }

    ULONG references = 1;
    IUnknown* inner = nullptr;
};

// The registry's classes root in a folder of the test's own.
class RegistryFolder : public ::testing::Test {
protected:
    static bool Exists(const std::string& key) { return RegistryValue(key, nullptr) != "<none>"; }

    TestFolder root;
    ScopedEnv data{"XDG_DATA_HOME", root.path.c_str()};
};

} // namespace

TEST(ClassFactory, CreatesTheClassPlainOrAggregatedAndRefusesWhatCOMForbids) {
    IClassFactory* factory = Factory();
    ASSERT_NE(factory, nullptr);
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)),
              S_OK);
    EXPECT_EQ(filter->Release(), 0u);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(
        factory->CreateInstance(nullptr, IID_IMemAllocator, reinterpret_cast<void**>(&unknown)),
        E_NOINTERFACE);
    Outer outer;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IBaseFilter, reinterpret_cast<void**>(&filter)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(filter, nullptr);

    // Aggregated, the filter's identity and references are the outer object's.
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    factory->Release();
    ASSERT_EQ(outer.QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    EXPECT_EQ(outer.references, 2u);
    IUnknown* identity = nullptr;
    filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    filter->Release();
    EXPECT_EQ(outer.references, 1u);
    EXPECT_EQ(outer.inner->Release(), 0u);
}

TEST(ClassFactory, ModuleUnloadsOnlyWithoutObjectsOrServerLocks) {
    EXPECT_EQ(FactoryCanUnloadNow(), S_OK);
    IClassFactory* locking = Factory();
    EXPECT_EQ(FactoryCanUnloadNow(), S_FALSE); // a factory is an object of the module
    locking->LockServer(TRUE);
    locking->Release();
    EXPECT_EQ(FactoryCanUnloadNow(), S_FALSE);
    IClassFactory* unlocking = Factory();
    unlocking->LockServer(FALSE);
    unlocking->Release();
    EXPECT_EQ(FactoryCanUnloadNow(), S_OK);
    {
        auto source = Make<TestSource>();
        auto sink = Make<TestSink>();
        source->pin.offered = {AudioType(WAVE_FORMAT_PCM, 2, 44100, 16)};
        ASSERT_EQ(source->pin.Connect(&sink->pin, nullptr), S_OK);
        EXPECT_EQ(FactoryCanUnloadNow(), S_FALSE);
        sink->pin.Disconnect(); // as a graph does, so that neither pin keeps the other alive
        source->pin.Disconnect();
    }
    EXPECT_EQ(FactoryCanUnloadNow(), S_OK); // every filter, pin and allocator is gone
}

// The filter's own entries are checked where the product registers (Server tests); here
// a class without IAMovieSetup gets its server keys and no filter entry.
TEST_F(RegistryFolder, RegistrationWritesTheServerAndUnregistrationRemovesIt) {
    ASSERT_EQ(AMovieDllRegisterServer(templates), S_OK);
    const std::string allocator = "CLSID\\{A0C640F7-2C3B-4606-9899-CA1E7503729E}";
    EXPECT_EQ(RegistryValue(allocator, nullptr), "Allocator");
    const std::string instances = "CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\";
    EXPECT_FALSE(Exists(instances + "{A0C640F7-2C3B-4606-9899-CA1E7503729E}"));

    ASSERT_EQ(AMovieDllUnregisterServer(templates), S_OK);
    EXPECT_FALSE(Exists(allocator));
    EXPECT_TRUE(Exists("CLSID"));
    EXPECT_EQ(AMovieDllUnregisterServer(templates), S_OK); // nothing left to remove
}

// The stored file keeps a value's type: text that reads like a number stays text.
TEST_F(RegistryFolder, ValuesKeepTheirTypeAndATreeDeletionRemovesSubkeys) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "A\\B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    DWORD number = 42;
    const char text[] = "dword:7";
    RegSetValueExA(key, "N", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4);
    RegSetValueExA(key, "T", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
    RegCloseKey(key);
    EXPECT_EQ(RegistryValue("A\\B", "N"), "42");
    EXPECT_EQ(RegistryValue("A\\B", "T"), "dword:7");

    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "A"), ERROR_SUCCESS);
    EXPECT_FALSE(Exists("A\\B"));
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "A"), LONG(ERROR_FILE_NOT_FOUND));
}

// The filter holds a named mutex by which other programs see that it is loaded.
TEST(ComStandIns, ANamedMutexIsSharedUntilItsLastHandleCloses) {
    HANDLE first = CreateMutexA(nullptr, TRUE, "QuillonQuillonSonavelMutex");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE second = CreateMutexA(nullptr, TRUE, "QuillonQuillonSonavelMutex");
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(second);
    CloseHandle(first);
    CloseHandle(CreateMutexA(nullptr, TRUE, "QuillonQuillonSonavelMutex"));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
}
