// Late binding by member name: the dispatch interface of automation objects.
//
// An object maps member names (case-insensitive) to dispatch ids and invokes
// a member by id as a method, property get, property put or property put by
// reference. Invoke returns a status; on failure it fills `error` with a
// description. Objects are owned through std::shared_ptr; a Dispatch is used
// on the thread that created it.
//
// DispatchTable helps an object declare its members once: name, id and one
// handler per invoke kind. CallByName is the internal caller: it resolves
// the name, invokes, and throws AutomationError on any failure.
//
// automation/ is the late binding that only dialog/ and component/ see;
// the layers below them use base/ alone.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/variant.h"

namespace comvorlix {

using DispId = int32_t;

enum class InvokeKind { kMethod, kPropertyGet, kPropertyPut, kPropertyPutRef };

struct ErrorInfo {
  std::string description;  // UTF-8
};

class Dispatch {
 public:
  virtual ~Dispatch() = default;
  virtual std::optional<DispId> GetIdOfName(TextView name) const = 0;
  // `args` are in call order (not reversed). For puts, args[0] is the value.
  virtual Status Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                        ErrorInfo* error) = 0;
};

// Resolves `name` and invokes it; throws AutomationError (kUnknownName when
// the member does not exist, otherwise the member's own status).
Variant CallByName(Dispatch& object, TextView name, InvokeKind kind, std::vector<Variant> args = {});

// Member table for objects that implement Dispatch.
class DispatchTable {
 public:
  using Handler = std::function<Variant(std::vector<Variant>& args)>;

  struct Member {
    Text name;
    DispId id = 0;
    Handler method, get, put, put_ref;
  };

  void Add(Member m) { members_.push_back(std::move(m)); }
  std::optional<DispId> IdOf(TextView name) const;
  // Runs the handler; AutomationError and std::bad_alloc become statuses.
  Status Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                ErrorInfo* error) const;
  const std::vector<Member>& members() const { return members_; }

 private:
  std::vector<Member> members_;
};

// Compares two member names the way late binding does (ASCII case folded).
bool SameMemberName(TextView a, TextView b);

// Shorthands for declaring members of a DispatchTable: a property with a
// get handler and an optional put handler, or a method.
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
