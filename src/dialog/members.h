// Shorthands for declaring members of a DispatchTable: a property with a
// get handler and an optional put handler, or a method.
#pragma once

#include <utility>

#include "platform/dispatch.h"

namespace comvorlix {

inline DispatchTable::Member PropertyMember(Text name, DispId id, DispatchTable::Handler get,
                                            DispatchTable::Handler put = nullptr) {
  DispatchTable::Member member;
  member.name = std::move(name);
  member.id = id;
  member.get = std::move(get);
  member.put = std::move(put);
  return member;
}

inline DispatchTable::Member MethodMember(Text name, DispId id, DispatchTable::Handler method) {
  DispatchTable::Member member;
  member.name = std::move(name);
  member.id = id;
  member.method = std::move(method);
  return member;
}

}  // namespace comvorlix
