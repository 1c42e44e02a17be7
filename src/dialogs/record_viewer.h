// The record viewer: one event record in full, stepping through the host's file list box.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/dialog_context.h"
#include "platform/dialog.h"

namespace qb {

// Control ids of the viewer.
namespace viewer {
enum : int {
  pcEvent = 100,
  tsEvent,
  StatusImage,
  lblType,
  lblTypeVal,
  lblDate,
  lblDateVal,
  lblTime,
  lblTimeVal,
  lblUser,
  lblUserVal,
  lblComp,
  lblCompVal,
  lblSource,
  lblSourceVal,
  lblCategory,
  lblCategryVal,  // the inherited spelling of this control's name
  lblCode,
  lblCodeVal,
  lblDescription,
  memDescription,
  lblData,
  rbByte,
  rbWord,
  memData,
  btnUp,
  btnDown,
  btnCopy,
  btnOK,
};
}  // namespace viewer

const platform::DialogLayout& RecordViewerLayout();

class TdlgViewRecordData final : public platform::IDialogController {
 public:
  TdlgViewRecordData(const DialogContext& context, platform::Handle hostWindow,
                     platform::Handle listBox, std::u16string logName);

  void OnCreate(platform::IDialogView& view) override;
  void OnClick(platform::IDialogView& view, int control) override;
  bool OnKeyDown(platform::IDialogView& view, std::uint32_t key) override;

  // After the dialog has gone: the entry the viewer selected itself is deselected again.
  void FormClosed();

 private:
  void LoadCurrentRecord(platform::IDialogView& view);
  void DisplayRecord(platform::IDialogView& view);
  void StepRecord(platform::IDialogView& view, bool forward);
  void RenderData(platform::IDialogView& view);
  void btnCopyClick(platform::IDialogView& view);
  std::intptr_t ListBox(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) const;
  bool Ask(platform::IDialogView& view, std::uint16_t question) const;

  const DialogContext& fContext;
  platform::Handle fHostWindow;
  platform::Handle fListBoxHandle;
  std::u16string fLogName;
  TFWEventLogRecord FEventRecord;
  bool fRecordRead = false;  // FEventRecord holds a record that was read
  std::int32_t fCurItemIndex = 0;
  std::int32_t fListItemCount = 0;
  std::int32_t fSelCount = 0;
  bool fStarted = false;  // the window was made and the list box asked
};

// Shows the record of the entry under the caret of the host's list box. False only when the
// log named `logName` cannot be opened for reading; otherwise true once the dialog has closed.
bool ShowRecordViewer(const DialogContext& context, platform::Handle hostWindow,
                      platform::Handle listBox, const std::u16string& logName);

// The record number at the front of a list entry: "[", decimal digits, "]"; nullopt for any
// other text.
std::optional<std::uint32_t> EntryRecordNumber(std::u16string_view entry);

}  // namespace qb
