// The built-in English table, line for line as the English language file holds it.
#include "localization/language.h"

namespace qb {

const std::vector<std::u16string>& TLngResource::DefaultLines() {
  // The lines of 37, 62, 105 and 124 end with a line break: it makes the empty lines that
  // separate the groups when the table is written out.
  static const std::vector<std::u16string> kLines = {
      u"10=Settings",
      u"11=Interface language:",
      u"12=OK",
      u"13=Cancel",
      u"14=Properties",
      u"15=Event",
      u"16=Root Key:",
      u"17=Event Source:",
      u"18=Source:",
      u"19=Date:",
      u"20=Time:",
      u"21=Event ID:",
      u"22=Code (ID):",
      u"23=Event Category:",
      u"24=Category:",
      u"25=Event Type:",
      u"26=Type:",
      u"27=Record Number:",
      u"28=User Name:",
      u"29=Computer Name:",
      u"30=Description:",
      u"31=Binary Data:",
      u"32=Data:",
      u"33=By Words:",
      u"34=Words",
      u"35=By Bytes:",
      u"36=Bytes",
      u"37=N\\A\r\n",
      u"38=%s log properties",
      u"39=Log File:",
      u"40=File Size (kB):",
      u"41=Records:",
      u"42=Oldest Record:",
      u"43=Newest Record:",
      u"44=Guest Access:",
      u"45=Enabled",
      u"46=Disabled",
      u"47=Close",
      u"48=Clear Event Log\u2026",
      u"49=Save and Clear",
      u"50=Backup Event Log\u2026",
      u"51=Clear",
      u"52=You can save the contents of this event log before cleaning it.",
      u"53=Size of event log",
      u"54=Maximum file size (kB):",
      u"55=When the maximum size:",
      u"56=Overwrite events as needed (oldest first event)",
      u"57=Archive the log when full, do not overwrite events",
      u"58=Overwrite events older than",
      u"59=days",
      u"60=Do not overwrite events (clear log manually)",
      u"61=Event files",
      u"62=View events\r\n",
      u"; Event statuses",
      u"100=Information",
      u"101=Error",
      u"102=Warning",
      u"103=SuccessAudit",
      u"104=FailureAudit",
      u"105=Unknown\r\n",
      u"; Custom columns",
      u"120=Date",
      u"121=Account",
      u"122=Category",
      u"123=Code",
      u"124=Description\r\n",
      u"; Messages",
      u"200=Unable to register the application in the event manager.",
      u"201=Not found the description for event ID ( %d ) in Source ( %s ). The local computer "
      u"may not have the necessary registry information or message DLL files to display "
      u"messages from a remote computer. The following information is part of the event: %s",
      u"202=Event Manager is already open in this mode %s.",
      u"203=Error opening event manager.",
      u"204=You have reached the end of the event log. To continue the review from the "
      u"beginning?",
      u"205=You have reached the beginning of the event log. To continue the review with the "
      u"end?",
  };
  return kLines;
}

const std::vector<std::u16string>& TLngResource::AddedLines() {
  static const std::vector<std::u16string> kLines = {
      u"206=This entry is not an event record.",
      u"207=The event log could not be cleared.",
      u"208=The backup of the event log could not be saved.",
      u"209=The settings of the event log could not be saved.",
      u"210=The event log was cleared and its records were saved to %s, but that file could not "
      u"replace %s.",
      u"211=Previous record",
      u"212=Next record",
      u"213=Copy to clipboard",
      u"214=The choice of language could not be saved.",
      u"215=Not all records of the event log could be read.",
      u"106=Critical",
      u"107=Verbose",
      u"216=Applications and Services Logs",
      u"217=Event XML:",
      u"218=The description for Event ID %d from source %s cannot be found. Either the "
      u"component that raises this event is not installed on this computer or the "
      u"installation is damaged. The following information was included with the event:",
  };
  return kLines;
}

}  // namespace qb
