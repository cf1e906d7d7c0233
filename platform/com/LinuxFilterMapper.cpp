#include "platform/com/LinuxFilterMapper.h"
#include "platform/dshow/Text.h"

#include <atomic>
#include <new>
#include <string>
#include <vector>

namespace {

using DShow::GuidText;
using DShow::NarrowText;

// One pin of a registration record, whichever version the record has.
struct PinRecord {
    std::string name;
    DWORD flags = 0;
    UINT instances = 0;
    const CLSID* connectsToFilter = nullptr;
    std::string connectsToPin;
    const CLSID* category = nullptr;
    std::vector<REGPINTYPES> types;
};

PinRecord FromVersion1(const REGFILTERPINS& pin) {
    PinRecord record;
    record.name = NarrowText(pin.strName);
    record.flags = (pin.bZero ? REG_PINFLAG_B_ZERO : 0) |
                   (pin.bRendered ? REG_PINFLAG_B_RENDERER : 0) |
                   (pin.bMany ? REG_PINFLAG_B_MANY : 0) | (pin.bOutput ? REG_PINFLAG_B_OUTPUT : 0);
    record.connectsToFilter = pin.clsConnectsToFilter;
    record.connectsToPin = NarrowText(pin.strConnectsToPin);
    record.types.assign(pin.lpMediaType, pin.lpMediaType + pin.nMediaTypes);
    return record;
}

PinRecord FromVersion2(const REGFILTERPINS2& pin) {
    PinRecord record;
    record.flags = pin.dwFlags;
    record.instances = pin.cInstances;
    record.category = pin.clsPinCategory;
    record.types.assign(pin.lpMediaType, pin.lpMediaType + pin.nMediaTypes);
    return record;
}

std::vector<PinRecord> PinsOf(const REGFILTER2& filter) {
    std::vector<PinRecord> pins;
    for (ULONG i = 0; i < filter.cPins; ++i)
        pins.push_back(filter.dwVersion == 1 ? FromVersion1(filter.rgPins[i])
                                             : FromVersion2(filter.rgPins2[i]));
    return pins;
}

// An open key that writes values and closes itself; the first failure sticks.
class Key {
public:
    Key(HKEY parent, const std::string& path) {
        if (parent != nullptr)
            error = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key != nullptr) RegCloseKey(key);
    }
    void Text(const char* name, const std::string& text) {
        Set(name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1));
    }
    void Number(const char* name, DWORD number) {
        Set(name, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    }
    HKEY Handle() const { return key; }
    LONG Error() const { return error; }

private:
    void Set(const char* name, DWORD type, const BYTE* data, DWORD size) {
        if (error == ERROR_SUCCESS) error = RegSetValueExA(key, name, 0, type, data, size);
    }
    HKEY key = nullptr;
    LONG error = ERROR_INVALID_PARAMETER;
};

LONG WritePin(HKEY pins, size_t index, const PinRecord& pin) {
    Key key(pins, std::to_string(index));
    if (!pin.name.empty()) key.Text("Name", pin.name);
    key.Number("Flags", pin.flags);
    if (pin.instances != 0) key.Number("Instances", pin.instances);
    if (pin.connectsToFilter != nullptr)
        key.Text("ConnectsToFilter", GuidText(*pin.connectsToFilter));
    if (!pin.connectsToPin.empty()) key.Text("ConnectsToPin", pin.connectsToPin);
    if (pin.category != nullptr) key.Text("Category", GuidText(*pin.category));
    for (size_t k = 0; k < pin.types.size() && key.Error() == ERROR_SUCCESS; ++k) {
        Key type(key.Handle(), "Types\\" + std::to_string(k));
        const REGPINTYPES& types = pin.types[k];
        type.Text("MajorType", GuidText(types.clsMajorType ? *types.clsMajorType : GUID_NULL));
        type.Text("SubType", GuidText(types.clsMinorType ? *types.clsMinorType : GUID_NULL));
        if (type.Error() != ERROR_SUCCESS) return type.Error();
    }
    return key.Error();
}

std::string InstanceKey(const CLSID* category, LPCOLESTR instance, REFCLSID filter) {
    std::string name = instance != nullptr ? NarrowText(instance) : GuidText(filter);
    return "CLSID\\" + GuidText(category ? *category : CLSID_LegacyAmFilterCategory) +
           "\\Instance\\" + name;
}

class FilterMapper final : public IFilterMapper2 {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IFilterMapper2) return E_NOINTERFACE;
        *object = static_cast<IFilterMapper2*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP CreateCategory(REFCLSID category, DWORD merit, LPCWSTR description) override {
        Key key(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(category));
        key.Text("FriendlyName", NarrowText(description));
        key.Number("Merit", merit);
        return HRESULT_FROM_WIN32(key.Error());
    }

    STDMETHODIMP UnregisterFilter(const CLSID* category, LPCOLESTR instance,
                                  REFCLSID filter) override {
        std::string path = InstanceKey(category, instance, filter);
        return HRESULT_FROM_WIN32(RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str()));
    }

    // No monikers exist here: a moniker asked for comes back null.
    STDMETHODIMP RegisterFilter(REFCLSID filter, LPCWSTR name, IMoniker** moniker,
                                const CLSID* category, LPCOLESTR instance,
                                const REGFILTER2* record) override {
        if (record == nullptr || (record->dwVersion != 1 && record->dwVersion != 2))
            return E_INVALIDARG;
        if (moniker != nullptr) *moniker = nullptr;
        std::string path = InstanceKey(category, instance, filter);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
        Key key(HKEY_CLASSES_ROOT, path);
        key.Text("FriendlyName", NarrowText(name));
        key.Text("CLSID", GuidText(filter));
        key.Number("Merit", record->dwMerit);
        std::vector<PinRecord> pins = PinsOf(*record);
        Key pinsKey(pins.empty() ? nullptr : key.Handle(), "Pins");
        for (size_t i = 0; i < pins.size(); ++i)
            if (LONG error = WritePin(pinsKey.Handle(), i, pins[i]))
                return HRESULT_FROM_WIN32(error);
        return HRESULT_FROM_WIN32(key.Error());
    }

    // Nothing in this system looks filters up by their types.
    STDMETHODIMP EnumMatchingFilters(IEnumMoniker**, DWORD, WINBOOL, DWORD, WINBOOL, DWORD,
                                     const GUID*, const REGPINMEDIUM*, const CLSID*, WINBOOL,
                                     WINBOOL, DWORD, const GUID*, const REGPINMEDIUM*,
                                     const CLSID*) override {
        return E_NOTIMPL;
    }

private:
    std::atomic<ULONG> references{1};
};

} // namespace

namespace Platform {

HRESULT CreateFilterMapper(REFIID riid, void** object) {
    auto* mapper = new (std::nothrow) FilterMapper;
    if (mapper == nullptr) return E_OUTOFMEMORY;
    HRESULT result = mapper->QueryInterface(riid, object);
    mapper->Release();
    return result;
}

} // namespace Platform
