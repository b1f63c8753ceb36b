// Choosing a front end: when a display counts as available, and what
// showing the dialog does when there is none.
#include "dialog/front_end.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "component/check_state.h"
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
constexpr char kNoDisplay[] = "no display available to show the configuration dialog";
#else
constexpr char kNoDisplay[] =
    "no display available to show the configuration dialog: built without a graphical front end";
#endif

// Runs in a fresh process (no Qt application may exist yet, and the
// environment is changed): prints what happened on standard error.
void ShowWithoutDisplay() {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  InstallDialogFrontEnd(nullptr);
  ThreadCheckState().gParameterOut = Variant::FromText(u"#USR=kept#");
  ConfigForm form;
  try {
    ShowConfigurationDialog(form, Variant::FromText(u"sw1"), Variant::Int16(30),
                            Variant::FromText(u"#USR=x#"));
    std::fprintf(stderr, "shown\n");
  } catch (const AutomationError& e) {
    std::fprintf(stderr, "status=%08X loaded=%d out=%s error=%s\n", static_cast<unsigned>(e.status()),
                 form.loaded() ? 1 : 0, ToUtf8(ThreadCheckState().gParameterOut.ToText()).c_str(),
                 e.description().c_str());
  }
  std::fflush(stderr);
  std::_Exit(0);
}

TEST(NoDisplayDeathTest, ShowingFailsBeforeTheFormIsTouched) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ShowWithoutDisplay(), ::testing::ExitedWithCode(0),
              std::string("status=800401F0 loaded=0 out=#USR=kept# error=") + kNoDisplay + "\n");
}

}  // namespace
}  // namespace comvorlix
