#pragma once
// The filter's input pin. Beyond the transform base it lets the input format change
// under a connected output: a format the output cannot carry as it is is still taken
// when the downstream pin would accept it, and the output is then reconnected.

#include "platform/dshow/BaseClasses.h"

class DXPlugin;

class CPluginInputPin : public CTransformInputPin {
public:
    CPluginInputPin(DXPlugin* filter, HRESULT* phr);

    HRESULT CheckMediaType(const CMediaType* type) override;

private:
    DXPlugin* plugin;
};
