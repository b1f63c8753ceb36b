// vorlixCom: the public class a monitoring host creates.
//
// It owns four variant properties (qo_hostname, qo_timeout, qo_parameter,
// qo_result) and one form instance for its whole life, and adapts its two
// working methods: qo_docheck converts the properties (step 20: the time-out
// to a 16-bit whole number, rounded half to even, "Overflow: ..." when it
// does not fit; step 30: the host name to text), runs the check
// (check/check_run.h), puts the verdict's text into qo_result and, when the
// check remembers a checksum, the new string into qo_parameter; qo_showGUI
// shows the configuration dialog. A check keeps nothing in the object.
//
// Late-bound members and dispatch ids:
//   qo_docheck   method                          0x60030004
//   qo_showGUI   method                          0x60030005
//   qo_result    put, put by reference, get      0x68030003
//   qo_parameter put, put by reference, get      0x68030002
//   qo_timeout   put, put by reference, get      0x68030001
//   qo_hostname  put, put by reference, get      0x68030000
//   SetResource  method (s: text)                0x60030008
//
// Threads: an object is used on the thread that created it. A second check
// must not start on that thread before the first has returned.
// Errors: qo_docheck never fails towards the host: every failure becomes
// False and "ERR: description(step)" in qo_result, also a failure outside
// any step of the check (a lack of memory, "cannot get a system resource:
// ..." for a thread or descriptor the system refused, reported at the step
// the adapter last began: 20, 30, 40, or 320 once the check runs).
// qo_showGUI reports its failures as AutomationError (kOutOfMemory "Out of
// memory", kFail for any other failure). Invoke never throws: whatever a
// member raises becomes its status and description.
#pragma once

#include <array>
#include <memory>

#include "automation/dispatch.h"

namespace comvorlix {

class ConfigForm;

constexpr DispId kDispQoDocheck = 0x60030004;
constexpr DispId kDispQoShowGui = 0x60030005;
constexpr DispId kDispQoResult = 0x68030003;
constexpr DispId kDispQoParameter = 0x68030002;
constexpr DispId kDispQoTimeout = 0x68030001;
constexpr DispId kDispQoHostname = 0x68030000;
constexpr DispId kDispSetResource = 0x60030008;

// The identifier under which the class is registered.
inline constexpr char16_t kVorlixComProgId[] = u"comvorlix.vorlixCom";

class VorlixCom : public Dispatch {
 public:
  enum class Property { kHostname, kTimeout, kParameter, kResult };

  VorlixCom();
  ~VorlixCom() override;
  VorlixCom(const VorlixCom&) = delete;
  VorlixCom& operator=(const VorlixCom&) = delete;

  // Property get: an object reference is returned as that reference,
  // anything else as a copy.
  const Variant& Get(Property p) const { return properties_[static_cast<size_t>(p)]; }
  // Property put: stores a copy.
  void Put(Property p, Variant value) { properties_[static_cast<size_t>(p)] = std::move(value); }
  // Property put by reference: stores an object reference; anything else
  // raises kTypeMismatch ("Object required").
  void PutRef(Property p, Variant value);

  // Runs one check; returns True (-1) or False (0). While the session runs
  // it processes the thread's messages.
  VariantBool qo_docheck();
  // Shows the configuration dialog; on OK qo_parameter receives the new
  // string, on cancel it keeps the host's string. Throws AutomationError.
  void qo_showGUI();
  // Stores `s` as the text of the form's txtResource value.
  void SetResource(const Text& s);

  ConfigForm& form() { return *form_; }

  std::optional<DispId> GetIdOfName(TextView name) const override;
  Status Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                ErrorInfo* error) override;

  // Number of live objects of this class in the process.
  static long LiveObjects();

 private:
  std::array<Variant, 4> properties_;
  std::shared_ptr<ConfigForm> form_;
  DispatchTable members_;
};

}  // namespace comvorlix
