// Choosing a front end: when a display counts as available, what showing
// the dialog does when there is none, and how errors cross the front-end
// module's table.
#include "dialog/front_end.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "common/expect_error.h"
#include "dialog/dialog_module.h"
#include "dialog/module_front_end.h"
#include "dialog/show_dialog.h"

namespace comvorlix {
namespace {

bool Usable(const std::map<std::string, std::string>& env) {
  return DisplayEnvironmentUsable([&](const char* name) -> const char* {
    const auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  });
}

TEST(DisplayEnvironment, DisplayServerVariables) {
  EXPECT_FALSE(Usable({}));
  EXPECT_TRUE(Usable({{"DISPLAY", ":0"}}));
  EXPECT_TRUE(Usable({{"WAYLAND_DISPLAY", "wayland-0"}}));
  EXPECT_FALSE(Usable({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}));
}

TEST(DisplayEnvironment, PlatformChosenExplicitly) {
  EXPECT_TRUE(Usable({{"QT_QPA_PLATFORM", "offscreen"}}));
  EXPECT_TRUE(Usable({{"QT_QPA_PLATFORM", "offscreen:fontengine=freetype"}}));
  EXPECT_TRUE(Usable({{"QT_QPA_PLATFORM", "minimal"}}));
  EXPECT_FALSE(Usable({{"QT_QPA_PLATFORM", ""}}));
  EXPECT_FALSE(Usable({{"QT_QPA_PLATFORM", "xcb"}}));
  EXPECT_FALSE(Usable({{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}}));
  EXPECT_TRUE(Usable({{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":1"}}));
  EXPECT_FALSE(Usable({{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":1"}}));
  EXPECT_TRUE(Usable({{"QT_QPA_PLATFORM", "wayland-egl"}, {"WAYLAND_DISPLAY", "w"}}));
  EXPECT_TRUE(Usable({{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":1"}}));
  EXPECT_FALSE(Usable({{"QT_QPA_PLATFORM", "wayland;xcb"}}));
  EXPECT_TRUE(Usable({{"QT_QPA_PLATFORM", "xcb;offscreen"}}));
}

#ifdef COMVORLIX_HAVE_QT
const std::string kNoDisplay = "no display available to show the configuration dialog";
#else
const std::string kNoDisplay =
    "no display available to show the configuration dialog: the graphical front end module was not found "
    "(looked for " +
    DialogModulePath() + ")";
#endif

// Runs in a fresh process (no Qt application may exist yet, and the
// environment is changed): prints what happened on standard error.
void ShowWithoutDisplay() {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  InstallDialogFrontEnd(nullptr);
  ConfigForm form;
  try {
    ShowConfigurationDialog(form, Variant::FromText(u"sw1"), Variant::Int16(30),
                            Variant::FromText(u"#USR=x#"));
    std::fprintf(stderr, "shown\n");
  } catch (const AutomationError& e) {
    std::fprintf(stderr, "status=%08X loaded=%d out=%s error=%s\n", static_cast<unsigned>(e.status()),
                 form.loaded() ? 1 : 0, ToUtf8(form.built_parameter()).c_str(),
                 e.description().c_str());
  }
  std::fflush(stderr);
  std::_Exit(0);
}

TEST(NoDisplayDeathTest, ShowingFailsBeforeTheFormIsTouched) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ShowWithoutDisplay(), ::testing::ExitedWithCode(0),
              std::string("status=800401F0 loaded=0 out= error=") + kNoDisplay + "\n");
}

// A module whose window, when shown, presses OK with `values` and reports
// what the library answered; or fails by itself with `own_error`.
struct FakeWindow {
  std::vector<comvorlix_dialog_value> values;
  const char* own_error = nullptr;
  int32_t ok_answer = -1;
  std::string ok_error;
} fake;

int32_t FakeShow(const comvorlix_dialog_form*, comvorlix_dialog_ok_fn on_ok, void* context,
                 comvorlix_dialog_error* error) {
  if (fake.own_error != nullptr) {
    error->kind = COMVORLIX_DIALOG_ERROR_NO_DISPLAY;
    std::snprintf(error->text, sizeof error->text, "%s", fake.own_error);
    return COMVORLIX_DIALOG_SHOW_FAILED;
  }
  comvorlix_dialog_error ok_error{};
  fake.ok_answer = on_ok(context, fake.values.data(), fake.values.size(), &ok_error);
  fake.ok_error = ok_error.text;
  if (fake.ok_answer == COMVORLIX_DIALOG_OK_CLOSE) return COMVORLIX_DIALOG_SHOW_OK;
  *error = ok_error;
  return COMVORLIX_DIALOG_SHOW_FAILED;
}

const comvorlix_dialog_module kFakeTable = {COMVORLIX_DIALOG_ABI_VERSION, sizeof(comvorlix_dialog_module),
                                            [] { return int32_t{1}; }, [](const char*) { return int32_t{1}; },
                                            FakeShow};

comvorlix_dialog_value Value(const std::u16string& name, const std::u16string& text,
                             int32_t list_index = -1) {
  return {{reinterpret_cast<const uint16_t*>(name.data()), name.size()},
          {reinterpret_cast<const uint16_t*>(text.data()), text.size()},
          list_index,
          0};
}

class ModuleFrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = FakeWindow();
  }
  std::optional<Variant> Show() {
    return ShowConfigurationDialog(form, front_end, Variant::FromText(u"sw1"), Variant::Int16(30), Variant());
  }
  ConfigForm form;
  ModuleFrontEnd front_end{std::shared_ptr<const comvorlix_dialog_module>(&kFakeTable, [](const void*) {})};
};

TEST_F(ModuleFrontEndTest, ValuesAreWrittenBackInOrderThenOkFinishesTheForm) {
  // The text first, then the pick: the pick wins.
  const std::u16string user = u"op", device = u"typed", combo = u"cmbDevice", box = u"txtUsername";
  fake.values = {Value(box, user), Value(combo, device, 2)};
  const auto out = Show();
  EXPECT_EQ(fake.ok_answer, COMVORLIX_DIALOG_OK_CLOSE);
  ASSERT_TRUE(out.has_value());
  EXPECT_NE(ToUtf8(out->ToText()).find("#USR=op#"), std::string::npos);
  EXPECT_NE(ToUtf8(out->ToText()).find("#DEV=HP1920SW#"), std::string::npos);
  EXPECT_FALSE(form.loaded());
}

TEST_F(ModuleFrontEndTest, AFailureWhilePressingOkClosesAndReachesTheCallerUnchanged) {
  const std::u16string combo = u"cmbDevice", none = u"";
  fake.values = {Value(combo, none, 99)};
  testing::ExpectAutomationError([&] { Show(); }, Status::kInvalidArgument, "Invalid property value");
  EXPECT_EQ(fake.ok_answer, COMVORLIX_DIALOG_OK_FAILED);
  EXPECT_EQ(fake.ok_error, "Invalid property value");
  EXPECT_EQ(form.built_parameter(), u"");  // nothing was built
  EXPECT_FALSE(form.loaded());
}

TEST_F(ModuleFrontEndTest, TheModulesOwnFailureKeepsItsKindAndText) {
  fake.own_error =
      "no display available to show the configuration dialog: the process runs Qt without widgets";
  testing::ExpectAutomationError([&] { Show(); }, Status::kNoDisplay, fake.own_error);
}

}  // namespace
}  // namespace comvorlix
