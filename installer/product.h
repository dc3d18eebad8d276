#pragma once

// The fixed values of an installation run.
namespace VendraInstaller::Product {

inline constexpr char16_t kDisplayName[] = u"Tandory";
inline constexpr char16_t kUninstallKeyName[] = u"Tandory";
inline constexpr char16_t kPackageKey[] = u"tandory";
inline constexpr char16_t kPackageManagerPath[] = u"utils\\VendraBuild.exe";
inline constexpr char16_t kPackageManagerFolder[] = u"utils\\";
inline constexpr char16_t kPackageManagerFile[] = u"VendraBuild.exe";
inline constexpr char16_t kProductExecutable[] = u"Tandory.exe";
inline constexpr char kUtilityName[] = "vendrabuild";
inline constexpr char kSoftwareId[] = "TDY-UPLINK";
inline constexpr char kClientVersion[] = "Tandory Installer 1.00";
inline constexpr char kProductCode[] = "tdy";
inline constexpr char16_t kLiveBuild[] = u"live";
inline constexpr char16_t kUnknownVersion[] = u"unknown";

}  // namespace VendraInstaller::Product
