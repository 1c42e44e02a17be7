#include "dialogs/log_properties.h"

#include <thread>

#include "dialogs/clear_confirm.h"
#include "dialogs/log_backup.h"
#include "dialogs/reg_proc.h"
#include "eventlog/log_selection.h"
#include "platform/platform.h"
#include "sysutil/datetime.h"
#include "sysutil/windows_version.h"
#include "util/format.h"
#include "util/paths.h"
#include "util/text.h"

namespace qb {

using namespace props;
using platform::RegRoot;

namespace {

constexpr std::uint32_t kNeverOverwrite = 0xFFFFFFFF;
constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr std::uint32_t kMaxDays = 100;  // the up-down control's range

std::uint32_t LookUpSize(const std::u16string& path) {
  const bool disabled = sysutil::DisableWow64Redirection();
  auto& system = platform::System();
  std::vector<platform::FindEntry> entries;
  std::uint32_t size = 0;
  if (system.FindFiles(system.FullPathName(path), entries) == platform::err::kSuccess &&
      !entries.empty()) {
    size = static_cast<std::uint32_t>(entries.front().size);
  }
  if (disabled) sysutil::RevertWow64Redirection();
  return size;
}

// A cursor shown for the lifetime of the object.
class WaitCursor {
 public:
  WaitCursor() : previous_(platform::Ui().SetCursor(platform::CursorShape::kWait)) {}
  ~WaitCursor() { platform::Ui().RestoreCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  platform::Handle previous_;
};

std::u16string Thousands(std::uint64_t value) {
  return util::FormatThousands(static_cast<std::int64_t>(value),
                               platform::Locale().ThousandSeparator());
}

// A channel event's UTC time as a local date-time.
sysutil::DateTime ChannelTime(platform::FileTime utc) {
  platform::FileTime local;
  if (!platform::Locale().FileTimeToLocal(utc, local)) local = utc;
  const auto fields = sysutil::FileTimeToSystemTime(local);
  return fields ? sysutil::SystemTimeToDateTime(*fields).value_or(0.0) : 0.0;
}

// The date and the time of a record's creation, in the user's formats.
std::u16string DateAndTime(sysutil::DateTime value) {
  const auto fields = sysutil::DateTimeToSystemTime(value);
  auto& locale = platform::Locale();
  return locale.FormatShortDate(fields) + u" " + locale.FormatLongTime(fields);
}

}  // namespace

std::uint32_t LogFileSize(const std::u16string& path) {
  if (!sysutil::IsWow64(platform::System().CurrentProcess())) return LookUpSize(path);
  // Redirection is switched off for one thread only: a thread of its own, so the host's
  // thread never runs with it off.
  std::uint32_t size = 0;
  std::thread lookup([&] {
    try {
      size = LookUpSize(path);
    } catch (...) {
      size = 0;
    }
  });
  lookup.join();
  return size;
}

TLogPropertiesFrm::TLogPropertiesFrm(const DialogContext& context, platform::Handle hostWindow,
                                     std::u16string displayName)
    : fContext(context), fHostWindow(hostWindow), fDisplayNameLog(std::move(displayName)) {
  std::lock_guard lock(fContext.lock);
  fIndex = LogIndexOf(fContext.log, fDisplayNameLog);
  fSubKey = std::u16string(kEventLogKey) + fContext.log.GetEventLogName(fIndex);
  fFileName = fContext.log.GetEventLogFile(fIndex);
  fOsMajor = sysutil::GetOSMajorVersion();
  // A channel goes by its own name; its settings are its configuration's, not registry values.
  fChannel = IsChannelIndex(fIndex);
  if (fChannel) fCaptionName = fContext.log.GetEventLogName(fIndex);
}

void TLogPropertiesFrm::OnCreate(platform::IDialogView& view) {
  CenterOver(view, fHostWindow);
  view.SetText(LogFileLabel, fFileName);
  // The day count starts at the up-down control's position.
  for (const auto& control : LogPropertiesLayout().controls) {
    if (control.id == UpDown1) view.SetText(DayEdt, util::ToDecimal(control.value));
  }
  LoadLogValues(view);
}

void TLogPropertiesFrm::LoadLogValues(platform::IDialogView& view) {
  const std::u16string na = fContext.Text(37);
  std::uint32_t count = 0;
  {
    std::lock_guard lock(fContext.lock);
    auto& log = fContext.log;
    // Read afresh: after a clear the old handle still counts the old records.
    if (log.OpenState().Has(TFSOpenState::osRead)) log.Close(TFSOpenState::osRead);
    fLogOpen = fIndex > 0 && log.Open(fIndex, TFSOpenState::osRead);
    if (fLogOpen) {
      count = log.RecordCount(false, false);
      view.SetText(RecordLabel, Thousands(count));
      if (count == 0) {
        view.SetText(OldestRecordLabel, na);
        view.SetText(NewestRecordLabel, na);
      } else if (TChannelLog* channel = log.OpenChannel()) {
        // A channel's numbers need not follow on: its first and last events tell.
        for (const auto& [label, newest] :
             {std::pair{OldestRecordLabel, false}, {NewestRecordLabel, true}}) {
          const auto edge = channel->Edge(newest);
          view.SetText(label, edge ? DateAndTime(ChannelTime(edge->timeCreated)) : na);
        }
      } else {
        const std::uint32_t oldest = log.RecordCount(false, true);
        TFWEventLogRecord record;
        if (log.Read(false, oldest, record)) {
          view.SetText(OldestRecordLabel, DateAndTime(record.TimeCreated));
        }
        record = TFWEventLogRecord{};
        if (log.Read(false, oldest + count - 1, record)) {
          view.SetText(NewestRecordLabel, DateAndTime(record.TimeCreated));
        }
      }
    } else {
      for (const int id : {RecordLabel, OldestRecordLabel, NewestRecordLabel}) {
        view.SetText(id, na);
      }
    }
  }
  const std::uint32_t size = LogFileSize(fFileName);
  view.SetText(SizeLabel, size == 0 ? na : Thousands(size / 1024));
  if (fChannel) {
    LoadChannelSettings(view);
  } else {
    LoadRegistrySettings(view);
  }
  // After a clear the buttons follow the new count at once, not only at the next activation.
  EnableMaintenance(view);
}

void TLogPropertiesFrm::LoadChannelSettings(platform::IDialogView& view) {
  std::optional<TChannelSettings> settings;
  {
    std::lock_guard lock(fContext.lock);
    settings = fContext.log.ReadChannelSettings(fIndex);
  }
  const std::u16string na = fContext.Text(37);
  if (!settings) {
    for (const int id : {MaxSizeLabel, GuestAccessLabel}) view.SetText(id, na);
    view.SetChecked(RadioButton1, true);
    RadioButtonClick(view, RadioButton1);
    return;
  }
  view.SetText(MaxSizeLabel, settings->maxSize == 0 ? na : Thousands(settings->maxSize / 1024));
  view.SetText(GuestAccessLabel, fContext.Text(settings->guestAccess ? 45 : 46));
  int option = RadioButton1;
  if (settings->retention) option = settings->autoBackup ? RadioButton2 : RadioButton3;
  view.SetChecked(option, true);
  RadioButtonClick(view, option);
}

void TLogPropertiesFrm::LoadRegistrySettings(platform::IDialogView& view) {
  const std::u16string na = fContext.Text(37);
  const std::u16string maxSize =
      Thousands(RegReadDWord(RegRoot::kLocalMachine, fSubKey, u"MaxSize", 0) / 1024);
  view.SetText(MaxSizeLabel, maxSize == u"0" ? na : maxSize);
  // Anything but 0 keeps guests out.
  const std::uint32_t restricted =
      RegReadDWord(RegRoot::kLocalMachine, fSubKey, u"RestrictGuestAccess", 1);
  view.SetText(GuestAccessLabel, fContext.Text(restricted == 0 ? 45 : 46));

  const std::uint32_t archive =
      RegReadDWord(RegRoot::kLocalMachine, fSubKey, u"AutoBackupLogFiles", 0);
  const std::uint32_t retention = RegReadDWord(RegRoot::kLocalMachine, fSubKey, u"Retention", 0);
  int option = RadioButton3;
  if (Modern()) {
    if (archive == 1) {
      option = RadioButton2;
    } else if (retention == 0) {
      option = RadioButton1;
    }
  } else if (retention == 0) {
    option = RadioButton1;
  } else if (retention != kNeverOverwrite) {
    option = RadioButton2;
    view.SetText(DayEdt, util::ToDecimalUnsigned(std::min(retention / kSecondsPerDay, kMaxDays)));
  }
  view.SetChecked(option, true);
  RadioButtonClick(view, option);
}

void TLogPropertiesFrm::EnableMaintenance(platform::IDialogView& view) {
  // A log that could not be opened can be neither cleared nor saved.
  const bool records = fLogOpen && view.Text(RecordLabel) != u"0";
  view.SetEnabled(Button1, records);
  view.SetEnabled(Button2, records);
}

void TLogPropertiesFrm::OnActivate(platform::IDialogView& view) {
  FormActivate(view);
}

void TLogPropertiesFrm::FormActivate(platform::IDialogView& view) {
  fSaveName = util::ExtractFileName(fFileName);
  fSaveFilter = Modern() ? u"*.evtx" : u"*.evt";
  if (Modern()) {
    for (const int id : {DayEdt, UpDown1, DayLabel}) view.SetVisible(id, false);
    auto bounds = view.Bounds(RadioButton2);
    bounds.width = view.Bounds(RadioButton1).width;
    view.SetBounds(RadioButton2, bounds);
    view.SetText(RadioButton2, fContext.Text(57));
  } else {
    auto bounds = view.Bounds(RadioButton2);
    bounds.width = view.Bounds(DayEdt).x - bounds.x - 20;
    view.SetBounds(RadioButton2, bounds);
    view.SetText(RadioButton2, fContext.Text(58));
  }
  view.SetCaption(
      util::Format(fContext.Text(38),
                   {std::u16string_view(fCaptionName.empty() ? fDisplayNameLog : fCaptionName)}));
  const auto label = view.Bounds(cMaxSizeLabel);
  auto value = view.Bounds(MaxSizeLabel);
  value.x = label.x + label.width + 20;
  view.SetBounds(MaxSizeLabel, value);
  EnableMaintenance(view);
}

void TLogPropertiesFrm::RadioButtonClick(platform::IDialogView& view, int option) {
  const bool days = option == RadioButton2;
  view.SetEnabled(DayEdt, days);
  view.SetEnabled(UpDown1, days);
}

std::optional<std::u16string> TLogPropertiesFrm::RunSaveDialog(platform::IDialogView& view) const {
  platform::SaveFileRequest request;
  request.owner = view.Window();
  request.fileName = fSaveName;
  request.filterDescription = fContext.Text(61);
  request.filterPattern = fSaveFilter;
  return platform::Ui().GetSaveFileName(request);
}

void TLogPropertiesFrm::Button1Click(platform::IDialogView& view) {
  const TClearAction action = ShowClearConfirm(fContext, view.Window(), view.Caption());
  if (action == TClearAction::caCancel) return;
  std::optional<std::u16string> target;
  if (action == TClearAction::caSaveClear) target = RunSaveDialog(view);
  BackupOutcome outcome;
  if (action == TClearAction::caClear || target) {
    // Not before the save dialog, which shows its own cursor and leaves the arrow behind.
    WaitCursor cursor;
    std::lock_guard lock(fContext.lock);
    if (!OpenLogNamed(fContext.log, fDisplayNameLog)) {
      outcome.error = fContext.log.LastError();
    } else if (target) {
      outcome = SaveAndClearLog(fContext.log, *target);
    } else if (!fContext.log.Clear(u"")) {
      outcome.error = fContext.log.LastError();
    }
  }
  if (!outcome.ok()) {
    if (!outcome.keptAt.empty() && target) {
      ShowFailure(view,
                  util::Format(fContext.Text(210),
                               {std::u16string_view(outcome.keptAt), std::u16string_view(*target)}),
                  outcome.error);
    } else {
      ShowFailure(view, fContext.Text(207), outcome.error);
    }
  }
  WaitCursor cursor;
  LoadLogValues(view);
}

void TLogPropertiesFrm::Button2Click(platform::IDialogView& view) {
  const auto path = RunSaveDialog(view);
  if (!path) return;
  BackupOutcome outcome;
  {
    WaitCursor cursor;
    std::lock_guard lock(fContext.lock);
    outcome = OpenLogNamed(fContext.log, fDisplayNameLog)
                  ? BackupLogTo(fContext.log, *path)
                  : BackupOutcome{fContext.log.LastError(), {}};
  }
  if (!outcome.ok()) ShowFailure(view, fContext.Text(208), outcome.error);
}

void TLogPropertiesFrm::OKBtnClick(platform::IDialogView& view) {
  if (fChannel) {
    // Keep the events when full: archived (and a new log begun), or only cleared by hand.
    const bool archive = view.IsChecked(RadioButton2);
    const bool keep = archive || view.IsChecked(RadioButton3);
    bool written = false;
    platform::ErrorCode error = platform::err::kSuccess;
    {
      std::lock_guard lock(fContext.lock);
      written = fContext.log.WriteChannelRetention(fIndex, keep, archive);
      error = fContext.log.LastError();
    }
    if (!written) ShowFailure(view, fContext.Text(209), error);
    return;
  }
  std::uint32_t archive = 0;
  std::uint32_t retention = 0;
  if (view.IsChecked(RadioButton2)) {
    if (Modern()) {
      archive = 1;
      retention = kNeverOverwrite;
    } else {
      // Digits only; an empty count is 0 days, and the count keeps to the control's range.
      std::uint32_t days = 0;
      for (const char16_t c : view.Text(DayEdt)) {
        if (c < u'0' || c > u'9') continue;
        days = std::min<std::uint32_t>(days * 10 + static_cast<unsigned>(c - u'0'), kMaxDays);
      }
      retention = days * kSecondsPerDay;
    }
  } else if (view.IsChecked(RadioButton3)) {
    retention = kNeverOverwrite;
  }
  platform::ErrorCode error =
      RegWriteDWord(RegRoot::kLocalMachine, fSubKey, u"AutoBackupLogFiles", archive);
  const platform::ErrorCode second =
      RegWriteDWord(RegRoot::kLocalMachine, fSubKey, u"Retention", retention);
  if (error == platform::err::kSuccess) error = second;
  if (error != platform::err::kSuccess) ShowFailure(view, fContext.Text(209), error);
}

void TLogPropertiesFrm::OnClick(platform::IDialogView& view, int control) {
  switch (control) {
    case RadioButton1:
    case RadioButton2:
    case RadioButton3:
      RadioButtonClick(view, control);
      break;
    case Button1:
      Button1Click(view);
      break;
    case Button2:
      Button2Click(view);
      break;
    case OKBtn:
      OKBtnClick(view);
      break;
    default:
      break;
  }
}

bool ShowLogProperties(const DialogContext& context, platform::Handle hostWindow,
                       const std::u16string& displayName) {
  TLogPropertiesFrm dialog(context, hostWindow, displayName);
  return platform::Ui().RunModalDialog(LogPropertiesLayout(), context.Texts(), hostWindow,
                                       dialog) == platform::dlgresult::kOk;
}

}  // namespace qb
