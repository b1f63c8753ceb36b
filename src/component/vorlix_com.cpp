#include "component/vorlix_com.h"

#include <atomic>
#include <new>
#include <string>
#include <system_error>

#include "check/check_run.h"
#include "dialog/config_form.h"
#include "dialog/show_dialog.h"
#include "check/step.h"
#include "devices/device_table.h"

namespace comvorlix {
namespace {

std::atomic<long> g_live_objects{0};

std::string UnexpectedFailureText(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return "Out of memory";
  if (dynamic_cast<const std::system_error*>(&e) != nullptr) {
    return std::string("cannot get a system resource: ") + e.what();
  }
  return e.what();
}

}  // namespace

VorlixCom::VorlixCom() : form_(std::make_shared<ConfigForm>()) {
  ++g_live_objects;
  // The kinds of switch are read when the first object is made, not in the
  // middle of a check: parts of the kind-file parser are noexcept, so a
  // failed allocation there would end the host instead of failing a step.
  Kinds();

  using Args = std::vector<Variant>;
  members_.Add(MethodMember(u"qo_docheck", kDispQoDocheck, [this](Args&) { return Variant::Boolean(qo_docheck() != 0); }));
  members_.Add(MethodMember(u"qo_showGUI", kDispQoShowGui, [this](Args&) {
    qo_showGUI();
    return Variant();
  }));
  struct Prop {
    const char16_t* name;
    DispId id;
    Property p;
  };
  for (Prop prop : {Prop{u"qo_result", kDispQoResult, Property::kResult},
                    Prop{u"qo_parameter", kDispQoParameter, Property::kParameter},
                    Prop{u"qo_timeout", kDispQoTimeout, Property::kTimeout},
                    Prop{u"qo_hostname", kDispQoHostname, Property::kHostname}}) {
    Property p = prop.p;
    DispatchTable::Member m = PropertyMember(
        prop.name, prop.id, [this, p](Args&) { return Get(p); },
        [this, p](Args& a) {
          Put(p, a.at(0));
          return Variant();
        });
    m.put_ref = [this, p](Args& a) {
      PutRef(p, a.at(0));
      return Variant();
    };
    members_.Add(std::move(m));
  }
  members_.Add(MethodMember(u"SetResource", kDispSetResource, [this](Args& a) {
    if (a.size() != 1) throw AutomationError(Status::kBadParamCount, "SetResource takes one argument");
    SetResource(a[0].ToText());
    return Variant();
  }));
}

VorlixCom::~VorlixCom() {
  form_.reset();
  --g_live_objects;
}

long VorlixCom::LiveObjects() { return g_live_objects.load(); }

void VorlixCom::PutRef(Property p, Variant value) {
  if (!value.is_object()) throw AutomationError(Status::kTypeMismatch, "Object required");
  Put(p, std::move(value));
}

VariantBool VorlixCom::qo_docheck() {
  Verdict verdict;
  Text parameter;
  // The step a failure that no step caught is reported at: the last one
  // begun here, or 320 once the check runs (its own steps convert their
  // errors; what escapes them comes from setting up the session).
  Step step = Step::kTimeout;
  try {
    try {
      const int16_t timeout = AtStep(Step::kTimeout, [&] { return Get(Property::kTimeout).ToInt16(); });
      step = Step::kHost;
      const std::string host = AtStep(Step::kHost, [&] { return ToUtf8(Get(Property::kHostname).ToText()); });
      // The parameter string is first read as text with its first key.
      step = Step::kUser;
      parameter = AtStep(Step::kUser, [&] { return Get(Property::kParameter).ToText(); });
      step = Step::kSessionStart;
      verdict = RunCheck(host, timeout, ToUtf8(parameter), CheckOptions{});
    } catch (const CheckStepError& e) {
      verdict = FailedVerdict(e.HostLine());
    } catch (const std::exception& e) {
      verdict = FailedVerdict(CheckStepError(step, UnexpectedFailureText(e)).HostLine());
    } catch (...) {
      verdict = FailedVerdict(CheckStepError(step, "unknown error").HostLine());
    }
    // Only a checksum to remember replaces the host's value.
    if (verdict.checksum_to_remember) {
      Put(Property::kParameter, Variant::FromText(FromUtf8(ApplyVerdict(ToUtf8(parameter), verdict))));
    }
    Put(Property::kResult, Variant::FromText(FromUtf8(verdict.text)));
    return verdict.ok ? kVariantTrue : kVariantFalse;
  } catch (...) {
    // Not even the verdict could be stored (memory is gone): the host still
    // gets False, and a text when one fits.
    try {
      Put(Property::kResult, Variant::FromText(FromUtf8(CheckStepError(step, "Out of memory").HostLine())));
    } catch (...) {
    }
    return kVariantFalse;
  }
}

void VorlixCom::qo_showGUI() {
  try {
    std::optional<Variant> built = ShowConfigurationDialog(*form_, Get(Property::kHostname),
                                                           Get(Property::kTimeout), Get(Property::kParameter));
    if (built) Put(Property::kParameter, std::move(*built));
  } catch (const AutomationError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw AutomationError(Status::kOutOfMemory, "Out of memory");
  } catch (const std::exception& e) {
    throw AutomationError(Status::kFail, UnexpectedFailureText(e));
  }
}

void VorlixCom::SetResource(const Text& s) {
  Variant resource = CallByName(*form_, u"txtResource", InvokeKind::kPropertyGet);
  CallByName(*resource.ToObject(), u"Text", InvokeKind::kPropertyPut, {Variant::FromText(s)});
}

std::optional<DispId> VorlixCom::GetIdOfName(TextView name) const { return members_.IdOf(name); }

Status VorlixCom::Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                         ErrorInfo* error) {
  // The host is not C++: nothing may be thrown to it.
  try {
    try {
      return members_.Invoke(id, kind, args, result, error);
    } catch (const std::exception& e) {
      const Status status = dynamic_cast<const std::bad_alloc*>(&e) ? Status::kOutOfMemory : Status::kFail;
      if (error != nullptr) error->description = UnexpectedFailureText(e);
      return status;
    }
  } catch (...) {
    // Not a standard exception, or even its description could not be had.
    if (error != nullptr) error->description.clear();
    return Status::kFail;
  }
}

}  // namespace comvorlix
