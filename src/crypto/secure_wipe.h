// Overwriting secrets with zeros in a way the compiler may not drop.
//
// Used for key material, pass phrases and clear texts that pass through the
// cipher. Wiping a string clears its whole allocation (capacity), then
// empties it. Pure functions on the caller's memory; thread-safe.
#pragma once

#include <string.h>

#include <array>
#include <cstddef>
#include <string>

namespace comvorlix {

inline void SecureWipe(void* data, size_t size) {
  if (size != 0) explicit_bzero(data, size);
}

template <typename CharT>
void SecureWipe(std::basic_string<CharT>& s) {
  // Clearing up to the capacity also covers characters left behind by an
  // earlier, longer content of the same buffer.
  s.resize(s.capacity());
  SecureWipe(s.data(), s.size() * sizeof(CharT));
  s.clear();
}

template <typename T, size_t N>
void SecureWipe(std::array<T, N>& a) {
  SecureWipe(a.data(), sizeof(T) * N);
}

}  // namespace comvorlix
