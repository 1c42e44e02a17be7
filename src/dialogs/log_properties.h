// The log properties: file, size, records, guest access, maximum size and the retention
// policy of one event log, with clearing and backing it up.
#pragma once

#include <string>

#include "dialogs/dialog_context.h"

namespace qb {

namespace props {
enum : int {
  Panel1 = 100,
  cLogFileLabel,
  LogFileLabel,
  cSizeLabel,
  SizeLabel,
  cRecordLabel,
  RecordLabel,
  cOldestRecordLabel,
  OldestRecordLabel,
  cNewestRecordLabel,
  NewestRecordLabel,
  cGuestAccessLabel,
  GuestAccessLabel,
  GroupBox1,
  cMaxSizeLabel,
  MaxSizeLabel,
  Label1,
  Panel2,
  RadioButton1,
  RadioButton2,
  RadioButton3,
  DayEdt,
  UpDown1,
  DayLabel,
  OKBtn,
  CancelBtn,
  Button1,
  Button2,
};
}  // namespace props

const platform::DialogLayout& LogPropertiesLayout();

class TLogPropertiesFrm final : public platform::IDialogController {
 public:
  TLogPropertiesFrm(const DialogContext& context, platform::Handle hostWindow,
                    std::u16string displayName);

  void OnCreate(platform::IDialogView& view) override;
  void OnActivate(platform::IDialogView& view) override;
  void OnClick(platform::IDialogView& view, int control) override;

 private:
  void LoadLogValues(platform::IDialogView& view);
  // Maximum size, guest access and retention: a channel's from its configuration, a classic
  // log's from its registry values.
  void LoadChannelSettings(platform::IDialogView& view);
  void LoadRegistrySettings(platform::IDialogView& view);
  void FormActivate(platform::IDialogView& view);
  void RadioButtonClick(platform::IDialogView& view, int option);
  void EnableMaintenance(platform::IDialogView& view);
  void Button1Click(platform::IDialogView& view);
  void Button2Click(platform::IDialogView& view);
  void OKBtnClick(platform::IDialogView& view);
  std::optional<std::u16string> RunSaveDialog(platform::IDialogView& view) const;
  bool Modern() const { return fOsMajor >= 6; }

  const DialogContext& fContext;
  platform::Handle fHostWindow;
  std::u16string fDisplayNameLog;
  std::u16string fFileName;
  std::u16string fSubKey;
  std::int32_t fIndex = 0;
  bool fChannel = false;
  std::u16string fCaptionName;  // a channel's own name, for the caption
  std::uint32_t fOsMajor = 0;
  bool fLogOpen = false;                  // the last load could open the log
  std::u16string fSaveName, fSaveFilter;  // what the save dialog proposes
};

// Shows the properties of the log with this display name; true when closed with OK.
bool ShowLogProperties(const DialogContext& context, platform::Handle hostWindow,
                       const std::u16string& displayName);

// The size of a log file as the dialog shows it: the low 32 bits, 0 when it is not found.
// Under WOW64 the lookup runs on a thread of its own with the file-system redirection off, so
// that a 32-bit host sees the 64-bit system's files.
std::uint32_t LogFileSize(const std::u16string& path);

}  // namespace qb
