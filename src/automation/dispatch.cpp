#include "automation/dispatch.h"

#include <new>

namespace comvorlix {

bool SameMemberName(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::optional<DispId> DispatchTable::IdOf(TextView name) const {
  for (const Member& m : members_) {
    if (SameMemberName(m.name, name)) return m.id;
  }
  return std::nullopt;
}

Status DispatchTable::Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                             ErrorInfo* error) const {
  auto fail = [error](Status status, std::string description) {
    if (error) error->description = std::move(description);
    return status;
  };
  for (const Member& m : members_) {
    if (m.id != id) continue;
    const Handler* handler = nullptr;
    switch (kind) {
      case InvokeKind::kMethod:
        handler = &m.method;
        break;
      case InvokeKind::kPropertyGet:
        handler = m.get ? &m.get : &m.method;  // a method may be read like a property
        break;
      case InvokeKind::kPropertyPut:
        handler = &m.put;
        break;
      case InvokeKind::kPropertyPutRef:
        handler = &m.put_ref;
        break;
    }
    if (!handler || !*handler) {
      return fail(Status::kMemberNotFound, "Member not found: " + ToUtf8(m.name) + " does not support this call");
    }
    if ((kind == InvokeKind::kPropertyPut || kind == InvokeKind::kPropertyPutRef) && args.size() != 1) {
      return fail(Status::kBadParamCount, "Wrong number of arguments for " + ToUtf8(m.name));
    }
    try {
      Variant value = (*handler)(args);
      if (result) *result = std::move(value);
      return Status::kOk;
    } catch (const AutomationError& e) {
      return fail(e.status(), e.description());
    } catch (const std::bad_alloc&) {
      return fail(Status::kOutOfMemory, "Out of memory");
    }
  }
  return fail(Status::kMemberNotFound, "Member not found");
}

Variant CallByName(Dispatch& object, TextView name, InvokeKind kind, std::vector<Variant> args) {
  std::optional<DispId> id = object.GetIdOfName(name);
  if (!id) {
    throw AutomationError(Status::kUnknownName,
                          "Object doesn't support this property or method: " + ToUtf8(name));
  }
  Variant result;
  ErrorInfo error;
  Status status = object.Invoke(*id, kind, args, &result, &error);
  if (status != Status::kOk) throw AutomationError(status, error.description);
  return result;
}

}  // namespace comvorlix
