#pragma once
// The plug-ins' URIs, shared by the binary, its descriptions and the host tests.

#define SONAVEL_LV2_URI "http://quillon.audio/lv2/sonavel"
#define SONAVEL_LV2_STEREO_URI SONAVEL_LV2_URI "/stereo"
#define SONAVEL_LV2_MONO_URI SONAVEL_LV2_URI "/mono"
// The state property holding the settings and noise profile block.
#define SONAVEL_LV2_PROFILE_URI SONAVEL_LV2_URI "#profile"
