#pragma once

// What a host and the user see of the product; one definition each.
namespace varnok::identity
{
inline constexpr const char* pluginName = "VARNOK COMP Free";
inline constexpr const char* maker = "Olmet";
inline constexpr const char* version = "1.0.2";
inline constexpr const char* manufacturerCode = "Olmt";
inline constexpr const char* pluginCode = "Vnkt";
inline constexpr const char* vst3SubCategory = "Fx";
inline constexpr const char* sdkVersion = "VST 3.7.12";

// Set by the build (see the top-level CMakeLists.txt).
inline constexpr const char* shopPageUrl = VARNOK_SHOP_URL;
inline constexpr const char* manifestUrl = VARNOK_MANIFEST_URL;
} // namespace varnok::identity
