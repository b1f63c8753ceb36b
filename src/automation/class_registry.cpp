#include "automation/class_registry.h"

#include <list>
#include <mutex>

namespace comvorlix {
namespace {

struct Entry {
  Text progid;
  ClassFactory factory;
};

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}

// A list keeps the addresses of factories stable while others are added.
std::list<Entry>& Registry() {
  static std::list<Entry> entries;
  return entries;
}

}  // namespace

void RegisterClassFactory(TextView progid, ClassFactory factory) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (Entry& e : Registry()) {
    if (SameMemberName(e.progid, progid)) {
      e.factory = std::move(factory);
      return;
    }
  }
  Registry().push_back(Entry{Text(progid), std::move(factory)});
}

bool UnregisterClassFactory(TextView progid) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  return std::erase_if(Registry(), [&](const Entry& e) { return SameMemberName(e.progid, progid); }) > 0;
}

const ClassFactory* FindClassFactory(TextView progid) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (const Entry& e : Registry()) {
    if (SameMemberName(e.progid, progid)) return &e.factory;
  }
  return nullptr;
}

std::shared_ptr<Dispatch> CreateObject(TextView progid) {
  const ClassFactory* factory = FindClassFactory(progid);
  if (!factory) {
    throw AutomationError(Status::kClassNotRegistered,
                          "cannot create object: " + ToUtf8(progid) + " is not registered");
  }
  return (*factory)();
}

}  // namespace comvorlix
