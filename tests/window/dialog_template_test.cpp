#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/texts.h"
#include "window/control_ids.h"
#include "window/dialog_template.h"

namespace korvel::test {
namespace {

using window::ControlKind;
using window::ControlTemplate;
using window::DialogTemplate;
namespace style = window::style;

bool overlap(const window::UnitRect& a, const window::UnitRect& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

std::vector<const DialogTemplate*> allDialogs() {
  return {&window::mainWindowTemplate(), &window::aboutBoxTemplate(),
          &window::helpWindowTemplate()};
}

TEST(DialogTemplates, EveryControlHasItsOwnNumberAndNameAndLiesInsideItsDialog) {
  for (const DialogTemplate* dialog : allDialogs()) {
    SCOPED_TRACE(dialog->title);
    std::set<int> ids;
    std::set<std::string> names;
    for (const ControlTemplate& control : dialog->controls) {
      SCOPED_TRACE(control.name);
      EXPECT_TRUE(names.insert(control.name).second) << "name used twice";
      if (control.id != control::kLabel) {
        EXPECT_TRUE(ids.insert(control.id).second) << "number used twice";
      }
      EXPECT_GT(control.rect.width, 0);
      EXPECT_GT(control.rect.height, 0);
      EXPECT_GE(control.rect.x, 0);
      EXPECT_GE(control.rect.y, 0);
      EXPECT_LE(control.rect.right(), dialog->width);
      EXPECT_LE(control.rect.bottom(), dialog->height);
    }
  }
}

TEST(DialogTemplates, NoTwoControlsCoverEachOther) {
  for (const DialogTemplate* dialog : allDialogs()) {
    for (std::size_t i = 0; i < dialog->controls.size(); ++i) {
      for (std::size_t j = i + 1; j < dialog->controls.size(); ++j) {
        EXPECT_FALSE(overlap(dialog->controls[i].rect, dialog->controls[j].rect))
            << dialog->controls[i].name << " and " << dialog->controls[j].name;
      }
    }
  }
}

TEST(DialogTemplates, EachDialogHasOneDefaultButtonAndLabelsTakeNoFocus) {
  for (const DialogTemplate* dialog : allDialogs()) {
    int defaults = 0;
    for (const ControlTemplate& control : dialog->controls) {
      SCOPED_TRACE(control.name);
      if (control.styles & style::kDefaultButton) {
        ++defaults;
        EXPECT_EQ(control.kind, ControlKind::PushButton);
      }
      if (control.kind == ControlKind::Label || control.kind == ControlKind::Icon ||
          control.kind == ControlKind::ProgressBar) {
        EXPECT_FALSE(control.styles & style::kTabStop);
      }
      if (control.kind == ControlKind::PushButton || control.kind == ControlKind::CheckBox) {
        ASSERT_NE(control.text, nullptr);
        EXPECT_NE(std::string(control.text), "");
      }
    }
    EXPECT_EQ(defaults, dialog->controls.empty() ? 0 : 1) << dialog->title;
  }
}

TEST(MainWindowTemplate, TabWalksFromExitThroughTheInputsAndTheTwoBoxes) {
  const DialogTemplate& main = window::mainWindowTemplate();
  std::vector<int> tabStops;
  for (const ControlTemplate& control : main.controls) {
    if (control.styles & style::kTabStop) tabStops.push_back(control.id);
  }
  const std::vector<int> expected{control::kExit,     control::kIpField, control::kProgram,
                                  control::kPath,     control::kBrowse,  control::kInfo,
                                  control::kInfoBox,  control::kHelp,    control::kLogin,
                                  control::kPassword, control::kViaBoot};
  EXPECT_EQ(tabStops, expected);
  // Exit comes first, so that it holds the focus when the window opens.
  EXPECT_EQ(main.controls.front().id, control::kExit);
  EXPECT_TRUE(main.controls.front().styles & style::kDefaultButton);
}

TEST(MainWindowTemplate, EveryControlOfThePanelIsThereOnceWithItsKindAndLabel) {
  const DialogTemplate& main = window::mainWindowTemplate();
  EXPECT_STREQ(main.title, text::kAppName);
  EXPECT_EQ(main.pointSize, 8);
  const struct {
    int id;
    ControlKind kind;
    const char* text;
  } expected[] = {
      {control::kExit, ControlKind::PushButton, text::kExitButton},
      {control::kProgram, ControlKind::PushButton, text::kProgramButton},
      {control::kIpField, ControlKind::IpAddress, nullptr},
      {control::kProgress, ControlKind::ProgressBar, nullptr},
      {control::kPath, ControlKind::Edit, nullptr},
      {control::kBrowse, ControlKind::PushButton, text::kBrowseButton},
      {control::kInfo, ControlKind::PushButton, text::kInfoButton},
      {control::kInfoBox, ControlKind::Edit, nullptr},
      {control::kHelp, ControlKind::PushButton, text::kHelpButton},
      {control::kSummary, ControlKind::Label, text::kSummaryTemplate},
      {control::kLogin, ControlKind::Edit, nullptr},
      {control::kPassword, ControlKind::Edit, nullptr},
      {control::kViaBoot, ControlKind::CheckBox, text::kViaBootBox},
  };
  EXPECT_EQ(main.controls.size(), std::size(expected) + 2);  // and the two labels
  for (const auto& want : expected) {
    const ControlTemplate* control = main.findById(want.id);
    ASSERT_NE(control, nullptr) << want.id;
    EXPECT_EQ(control->kind, want.kind) << control->name;
    if (want.text != nullptr) {
      EXPECT_STREQ(control->text, want.text);
    }
  }
  EXPECT_TRUE(main.findById(control::kPassword)->styles & style::kPassword);
  const unsigned infoBox = main.findById(control::kInfoBox)->styles;
  EXPECT_TRUE(infoBox & style::kMultiLine);
  EXPECT_TRUE(infoBox & style::kReadOnly);
  EXPECT_TRUE(infoBox & style::kWrapsLines);
  EXPECT_FALSE(infoBox & style::kScrollsSideways);
}

TEST(MainWindowTemplate, EachLabelSitsLeftOfTheFieldItNames) {
  const DialogTemplate& main = window::mainWindowTemplate();
  const auto sitsLeftOf = [](const ControlTemplate* label, const ControlTemplate* field) {
    return label->rect.right() <= field->rect.x && label->rect.y == field->rect.y;
  };
  EXPECT_TRUE(sitsLeftOf(main.find("ipLabel"), main.find("ipField")));
  EXPECT_TRUE(sitsLeftOf(main.find("credentialsLabel"), main.find("loginField")));
  EXPECT_TRUE(sitsLeftOf(main.find("loginField"), main.find("passwordField")));
}

TEST(DialogTemplates, LookUpByNameAndNumber) {
  const DialogTemplate& main = window::mainWindowTemplate();
  EXPECT_EQ(main.find("helpButton"), main.findById(control::kHelp));
  EXPECT_EQ(main.find("noSuchControl"), nullptr);
  EXPECT_EQ(main.findById(4242), nullptr);
}

}  // namespace
}  // namespace korvel::test
