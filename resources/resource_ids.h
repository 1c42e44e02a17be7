// Identifiers of the plugin's string resources, shared by the resource script and the code.
#pragma once

#define QB_IDS_EVENT_MESSAGE_FILE 65168
#define QB_IDS_CATEGORY_COUNT 65169
#define QB_IDS_TYPES_SUPPORTED 65170
#define QB_IDS_WRONG_MODE 65171
#define QB_IDS_NO_CALLBACK 65172
#define QB_IDS_NOTIFY_MODE 65173
#define QB_IDS_NOTIFY_TWICE 65174
#define QB_IDS_NOTIFY_THREAD 65175
#define QB_IDS_TYPE_CONVERSION 65176
#define QB_IDS_CATEGORY_MESSAGE_FILE 65199
