// The dialog the dialog tests run: a control of every kind, and a controller that writes down
// what the dialog did (its counters are read by the user's thread on Windows).
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialog.h"

namespace qb::suite {

enum TestControl : int {
  kTabs = 100,
  kPage,
  kPageLabel,
  kNameLabel,
  kValue,
  kOne,
  kTwo,
  kCombo,
  kDays,
  kDaysUpDown,
  kStatus,
  kGroup,
  kInside,
  kNested,
  kOk,
  kCancel,
  kMemo,
  kPrevious,
  kSpare,   // disabled at first
  kHidden,  // hidden at first
};

namespace test_dialog {

using platform::ControlKind;
namespace cs = platform::cs;
namespace dlgresult = platform::dlgresult;

// The layouts name only the fields a control needs.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
// clang-format off
inline constexpr platform::ControlLayout kControls[] = {
    {.id = kTabs, .kind = ControlKind::kTabs, .x = 8, .y = 100, .width = 150, .height = 90,
     .text = u"Page"},
    {.id = kPage, .kind = ControlKind::kTabPage, .parent = kTabs},
    {.id = kPageLabel, .kind = ControlKind::kLabel, .parent = kPage, .x = 4, .y = 4,
     .text = u"On the page"},
    {.id = kNameLabel, .kind = ControlKind::kLabel, .x = 8, .y = 8, .textId = 1,
     .style = cs::kBold},
    {.id = kValue, .kind = ControlKind::kEdit, .x = 80, .y = 6, .width = 150, .height = 19},
    {.id = kOne, .kind = ControlKind::kRadio, .x = 8, .y = 32, .width = 80, .height = 17,
     .text = u"One", .style = cs::kGroupStart | cs::kChecked},
    {.id = kTwo, .kind = ControlKind::kRadio, .x = 8, .y = 50, .width = 80, .height = 17,
     .text = u"Two"},
    {.id = kCombo, .kind = ControlKind::kComboList, .x = 100, .y = 32, .width = 120,
     .height = 21, .style = cs::kFocus},
    {.id = kDays, .kind = ControlKind::kNumberEdit, .x = 100, .y = 60, .width = 30, .height = 19},
    {.id = kDaysUpDown, .kind = ControlKind::kUpDown, .x = 130, .y = 60, .width = 16,
     .height = 19, .min = 0, .max = 100, .value = 7},
    {.id = kStatus, .kind = ControlKind::kIcon, .x = 240, .y = 8},
    {.id = kGroup, .kind = ControlKind::kGroupBox, .x = 170, .y = 100, .width = 140,
     .height = 90, .text = u"Group"},
    {.id = kInside, .kind = ControlKind::kLabel, .parent = kGroup, .x = 10, .y = 20,
     .text = u"Inside"},
    {.id = kNested, .kind = ControlKind::kButton, .x = 8, .y = 205, .width = 75, .height = 25,
     .text = u"Nested"},
    {.id = kOk, .kind = ControlKind::kButton, .x = 150, .y = 205, .width = 75, .height = 25,
     .text = u"OK", .style = cs::kDefault, .modalResult = dlgresult::kOk},
    {.id = kCancel, .kind = ControlKind::kButton, .x = 235, .y = 205, .width = 75, .height = 25,
     .text = u"Cancel", .style = cs::kCancel, .modalResult = dlgresult::kCancel},
    {.id = kMemo, .kind = ControlKind::kMemo, .x = 230, .y = 30, .width = 80, .height = 60,
     .text = u"Line 1\r\nLine 2", .style = cs::kFixedFont},
    {.id = kPrevious, .kind = ControlKind::kImageButton, .x = 95, .y = 205, .width = 40,
     .height = 25, .text = u"Previous record", .image = u"ARROWUP", .imageWidth = 9,
     .imageHeight = 11},
    {.id = kSpare, .kind = ControlKind::kButton, .x = 240, .y = 240, .width = 70, .height = 25,
     .text = u"Spare", .style = cs::kDisabled},
    {.id = kHidden, .kind = ControlKind::kButton, .x = 160, .y = 240, .width = 70, .height = 25,
     .text = u"Hidden", .style = cs::kHidden},
};
// Nothing to click or focus: Esc alone ends it.
inline constexpr platform::ControlLayout kNestedControls[] = {
    {.id = 100, .kind = ControlKind::kLabel, .x = 8, .y = 8, .text = u"Nested"},
};
// clang-format on
#pragma GCC diagnostic pop
inline constexpr const char16_t* kImages[] = {u"INFORMATION", u"ERROR"};

}  // namespace test_dialog

inline platform::DialogLayout TestDialog(bool keyPreview = false) {
  return platform::DialogLayout{.name = u"Test",
                                .clientWidth = 320,
                                .clientHeight = 272,
                                .captionId = 2,
                                .keyPreview = keyPreview,
                                .controls = test_dialog::kControls,
                                .imageList = test_dialog::kImages};
}

inline platform::DialogLayout NestedDialog() {
  return platform::DialogLayout{.name = u"Nested",
                                .clientWidth = 200,
                                .clientHeight = 80,
                                .controls = test_dialog::kNestedControls,
                                .imageList = {}};
}

// The language texts of the dialogs' textIds.
inline std::u16string TestTexts(std::uint16_t id) {
  return id == 1 ? u"&Name:" : id == 2 ? u"Test dialog" : u"?";
}

// Writes down what the dialog did; the handlers given run where the dialog calls them.
struct Recorder final : platform::IDialogController {
  std::function<void(platform::IDialogView&)> create;
  std::function<void(platform::IDialogView&)> activate;
  std::function<void(platform::IDialogView&, int)> click;
  std::function<bool(platform::IDialogView&, std::uint32_t)> key;
  std::vector<std::string> events;
  std::vector<int> clicks;
  std::vector<std::uint32_t> keys;
  std::atomic<int> activations{0}, clickCount{0}, keyCount{0};

  void OnCreate(platform::IDialogView& view) override {
    events.push_back("create");
    if (create) create(view);
  }
  void OnActivate(platform::IDialogView& view) override {
    events.push_back("activate");
    if (activate) activate(view);
    ++activations;
  }
  void OnClick(platform::IDialogView& view, int id) override {
    clicks.push_back(id);
    // Counted first: a handler may throw or run a dialog of its own.
    ++clickCount;
    if (click) click(view, id);
  }
  bool OnKeyDown(platform::IDialogView& view, std::uint32_t k) override {
    keys.push_back(k);
    ++keyCount;
    return key && key(view, k);
  }
};

}  // namespace qb::suite
