// Named resources embedded in the program at build time (form resources,
// bitmaps, cursors).
//
// The build turns files of resources/ into generated .cpp arrays with one
// registration function per target (cmake/Resources.cmake: embed_resources);
// the unit that owns the resources calls it from its initialization, so no
// global constructor runs. A form finds its resource under its class name
// upper-cased ("TFORM1", type RT_RCDATA); other files under their base name
// upper-cased (".bmp" -> RT_BITMAP, ".cur" -> RT_CURSOR, else RT_RCDATA).
//
// Resources of a loaded library module (ModuleResources.h) are found with
// FindModuleResource: by name, ignoring ASCII case ("#101" is id 101, as
// the platform's resource calls read it), or by numeric id. HInstance
// (nullptr) stands for the program itself and finds the registered
// resources above.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/os/Modules.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

inline constexpr const char* RT_RCDATA = "RCDATA";
inline constexpr const char* RT_BITMAP = "BITMAP";
inline constexpr const char* RT_CURSOR = "CURSOR";

// "Resource %s not found".
RTL_DECLARE_EXCEPTION(EResNotFound, Exception);

struct TResource {
  String Name;  // upper-case
  String Type;  // upper-case
  std::span<const uint8_t> Data;
};

// Registers (or replaces) a resource; the bytes are not copied and must stay
// valid (generated arrays are static).
void RegisterResource(const String& Name, const String& Type, const uint8_t* Data, size_t Size);
bool UnregisterResource(const String& Name, const String& Type);
// Name and type compare ignoring ASCII case; nullptr when absent.
const TResource* FindResource(const String& Name, const String& Type);
// The resource's bytes, or EResNotFound "Resource %s not found".
std::span<const uint8_t> LoadResource(const String& Name, const String& Type);
// The resource's bytes as text (form resources are UTF-8 text).
String LoadResourceText(const String& Name, const String& Type);

// The program's own module handle for FindModuleResource.
inline constexpr HMODULE HInstance = nullptr;

// A resource of Module (HInstance: the program's registered resources).
// Empty when the module has no such resource or carries no resource table.
// The bytes stay valid while the module stays loaded.
std::optional<TResource> FindModuleResource(HMODULE Module, const String& Name, const String& Type);
std::optional<TResource> FindModuleResource(HMODULE Module, uint16_t Id, const String& Type);
