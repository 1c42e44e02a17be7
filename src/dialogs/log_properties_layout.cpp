// The log properties' window: 550 x 360 pixels at 96 DPI, the focusable controls in tab order.
#include "dialogs/log_properties.h"

// The layouts name only the fields a control needs; every other field has its default.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace qb {
namespace {

using K = platform::ControlKind;
using namespace props;
namespace cs = platform::cs;

// The group box sits at the bottom of the top panel with margins of 12; the options' panel at
// the bottom of the group box's client area (2 pixels of border, below the caption).
// clang-format off
constexpr platform::ControlLayout kControls[] = {
    {.id = Panel1, .kind = K::kPanel, .width = 550, .height = 312, .name = u"Panel1"},
    {.id = cLogFileLabel, .kind = K::kLabel, .parent = Panel1, .x = 12, .y = 12, .textId = 39,
     .name = u"cLogFileLabel"},
    {.id = LogFileLabel, .kind = K::kEdit, .parent = Panel1, .x = 140, .y = 9, .width = 397,
     .height = 19, .name = u"LogFileLabel"},
    {.id = cSizeLabel, .kind = K::kLabel, .parent = Panel1, .x = 12, .y = 37, .textId = 40,
     .name = u"cSizeLabel"},
    {.id = SizeLabel, .kind = K::kLabel, .parent = Panel1, .x = 140, .y = 37, .name = u"SizeLabel"},
    {.id = cRecordLabel, .kind = K::kLabel, .parent = Panel1, .x = 12, .y = 62, .textId = 41,
     .name = u"cRecordLabel"},
    {.id = RecordLabel, .kind = K::kLabel, .parent = Panel1, .x = 140, .y = 62,
     .name = u"RecordLabel"},
    {.id = cOldestRecordLabel, .kind = K::kLabel, .parent = Panel1, .x = 12, .y = 87, .textId = 42,
     .name = u"cOldestRecordLabel"},
    {.id = OldestRecordLabel, .kind = K::kLabel, .parent = Panel1, .x = 140, .y = 87,
     .name = u"OldestRecordLabel"},
    {.id = cNewestRecordLabel, .kind = K::kLabel, .parent = Panel1, .x = 12, .y = 112, .textId = 43,
     .name = u"cNewestRecordLabel"},
    {.id = NewestRecordLabel, .kind = K::kLabel, .parent = Panel1, .x = 140, .y = 112,
     .name = u"NewestRecordLabel"},
    {.id = cGuestAccessLabel, .kind = K::kLabel, .parent = Panel1, .x = 12, .y = 137, .textId = 44,
     .name = u"cGuestAccessLabel"},
    {.id = GuestAccessLabel, .kind = K::kLabel, .parent = Panel1, .x = 140, .y = 137,
     .name = u"GuestAccessLabel"},
    {.id = GroupBox1, .kind = K::kGroupBox, .parent = Panel1, .x = 12, .y = 164, .width = 526,
     .height = 136, .textId = 53, .name = u"GroupBox1"},
    {.id = cMaxSizeLabel, .kind = K::kLabel, .parent = GroupBox1, .x = 12, .y = 25, .textId = 54,
     .name = u"cMaxSizeLabel"},
    {.id = MaxSizeLabel, .kind = K::kLabel, .parent = GroupBox1, .x = 160, .y = 25,
     .name = u"MaxSizeLabel"},
    {.id = Label1, .kind = K::kLabel, .parent = GroupBox1, .x = 12, .y = 51, .textId = 55,
     .name = u"Label1"},
    {.id = Panel2, .kind = K::kPanel, .parent = GroupBox1, .x = 2, .y = 72, .width = 522,
     .height = 62, .name = u"Panel2"},
    {.id = RadioButton1, .kind = K::kRadio, .parent = Panel2, .x = 20, .width = 490, .height = 17,
     .textId = 56, .style = cs::kGroupStart, .name = u"RadioButton1"},
    {.id = RadioButton2, .kind = K::kRadio, .parent = Panel2, .x = 20, .y = 20, .width = 490,
     .height = 17, .textId = 57, .name = u"RadioButton2"},
    {.id = RadioButton3, .kind = K::kRadio, .parent = Panel2, .x = 20, .y = 40, .width = 490,
     .height = 17, .textId = 60, .name = u"RadioButton3"},
    {.id = DayEdt, .kind = K::kNumberEdit, .parent = GroupBox1, .x = 308, .y = 90, .width = 24,
     .height = 19, .name = u"DayEdt"},
    {.id = UpDown1, .kind = K::kUpDown, .parent = GroupBox1, .x = 332, .y = 90, .width = 16,
     .height = 19, .min = 0, .max = 100, .value = 7, .name = u"UpDown1"},
    {.id = DayLabel, .kind = K::kLabel, .parent = Panel2, .x = 360, .y = 21, .textId = 59,
     .name = u"DayLabel"},
    {.id = OKBtn, .kind = K::kButton, .x = 379, .y = 323, .width = 75, .height = 25, .textId = 12,
     .style = cs::kDefault | cs::kFocus, .modalResult = platform::dlgresult::kOk, .name = u"OKBtn"},
    {.id = CancelBtn, .kind = K::kButton, .x = 462, .y = 323, .width = 75, .height = 25,
     .textId = 13, .style = cs::kCancel, .modalResult = platform::dlgresult::kCancel,
     .name = u"CancelBtn"},
    {.id = Button1, .kind = K::kButton, .x = 13, .y = 323, .width = 170, .height = 25, .textId = 48,
     .name = u"Button1"},
    {.id = Button2, .kind = K::kButton, .x = 191, .y = 323, .width = 170, .height = 25,
     .textId = 50, .name = u"Button2"},
};
// clang-format on

}  // namespace

const platform::DialogLayout& LogPropertiesLayout() {
  static const platform::DialogLayout layout{
      .name = u"LogProperties", .clientWidth = 550, .clientHeight = 360, .controls = kControls};
  return layout;
}

}  // namespace qb
