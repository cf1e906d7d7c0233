// The four functions an in-process COM server exports.

#include "PluginBase/DirectX/ComServer.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return FactoryGetClassObject(DX::FactoryTemplates(), rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return FactoryCanUnloadNow();
}

STDAPI DllRegisterServer() {
    return AMovieDllRegisterServer(DX::FactoryTemplates());
}

STDAPI DllUnregisterServer() {
    return AMovieDllUnregisterServer(DX::FactoryTemplates());
}
