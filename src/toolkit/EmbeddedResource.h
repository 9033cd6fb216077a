// Files compiled into the library (the skin pictures), found by name.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

struct TEmbeddedResource {
  const char* Name;
  const unsigned char* Data;
  std::size_t Size;
};

// Terminated by an entry whose Name is null; generated at build time.
extern const TEmbeddedResource kEmbeddedResources[];

// The bytes of the named resource, or an empty span when there is none.
inline std::span<const unsigned char> FindEmbeddedResource(std::string_view name) {
  for (const TEmbeddedResource* r = kEmbeddedResources; r->Name; ++r)
    if (name == r->Name)
      return {r->Data, r->Size};
  return {};
}
