#include "dialogs/record_viewer.h"

#include "dialogs/data_dump.h"
#include "dialogs/record_fields.h"
#include "eventlog/log_selection.h"
#include "platform/platform.h"
#include "util/format.h"
#include "util/text.h"

namespace qb {

using namespace viewer;
namespace lb = platform::lb;
namespace mb = platform::mb;

namespace {

// The value labels, which all show "N\A" for a record that cannot be read.
constexpr int kValueLabels[] = {lblTypeVal, lblDateVal,   lblTimeVal,    lblUserVal,
                                lblCompVal, lblSourceVal, lblCategryVal, lblCodeVal};

// Index of the type's icon in the dialog's image list; -1 for a type without one.
int IconOf(TFWEventLogRecordType type) {
  switch (type) {
    case TFWEventLogRecordType::rtSuccess:
    case TFWEventLogRecordType::rtInformation:
      return 0;
    case TFWEventLogRecordType::rtError:
      return 1;
    case TFWEventLogRecordType::rtWarning:
      return 2;
    case TFWEventLogRecordType::rtAuditSuccess:
      return 3;
    case TFWEventLogRecordType::rtAuditFailed:
      return 4;
    case TFWEventLogRecordType::rtCritical:
      return 5;
    case TFWEventLogRecordType::rtVerbose:
      return 6;
    default:
      return -1;
  }
}

}  // namespace

std::optional<std::uint32_t> EntryRecordNumber(std::u16string_view entry) {
  if (entry.size() < 3 || entry.front() != u'[') return std::nullopt;
  const auto close = entry.find(u']');
  if (close == std::u16string_view::npos || close == 1) return std::nullopt;
  std::uint64_t number = 0;
  for (const char16_t c : entry.substr(1, close - 1)) {
    if (c < u'0' || c > u'9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - u'0');
    if (number > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(number);
}

TdlgViewRecordData::TdlgViewRecordData(const DialogContext& context, platform::Handle hostWindow,
                                       platform::Handle listBox, std::u16string logName)
    : fContext(context),
      fHostWindow(hostWindow),
      fListBoxHandle(listBox),
      fLogName(std::move(logName)) {}

std::intptr_t TdlgViewRecordData::ListBox(std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam) const {
  return platform::Ui().SendMessage(fListBoxHandle, message, wParam, lParam);
}

bool TdlgViewRecordData::Ask(platform::IDialogView& view, std::uint16_t question) const {
  return platform::Ui().MessageBox(view.Window(), fContext.Text(question), fContext.Text(62),
                                   mb::kYesNo | mb::kIconQuestion) == mb::kIdYes;
}

void TdlgViewRecordData::OnCreate(platform::IDialogView& view) {
  CenterOver(view, fHostWindow);
  fListItemCount = static_cast<std::int32_t>(ListBox(lb::kGetCount, 0, 0));
  fSelCount = static_cast<std::int32_t>(ListBox(lb::kGetSelCount, 0, 0));
  fCurItemIndex = static_cast<std::int32_t>(ListBox(lb::kGetCaretIndex, 0, 0));
  fStarted = true;
  LoadCurrentRecord(view);
  if (fSelCount == 0) ListBox(lb::kSetSel, 1, fCurItemIndex);
}

void TdlgViewRecordData::FormClosed() {
  if (fStarted && fSelCount == 0) ListBox(lb::kSetSel, 0, fCurItemIndex);
}

void TdlgViewRecordData::LoadCurrentRecord(platform::IDialogView& view) {
  const auto index = static_cast<std::uint32_t>(fCurItemIndex);
  const std::intptr_t length = ListBox(lb::kGetTextLen, index, 0);
  std::u16string entry;
  if (length != lb::kErr && length > 0 &&
      platform::Ui().ListBoxText(fListBoxHandle, index, static_cast<std::size_t>(length), entry) ==
          lb::kErr) {
    entry.clear();
  }
  if (length == lb::kErr || (length > 0 && entry.empty())) {
    platform::Ui().MessageBox(
        view.Window(),
        util::Format(u"List index out of bounds (%d)", {std::int64_t{fCurItemIndex}}),
        fContext.Text(62), mb::kOk | mb::kIconError);
    return;
  }
  if (length == 0) return;
  const auto number = EntryRecordNumber(entry);
  if (!number) {
    // ".." or anything else that is no record file: the record shown stays.
    platform::Ui().MessageBox(view.Window(), fContext.Text(206), fContext.Text(62),
                              mb::kOk | mb::kIconError);
    return;
  }
  FEventRecord = TFWEventLogRecord{};
  {
    std::lock_guard lock(fContext.lock);
    // Another call of the host may have closed or switched the log since the viewer opened.
    fRecordRead =
        OpenLogNamed(fContext.log, fLogName) && fContext.log.Read(false, *number, FEventRecord);
  }
  if (!fRecordRead) FEventRecord = TFWEventLogRecord{};
  DisplayRecord(view);
}

void TdlgViewRecordData::DisplayRecord(platform::IDialogView& view) {
  if (!fRecordRead) {
    // Cleared or overwritten since the listing: nothing of it is known, so nothing is made up.
    const std::u16string na = fContext.Text(37);
    for (const int id : kValueLabels) view.SetText(id, na);
    view.SetImage(StatusImage, -1);
    view.SetText(memDescription, u"");
    for (const int id : {lblData, memData, rbByte, rbWord}) view.SetEnabled(id, false);
    view.SetText(memData, u"");
    return;
  }
  const TFWEventLogRecord& r = FEventRecord;
  view.SetText(lblDateVal, DateText(r.TimeWritten));
  view.SetText(lblTimeVal, TimeText(r.TimeWritten));
  {
    std::lock_guard lock(fContext.lock);
    view.SetText(lblTypeVal, fContext.log.EventTypeToString(r.EventType, false));
  }
  view.SetImage(StatusImage, IconOf(r.EventType));
  view.SetText(lblUserVal, UserText(fContext.language, r));
  view.SetText(lblCompVal, r.ComputerName);
  view.SetText(lblSourceVal, util::ReplaceAll(r.SourceName, u"-", u" "));
  view.SetText(lblCategryVal, r.Category);
  view.SetText(lblCodeVal, util::ToDecimalUnsigned(r.EventID));
  view.SetText(memDescription, r.Description);
  const bool data = !r.BinData.empty();
  for (const int id : {lblData, memData, rbByte, rbWord}) view.SetEnabled(id, data);
  if (data) {
    RenderData(view);
  } else if (!r.Xml.empty()) {
    // A channel's event without binary data: the data area shows its XML.
    for (const int id : {lblData, memData}) view.SetEnabled(id, true);
    view.SetText(memData, r.Xml);
  } else {
    view.SetText(memData, u"");
  }
}

void TdlgViewRecordData::RenderData(platform::IDialogView& view) {
  if (!fRecordRead || FEventRecord.BinData.empty()) return;
  view.SetText(memData, view.IsChecked(rbByte) ? FormatDataAsBytes(FEventRecord.BinData)
                                               : FormatDataAsWords(FEventRecord.BinData));
}

void TdlgViewRecordData::StepRecord(platform::IDialogView& view, bool forward) {
  const std::int32_t old = fCurItemIndex;
  std::int32_t next = fCurItemIndex;
  if (forward && next == fListItemCount - 1) {
    if (!Ask(view, 204)) return;
    next = 0;  // entry 0 is "..": the step lands on the first record
  } else if (!forward && next == 1) {
    if (!Ask(view, 205)) return;
    next = fListItemCount;
  }
  next += forward ? 1 : -1;
  if (fSelCount == 0) ListBox(lb::kSetSel, 0, old);
  if (ListBox(lb::kSetCaretIndex, static_cast<std::uintptr_t>(next), 0) == lb::kErr) {
    // The list refused the entry: the record shown and the host's list stay in step.
    if (fSelCount == 0) ListBox(lb::kSetSel, 1, old);
    return;
  }
  fCurItemIndex = next;
  ListBox(platform::kWmSetFocus, 0, 0);
  ListBox(platform::kWmKillFocus, 0, 0);
  if (fSelCount == 0) ListBox(lb::kSetSel, 1, fCurItemIndex);
  LoadCurrentRecord(view);
}

void TdlgViewRecordData::btnCopyClick(platform::IDialogView& view) {
  static constexpr std::pair<std::uint16_t, int> kLines[] = {
      {25, lblTypeVal}, {17, lblSourceVal}, {23, lblCategryVal}, {21, lblCodeVal},
      {19, lblDateVal}, {20, lblTimeVal},   {28, lblUserVal},    {29, lblCompVal}};
  std::u16string text;
  for (const auto& [label, value] : kLines) {
    text += util::Format(u"%-28s%s\r\n", {fContext.Text(label), view.Text(value)});
  }
  text += util::Format(
      u"\r\n%s\r\n%s\r\n\r\n%s\r\n%s\r\n",
      {fContext.Text(30), view.Text(memDescription), fContext.Text(31), view.Text(memData)});
  if (const auto error = platform::Ui().SetClipboardText(view.Window(), text);
      error != platform::err::kSuccess) {
    ShowFailure(view, fContext.Text(213), error);
  }
}

void TdlgViewRecordData::OnClick(platform::IDialogView& view, int control) {
  switch (control) {
    case btnUp:
      StepRecord(view, false);
      break;
    case btnDown:
      StepRecord(view, true);
      break;
    case btnCopy:
      btnCopyClick(view);
      break;
    case rbByte:
    case rbWord:
      RenderData(view);
      break;
    default:
      break;
  }
}

bool TdlgViewRecordData::OnKeyDown(platform::IDialogView& view, std::uint32_t key) {
  const int focused = view.Focused();
  const bool memoInUse = focused == memDescription || focused == memData;
  switch (key) {
    case platform::vk::kReturn:
      // Without a memo in use, Enter reaches the default button, which closes as well.
      if (!memoInUse) return false;
      view.Close(platform::dlgresult::kOk);
      return true;
    case platform::vk::kEscape:
      view.Close(platform::dlgresult::kCancel);
      return true;
    case platform::vk::kPrior:
    case platform::vk::kNext:
      if (memoInUse) return false;
      StepRecord(view, key == platform::vk::kNext);
      return true;
    default:
      return false;
  }
}

bool ShowRecordViewer(const DialogContext& context, platform::Handle hostWindow,
                      platform::Handle listBox, const std::u16string& logName) {
  {
    std::lock_guard lock(context.lock);
    // The record is the named log's: another log that is open is closed first.
    if (!OpenLogNamed(context.log, logName)) return false;
  }
  TdlgViewRecordData dialog(context, hostWindow, listBox, logName);
  platform::Ui().RunModalDialog(RecordViewerLayout(), context.Texts(), hostWindow, dialog);
  dialog.FormClosed();
  return true;
}

}  // namespace qb
