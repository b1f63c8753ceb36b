#include "check/check_run.h"

#include <cmath>
#include <new>
#include <string>

#include "check/output_adaptation.h"
#include "component/check_state.h"
#include "component/vorlix_com.h"
#include "crc/crc.h"
#include "dialog/config_form.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"
#include "params/secret_field.h"
#include "automation/debug_output.h"
#include "automation/message_queue.h"

namespace comvorlix {
namespace {

using Property = VorlixCom::Property;

int16_t ToInt16Checked(double v) { return Variant::Double(v).ToInt16(); }

Text Key(VorlixCom& object, const char16_t* key) {
  return GetKeyValue(object.Get(Property::kParameter).ToText(), key);
}

// Replaces the whole parameter string with one that holds `crc` as @@CRC.
void RememberChecksum(VorlixCom& object, const Text& crc) {
  object.Put(Property::kParameter,
             Variant::FromText(SetKeyValue(object.Get(Property::kParameter).ToText(), u"@@CRC", crc)));
}

void WaitForSessionEnd(CheckState& s) {
  // Test first: a session that failed to start has already set gDone.
  ThreadMessageQueue& queue = CurrentThreadQueue();
  while (s.gDone == kVariantFalse) {
    queue.WaitForMessage();
    queue.ProcessPendingMessages();
  }
}

}  // namespace

VariantBool RunCheck(VorlixCom& object) {
  CheckState& s = ThreadCheckState();
  VariantBool result = kVariantFalse;
  Text text;
  int step = 10;
  try {
    step = 20;
    s.gTimeout = object.Get(Property::kTimeout).ToInt16();
    step = 30;
    s.gHostname = object.Get(Property::kHostname).ToText();
    step = 40;
    s.gUsername = Key(object, u"USR");
    step = 50;
    s.gPassword = DecodeSecretField(Key(object, u"PWD"), true);
    step = 60;
    s.gProtocol = Key(object, u"PROTO");
    step = 70;
    s.gPort = ToInt16Checked(LeadingNumber(Key(object, u"PORT")));
    step = 80;
    s.gKeyFile = Key(object, u"KEYF");
    step = 90;
    s.gKeyType = Key(object, u"KEYT");
    step = 100;
    s.gEnablePassword = DecodeSecretField(Key(object, u"EPW"), true);
    step = 110;
    s.gDevice = Key(object, u"DEV");
    step = 120;
    s.gConfiguration = Key(object, u"CFG");
    step = 130;
    s.gDebug = Key(object, u"DBG") == u"T" ? kVariantTrue : kVariantFalse;
    step = 140;
    s.gDebugFile = TrimBlanks(Key(object, u"DBF"));
    step = 150;
    const Text stored = Key(object, u"@@CRC");
    step = 160;
    DecodeSecretField(Key(object, u"CMD"), true);  // checked for validity, not used
    for (const char16_t* unused : {u"CCO", u"CON", u"RRE"}) {
      step += 10;
      Key(object, unused);
    }

    step = 200;
    if (s.gUsername.empty()) {
      object.Put(Property::kResult, Variant::FromText(u"ERR: can't connect to an SSH server without a USERNAME"));
      return kVariantFalse;
    }
    step = 250;
    if (s.gKeyFile.empty() && s.gPassword.empty()) {
      object.Put(Property::kResult, Variant::FromText(u"ERR: can't connect to an SSH server without a PASSWORD"));
      return kVariantFalse;
    }

    step = 300;
    s.gReceived.clear();
    s.gReceivedRunning.clear();
    s.gSessionOutput.clear();
    s.gSessionFault.clear();
    step = 320;
    CallByName(object.form(), u"Get_mount_list", InvokeKind::kMethod, {Variant::FromText(Text())});
    step = 330;
    WaitForSessionEnd(s);

    step = 360;
    OutputDebugLine("check done");
    step = 370;
    if (!s.gErrorText.empty()) {
      step = 790;
      result = kVariantFalse;
      text = s.gErrorText;
    } else if (s.gConfiguration != u"COMPARE") {
      step = 390;
      OutputDebugLine(u"Received data : " + FromUtf8(std::to_string(s.gReceived.size())) + u" bytes");
      step = 400;
      OutputDebugLine(u"Received data : " + s.gReceived);
      step = 410;
      AdaptOutput(s.gHostname);
      step = 420;
      const Text crc = CrcOfText(s.gReceived);
      step = 430;
      OutputDebugLine(u"CRC on data   : " + crc);
      step = 440;
      if (!stored.empty()) {
        step = 450;
        if (crc == stored) {
          text = u"configuration unchanged (" + crc + u")";
          result = kVariantTrue;
        } else {
          step = 490;
          if (Key(object, u"UCF") == u"T") {
            step = 500;
            RememberChecksum(object, crc);
          }
          step = 520;
          text = u"Configuration changed (" + crc + u" - old:" + stored + u")";
          result = kVariantFalse;
        }
      } else {
        step = 560;
        RememberChecksum(object, crc);
        step = 570;
        text = u"Setting initial CRC (" + crc + u")";
        result = kVariantTrue;
      }
    } else {
      step = 620;
      OutputDebugLine(u"Received ST data : " + s.gReceived + Text(46, u'#'));
      step = 640;
      OutputDebugLine(u"Received RN data : " + s.gReceivedRunning);
      step = 650;
      AdaptOutput(s.gHostname);
      step = 660;
      const Text startup_crc = CrcOfText(s.gReceived);
      step = 670;
      OutputDebugLine(u"CRC on ST data   : " + startup_crc);
      step = 680;
      const Text running_crc = CrcOfText(s.gReceivedRunning);
      step = 690;
      OutputDebugLine(u"CRC on RN data   : " + running_crc);
      step = 700;
      if (running_crc == startup_crc) {
        text = u"Running and startup configuration are the same";
        result = kVariantTrue;
      } else {
        step = 740;
        text = u"Running and startup configuration are different";
        result = kVariantFalse;
      }
    }
    step = 820;
    object.Put(Property::kResult, Variant::FromText(text));
    return result;
  } catch (const AutomationError& e) {
    object.Put(Property::kResult,
               Variant::FromText(u"ERR: " + FromUtf8(e.description()) + u"(" + FromUtf8(std::to_string(step)) + u")"));
  } catch (const std::bad_alloc&) {
    object.Put(Property::kResult, Variant::FromText(u"ERR: Out of memory(" + FromUtf8(std::to_string(step)) + u")"));
  }
  return kVariantFalse;
}

}  // namespace comvorlix
