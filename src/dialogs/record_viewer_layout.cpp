// The record viewer's window: 490 x 468 pixels at 96 DPI, the controls in tab order.
#include "dialogs/record_viewer.h"

// The layouts name only the fields a control needs; every other field has its default.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace qb {
namespace {

using K = platform::ControlKind;
using namespace viewer;
namespace cs = platform::cs;

// clang-format off
constexpr platform::ControlLayout kControls[] = {
    {.id = pcEvent, .kind = K::kTabs, .x = 8, .y = 8, .width = 474, .height = 419, .textId = 15,
     .name = u"pcEvent"},
    {.id = tsEvent, .kind = K::kTabPage, .parent = pcEvent, .name = u"tsEvent"},
    {.id = StatusImage, .kind = K::kIcon, .parent = tsEvent, .x = 8, .y = 8, .width = 16,
     .height = 16, .name = u"StatusImage"},
    {.id = lblType, .kind = K::kLabel, .parent = tsEvent, .x = 30, .y = 10, .textId = 26,
     .name = u"lblType"},
    {.id = lblTypeVal, .kind = K::kLabel, .parent = tsEvent, .x = 64, .y = 10, .style = cs::kBold,
     .name = u"lblTypeVal"},
    {.id = lblDate, .kind = K::kLabel, .parent = tsEvent, .x = 8, .y = 38, .textId = 19,
     .name = u"lblDate"},
    {.id = lblDateVal, .kind = K::kLabel, .parent = tsEvent, .x = 48, .y = 38,
     .name = u"lblDateVal"},
    {.id = lblTime, .kind = K::kLabel, .parent = tsEvent, .x = 8, .y = 66, .textId = 20,
     .name = u"lblTime"},
    {.id = lblTimeVal, .kind = K::kLabel, .parent = tsEvent, .x = 48, .y = 66,
     .name = u"lblTimeVal"},
    {.id = lblUser, .kind = K::kLabel, .parent = tsEvent, .x = 8, .y = 94, .textId = 28,
     .name = u"lblUser"},
    {.id = lblUserVal, .kind = K::kLabel, .parent = tsEvent, .x = 94, .y = 94,
     .name = u"lblUserVal"},
    {.id = lblComp, .kind = K::kLabel, .parent = tsEvent, .x = 8, .y = 122, .textId = 29,
     .name = u"lblComp"},
    {.id = lblCompVal, .kind = K::kLabel, .parent = tsEvent, .x = 94, .y = 122, .width = 120,
     .name = u"lblCompVal"},
    {.id = lblSource, .kind = K::kLabel, .parent = tsEvent, .x = 210, .y = 10, .textId = 18,
     .name = u"lblSource"},
    {.id = lblSourceVal, .kind = K::kLabel, .parent = tsEvent, .x = 276, .y = 10, .width = 136,
     .height = 26, .style = cs::kWordWrap, .name = u"lblSourceVal"},
    {.id = lblCategory, .kind = K::kLabel, .parent = tsEvent, .x = 210, .y = 38, .textId = 24,
     .name = u"lblCategory"},
    {.id = lblCategryVal, .kind = K::kLabel, .parent = tsEvent, .x = 276, .y = 38, .width = 136,
     .height = 26, .style = cs::kWordWrap, .name = u"lblCategryVal"},
    {.id = lblCode, .kind = K::kLabel, .parent = tsEvent, .x = 210, .y = 66, .textId = 22,
     .name = u"lblCode"},
    {.id = lblCodeVal, .kind = K::kLabel, .parent = tsEvent, .x = 276, .y = 66, .width = 136,
     .name = u"lblCodeVal"},
    {.id = lblDescription, .kind = K::kLabel, .parent = tsEvent, .x = 8, .y = 154, .textId = 30,
     .name = u"lblDescription"},
    {.id = memDescription, .kind = K::kMemo, .parent = tsEvent, .x = 9, .y = 170, .width = 449,
     .height = 121, .name = u"memDescription"},
    {.id = lblData, .kind = K::kLabel, .parent = tsEvent, .x = 8, .y = 299, .textId = 32,
     .style = cs::kDisabled, .name = u"lblData"},
    {.id = rbByte, .kind = K::kRadio, .parent = tsEvent, .x = 56, .y = 298, .width = 60,
     .height = 17, .textId = 36, .style = cs::kGroupStart | cs::kChecked | cs::kDisabled,
     .name = u"rbByte"},
    {.id = rbWord, .kind = K::kRadio, .parent = tsEvent, .x = 120, .y = 298, .width = 60,
     .height = 17, .textId = 34, .style = cs::kDisabled, .name = u"rbWord"},
    {.id = memData, .kind = K::kMemo, .parent = tsEvent, .x = 8, .y = 318, .width = 450,
     .height = 65, .style = cs::kFixedFont | cs::kDisabled, .name = u"memData"},
    {.id = btnUp, .kind = K::kImageButton, .parent = tsEvent, .x = 418, .y = 8, .width = 40,
     .height = 30, .textId = 211, .image = u"ARROWUP", .imageWidth = 9, .imageHeight = 11,
     .name = u"btnUp"},
    {.id = btnDown, .kind = K::kImageButton, .parent = tsEvent, .x = 418, .y = 44, .width = 40,
     .height = 30, .textId = 212, .image = u"ARROWDOWN", .imageWidth = 9, .imageHeight = 11,
     .name = u"btnDown"},
    {.id = btnCopy, .kind = K::kImageButton, .parent = tsEvent, .x = 418, .y = 80, .width = 40,
     .height = 30, .textId = 213, .image = u"COPYPAGES", .imageWidth = 16, .imageHeight = 13,
     .name = u"btnCopy"},
    {.id = btnOK, .kind = K::kButton, .x = 407, .y = 433, .width = 75, .height = 25, .text = u"OK",
     .style = cs::kDefault | cs::kCancel, .modalResult = platform::dlgresult::kOk, .name = u"btnOK"},
};
// clang-format on

// The type icons, in the order DisplayRecord picks them.
constexpr const char16_t* kIcons[] = {u"INFORMATION",  u"ERROR",    u"WARNING", u"AUDIT_SUCCESS",
                                      u"AUDIT_FAILED", u"CRITICAL", u"VERBOSE"};

}  // namespace

const platform::DialogLayout& RecordViewerLayout() {
  static const platform::DialogLayout layout{.name = u"RecordViewer",
                                             .clientWidth = 490,
                                             .clientHeight = 468,
                                             .captionId = 14,
                                             .keyPreview = true,
                                             .controls = kControls,
                                             .imageList = kIcons};
  return layout;
}

}  // namespace qb
